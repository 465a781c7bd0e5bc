#pragma once
// The main window Form1 as the logic sees it: it owns the program's state (the settings
// image, the control model, the chip flags, the monitor counters and tables) and reaches
// the operating system only through the services below. Operations of the other parts are
// free functions over Form1, each in the file of its part.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/int16.h"
#include "base/platform.h"
#include "base/profile.h"
#include "base/settings.h"
#include "chip/apply_settings.h"
#include "chip/chip_access.h"
#include "chip/port_driver.h"
#include "chip/speaker.h"
#include "chip/surface.h"
#include "chip/tune_player.h"
#include "policy/policy_profile.h"
#include "policy/policy_values.h"
#include "state/controls.h"
#include "state/maintenance_state.h"

namespace kelvane {

// ReadingTable entry v * 3 + i for raw value v and channel i.
using ReadingTableArray = std::array<i16, 256 * 3>;

// Operations on the main window that need the real window.
class WindowHost : public TopmostWindow {
  public:
    virtual void DoEvents() = 0;       // let pending window events run
    virtual void Activate() = 0;       // foreground and focus
    virtual void GreyCloseItem() = 0;  // system menu Close -> greyed, command -10
    virtual void ShowModel() = 0;      // make the real window follow the model now
    // Work area (full-screen client area of the primary display) in pixels, twips per pixel.
    virtual int WorkAreaWidthPixels() = 0;
    virtual int WorkAreaHeightPixels() = 0;
    virtual int TwipsPerPixelX() = 0;
    virtual int TwipsPerPixelY() = 0;
    // Loads a skin picture (JPEG, ICO, BMP) for a control; false keeps the design picture.
    virtual bool LoadPicture(const std::string& path) = 0;
    // The window in front when it is another program's, else 0: what an alarm is about to cover.
    virtual std::uintptr_t ForeignForegroundWindow() = 0;
    // That window in front again, over Kelvane's windows, when it is still shown.
    virtual void GiveFrontBack(std::uintptr_t window) = 0;
};

// The other windows, loaded on first use.
class OtherWindows {
  public:
    virtual ~OtherWindows() = default;
    virtual void ShowErrorWindow() = 0;    // Form4, modeless
    virtual void ShowOptions() = 0;        // Form2, modeless; brings an open one to the front
    virtual void ShowAbout() = 0;          // Dialog, modeless
    virtual void ShowHistory() = 0;        // the History window, modeless
    virtual void LoadAndHideAll() = 0;     // Form2, Form4, About: loaded if needed, then hidden
    virtual void UnloadAll() = 0;          // most recently loaded first
    virtual void RaiseUsersWindows() = 0;  // the shown Options and About over the main window
    virtual void LowerErrorWindow() = 0;   // Form4 out of the topmost band, still shown
    // New policy values are in force: an open Options dialog shows them (keys of the policy
    // table). A host without the dialog has nothing to show.
    virtual void PolicyChanged(const std::vector<std::size_t>& /*keys*/) {}
};

struct Services {
    PortDriver& driver;
    Profile& profile;
    FileSystem& files;
    Processes& processes;
    Clock& clock;
    Registry& registry;
    SoundPlayer& sound;
    WindowHost& host;
    OtherWindows& windows;
    Surfaces& surfaces;
    Threads& threads;
};

// What the status line stands for (see state/status_line.h).
enum class StatusLine { Blank, Starting, Normal, Fault, Unreachable, SetupProblem };

// Module-level state of the monitor cycle.
struct MonitorState {
    std::int32_t g_ErrorCode = 0;
    std::string g_ErrorMsg;
    std::int32_t g_CPUOverCnt = 0;
    std::int32_t g_SYSOverCnt = 0;
    std::int32_t g_Critical = 0;
    bool hardware_unreachable = false;  // the last tick could not reach the driver
    bool alarm_lasting = false;         // Label1 shows a fault (red), until the first normal tick
    StatusLine status_line = StatusLine::Blank;
    // Per voltage input, from the last tick: the value shown, whether its alarm applies (the
    // input is shown, enabled and has a nominal) and whether the value was within tolerance.
    std::array<double, 9> volts{};
    std::array<bool, 9> volt_checked{};
    std::array<bool, 9> volt_in_tolerance{};
    std::array<std::uint8_t, 9> volt_raw{};  // the register bytes the values came from
    // Temperature limits of channels 0 (system) and 1 (CPU) as the last tick compared them.
    std::array<std::int32_t, 2> temp_limits{};
    // Per channel, from the last tick that read it: Celsius reading and fan speed as drawn.
    std::array<std::int32_t, 3> temps{};
    std::array<std::int32_t, 3> fan_speeds{};
    std::array<bool, 3> alerts{};  // the digits were drawn in the alert colour
    // The software step (PWM) the last tick put fans 0 and 1 at; -1 when it chose none.
    std::array<std::int8_t, 2> fan_steps{-1, -1};
};

struct Form1;
struct OptionsEdit;

// Another process drives the chip and this one is its view: what the owner must do or say in
// its stead.
class RemoteOwner {
  public:
    virtual ~RemoteOwner() = default;
    // The options dialog's Apply: the owner saves and programs it, or answers why not.
    virtual void ChangeSettings(const OptionsEdit& edit) = 0;
    // The About window's technician block: the owner's, and who drives the chip.
    virtual std::vector<std::string> AboutDetails() const = 0;
};

// Told after every tick, reachable or not, once the cycle has acted: the views and exports
// that follow the machine's state without being part of the cycle.
class TickListener {
  public:
    virtual ~TickListener() = default;
    // Before the tick reads anything: steps that must come before monitoring.
    virtual void BeforeTick(Form1&) {}
    // Before any listener is told: the one chance to reword the status line the tick left.
    virtual void BeforeTell(Form1&) {}
    virtual void AfterTick(const Form1& f) = 0;
    // After an Apply of the options, from the dialog or from a view: the settings changed.
    virtual void AfterApply(const Form1&) {}
    // When the main window unloads, the last moment the process is sure to run.
    virtual void BeforeUnload(const Form1&) {}
    // Lines for the technician's details in the About window, when there is news.
    virtual void AddDetails(const Form1&, std::vector<std::string>&) const {}
};

// What start-up found, for the technician's details and the fleet exports, and how far the
// settings loader got, so that the start-up apply leaves alone what it never read.
struct StartupFindings {
    int chip_id = -1;              // configuration register 0x21 as identification read it
    int chip_revision = -1;        // 0x22; -1 when identification had no reason to read it
    bool chip_identified = false;  // identification ran to its end (the library answered)
    int monitor_base = -1;         // the hardware monitor's base as the chip gives it; -1 not read
    bool settings_read_to_end = false;
    bool settings_unreadable = false;  // kelvane.ini is there but cannot be read
    std::string stopped_section;  // the key the loader stopped at; empty when it read to the end
    std::string stopped_key;
    std::array<bool, 3> fan_ctrl_read{};  // "Fan Ctrl Option n" read completely
    // The file gives every value fan n's layout programs; otherwise the chip keeps its own.
    std::array<bool, 3> fan_described{};
    // Of a fan the file gives only in part, the keys it leaves out; empty otherwise.
    std::array<std::vector<std::string>, 3> fan_keys_missing{};
    std::array<bool, 3> fans_left_to_chip{};  // left out of the start-up apply
    bool display_on_top_read = false;
    bool execute_at_startup_read = false;
    bool gate_handed_over = false;  // the set-file gate started quick.exe and ended the start
};

struct Form1 {
    Form1(Services& services, std::string program_folder, std::string exe_name);

    Services& sys;
    std::string program_folder;  // folder of the executable, no trailing backslash
    std::string exe_name;        // executable name without ".exe"

    // The policy values in force, and the settings file as they overlay it: every read and
    // write of the settings goes through `profile`.
    policy::InForce policy;
    policy::PolicyProfile profile{sys.profile, policy};

    Settings settings;
    MainWindowModel window = DesignLayout();
    ChipAccess chip{sys.driver, settings.g_Address};
    TunePlayer tune_player{chip, sys.clock, sys.threads};  // stops before the chip goes

    std::string g_ProgramRoot;
    std::array<std::int32_t, 10> g_RegSnapshot{};
    std::array<i16, 3> g_FanDivisor{};

    i16 KelvaneFanFlag = 0;
    i16 KelvaneFanSpecialFlag = 0;
    std::int32_t g_Delay = 0;
    std::int32_t g_Error = -1;
    std::int32_t g_Error1 = -1;
    std::int32_t ConstTime = 10;
    i16 BeepCountDown = 0;
    std::array<NoteRecord, 5> AlarmTune{};
    ReadingTableArray ReadingTable{};
    bool HotKeyShowRegistered = false;
    bool HotKeyHideRegistered = false;
    bool tray_icon_shown = false;  // the notification-area record is added
    bool opened_by_alarm = false;  // topmost by the alarm's Open, not by the user's
    // While opened_by_alarm: the other program's window the alarm covered (0 for none), and
    // whether the user has worked in Kelvane's windows since, which makes them the user's.
    std::uintptr_t front_before_alarm = 0;
    bool used_during_alarm = false;

    std::int32_t g_Cur_i = 0;
    std::int32_t CPUTemp = 0, SystemTemp = 0;
    std::int32_t CPUTempFan = 0, SystemTempFan = 0;
    std::int32_t g_CPUOrderCnt = 0, g_SYSOrderCnt = 0;
    MonitorState monitor;
    StartupFindings findings;
    ApplyRecord last_apply;                     // what the applies left in the fans' registers
    std::vector<TickListener*> tick_listeners;  // not owned; each outlives the window
    RemoteOwner* remote_owner = nullptr;        // not owned; set while this process is a view
    // The history's data folder while its latest write failed; empty while it writes.
    std::string unwritable_data_folder;
    MaintenanceState maintenance;  // written once a minute by the maintenance notice

    std::string ProgramFile(const std::string& name) const { return program_folder + "\\" + name; }
};

// Whether the last tick read the hardware monitor. Without a reading, the numbers in
// `monitor` are an older tick's or were never read, so no view, file or export shows them.
inline bool HasReading(const Form1& f) {
    return !f.monitor.hardware_unreachable && !f.chip.monitor_withheld();
}

// The file naming the program root (g_ProgramRoot), and the fan tool's folder under it.
inline constexpr const char* kProgTxt = "c:\\prog.txt";
inline constexpr const char* kToolFolder = "\\Vorlind\\Vorlind Fan control Tool\\";

// Registers of the snapshot, in g_RegSnapshot order, and the text box of each (0 = Text1).
inline constexpr std::array<int, 10> kSnapshotRegisters = {0x60, 0x61, 0x62, 0x63, 0x64,
                                                           0x68, 0x69, 0x6A, 0x6B, 0x6C};
inline constexpr std::array<int, 10> kSnapshotTextBox = {0, 1, 8, 2, 3, 4, 5, 9, 6, 7};

// After the settings changed by a dialog Apply or a policy: the listeners that follow them.
void TellApplied(Form1& f);

}  // namespace kelvane
