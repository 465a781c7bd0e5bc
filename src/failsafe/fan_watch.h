#pragma once
// Keeps the fans watched: notes what the fan registers held before Kelvane wrote them, hands
// the fans back to the chip when Kelvane ends, and programs the chip again when it lost what
// the last apply gave it (checked on every tick from the registers the tick read, and at
// once on resume from sleep).
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "failsafe/hand_back.h"
#include "failsafe/power_on_file.h"
#include "state/form1.h"

namespace kelvane {

enum class RestoreReason { Resume, RegistersChanged };

// Told of what the watch did, for the event log.
class FanWatchEvents {
  public:
    virtual ~FanWatchEvents() = default;
    virtual void SettingsRestored(const Form1& f, RestoreReason reason) = 0;
    virtual void SettingsNotKept(const Form1& f) = 0;  // once: the watch stopped restoring
    virtual void HandedBack(const Form1& f, HandBackOutcome outcome) = 0;
};

class FanWatch : public TickListener {
  public:
    static constexpr long long kRestoreGapMs = 60000;  // per fan, and between two resumes

    // now_ms: a steady clock in milliseconds.
    FanWatch(Form1& f, std::function<long long()> now_ms);

    void Tell(FanWatchEvents& events) { events_.push_back(&events); }

    // Where the values first noted in this boot are kept across runs; without it each run
    // notes its own.
    void KeepPowerOnValuesIn(PowerOnStore& store) { store_ = &store; }
    // At start-up, after identification and before the port program.
    void NotePowerOnValues();
    // The system resumed from sleep or hibernation.
    void OnResume();
    // Hands the fans back, once; from then on nothing reaches the chip, from any thread. With
    // tell false (a crash: nothing more than the hand-back may run) it tells no one and takes
    // no memory, and may run on another thread while the one that ticks is stopped. False when
    // the chip could not be reached, or the fans were handed back before.
    bool HandBack(bool tell = true);
    // The crash's hand-back (tells no one, and switches the speaker off after the fans), from a
    // thread writing on behalf of one that holds driver_lock() for it.
    bool HandBackUnderHeldLock();
    std::recursive_timed_mutex& driver_lock() { return f_.chip.driver_lock(); }
    bool handed_back() const { return ended_.load(); }

    void AfterTick(const Form1& f) override;
    void AddDetails(const Form1& f, std::vector<std::string>& lines) const override;

    long restores() const { return restores_; }
    bool gave_up(int fan) const { return fans_[static_cast<size_t>(fan)].gave_up; }

  private:
    struct FanState {
        std::optional<long long> last_restore_ms;
        bool awaiting_check = false;  // restored; the next reads tell whether the chip kept it
        bool gave_up = false;         // the chip does not keep its settings: left alone
    };
    // limits: R60..R64, R68..R6C as read.
    void Check(const std::array<std::int32_t, 10>& limits, RestoreReason reason);
    bool Lost(int fan, const std::array<std::int32_t, 10>& limits) const;
    bool Due(int fan, long long now) const;

    Form1& f_;
    std::function<long long()> now_;
    std::vector<FanWatchEvents*> events_;
    PowerOnStore* store_ = nullptr;
    PowerOnValues power_on_{};
    std::array<FanState, 3> fans_{};
    std::optional<long long> last_resume_ms_;
    bool told_not_kept_ = false;
    long restores_ = 0;
    std::string last_restore_time_;
    std::atomic<bool> ended_{false};
};

}  // namespace kelvane
