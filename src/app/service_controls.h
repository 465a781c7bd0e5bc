#pragma once
// What the service does with each control the service manager sends it: the first of stop,
// pre-shutdown and shutdown begins the one end (the unload order), whichever comes first and
// however many follow; a resume from sleep runs the fan watch's check, unless the end has
// begun. The numbers are the service manager's.
#include <atomic>
#include <cstdint>

namespace kelvane {

enum class ServiceAction { None, BeginStop, ResumeCheck, NotHandled };

class ServiceControls {
  public:
    static constexpr std::uint32_t kStop = 1, kInterrogate = 4, kShutdown = 5, kPowerEvent = 0x0D,
                                   kPreshutdown = 0x0F;
    static constexpr std::uint32_t kResumeSuspend = 7, kResumeAutomatic = 0x12;

    // From the control handler's thread; safe beside the service's own.
    ServiceAction On(std::uint32_t control, std::uint32_t event_type);
    bool stopping() const { return stopping_; }

  private:
    std::atomic<bool> stopping_{false};
};

}  // namespace kelvane
