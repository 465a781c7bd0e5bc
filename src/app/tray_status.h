#pragma once
// What the notification-area icon tells a user whose main window is hidden: one of four
// states, a tip with the live readings and the status, and one balloon when a lasting fault
// begins while the window is hidden.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "state/form1.h"

namespace kelvane {

// In rising order of weight: the heavier state wins when several hold.
enum class TrayState { Normal, VoltageOut, LastingFault, Unreachable };

// NIN_BALLOONUSERCLICK as the tray callback's event number.
inline constexpr int kTrayBalloonClick = 0x405;
inline constexpr const char* kBalloonTitle = "Kelvane";

// The shell's side: the icon and tip of the record, and the balloon.
class TrayShell {
  public:
    virtual ~TrayShell() = default;
    virtual void ShowTrayState(TrayState state, const std::string& tip) = 0;
    virtual void ShowBalloon(const std::string& title, const std::string& text) = 0;
};

TrayState TrayStateOf(const Form1& f);

// "CPU 38°C System 42°C · Normal..." in the ANSI code page, then a line per maintenance
// notice, cut to fit a field of `field_size` characters including its terminating NUL.
std::string TrayTip(const Form1& f, std::size_t field_size);

// TrayTip, built again only when what it reads has changed since the last call: the owner
// publishes the tip every tick, and it seldom changes.
class TrayTipCache {
  public:
    const std::string& Of(const Form1& f, std::size_t field_size);

  private:
    // What TrayTip reads; no caption stands for a heading's fallback or no voltage named.
    struct Inputs {
        bool reading = false;
        std::int32_t system = 0;
        std::int32_t cpu = 0;
        bool fahrenheit = false;
        TrayState state = TrayState::Normal;
        std::size_t field = 0;
        std::optional<std::string> heading0, heading1, voltage;
        std::string label;
        std::array<std::string, 3> notices;  // the texts of the notices that hold
        // True when something changed; the inputs are then the form's.
        bool Take(const Form1& f, std::size_t field_size);
        static bool Same(const std::optional<std::string>& kept, const std::string* now);
    };
    Inputs inputs_;
    std::string tip_;
    bool built_ = false;
};

// One balloon per lasting fault episode: Begins is true on the episode's first tick only.
class EpisodeBalloon {
  public:
    bool Begins(const Form1& f);

  private:
    bool seen_ = false;  // the running lasting fault has had its chance of a balloon
};

class TrayStatus final : public TickListener {
  public:
    TrayStatus(TrayShell& shell, std::size_t tip_field_size)
        : shell_(shell), tip_field_size_(tip_field_size) {}
    void AfterTick(const Form1& f) override;
    // In a view the owner says when a balloon is due; two for one fault would be one too many.
    void LeaveBalloonsToOwner() { balloons_ = false; }

  private:
    TrayShell& shell_;
    std::size_t tip_field_size_;
    bool shown_once_ = false;
    TrayState shown_state_ = TrayState::Normal;
    std::string shown_tip_;
    EpisodeBalloon balloon_;
    bool balloons_ = true;
};

}  // namespace kelvane
