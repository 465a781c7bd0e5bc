#include "app/startup.h"

#include <cmath>
#include <optional>

#include "app/chip_steps.h"
#include "app/load_settings.h"
#include "app/set_file_gate.h"
#include "app/shell_actions.h"
#include "base/failure_policy.h"
#include "chip/speaker.h"
#include "monitor/readout.h"
#include "setup/setup_problem.h"
#include "state/channels.h"
#include "state/chip_views.h"

namespace kelvane {
namespace {

std::string TrimBlanks(const std::string& s) {
    const char* blanks = " \t\r\n";
    const size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

void LoadSkin(Form1& f) {
    auto load = [&](Control& control, const char* file) {
        SkipOnError([&] {
            const std::string path = f.ProgramFile(file);
            if (f.sys.host.LoadPicture(path)) control.picture = path;
        });
    };
    SkipOnError([&] {
        const std::string path = f.ProgramFile("background.jpg");
        if (f.sys.host.LoadPicture(path)) f.window.picture = path;
    });
    load(f.window.Image1[0], "Item1.ICO");
    load(f.window.Image1[1], "Item2.ICO");
    load(f.window.Image1[2], "Item3.ICO");
    load(f.window.Logo, "logo.bmp");
}

// The session's part of the start, the same for the owner and a view: the installation's
// checks, GetUser.exe, the single instance and the set-file gate. A result ends the start.
std::optional<LoadResult> StartInSession(Form1& f, AppShell& shell) {
    // Steps 1 and 2 come before the skip policy: without them the installation is broken.
    const LoadResult first = CompanionSteps(
        f.sys.files, shell.StartsCompanions() ? &f.sys.processes : nullptr, f.g_ProgramRoot);
    if (!first.keep_running) return first;
    f.sys.clock.Sleep(1000);

    // From here on a failing step is skipped.
    f.sys.clock.Sleep(3000);

    if (shell.PreviousInstanceRunning()) {
        const std::string title = f.window.caption;
        f.window.caption.clear();
        SkipOnError([&] { shell.ActivatePreviousInstance(title); });
        return LoadResult{false, {}};
    }

    bool gate_passed = true;
    SkipOnError([&] { gate_passed = SetFileGatePasses(f, shell.StartsCompanions()); });
    if (!gate_passed) {
        f.findings.gate_handed_over = true;
        return LoadResult{false, {}};
    }
    return std::nullopt;
}

void GreyClose(Form1& f) {
    SkipOnError([&] {
        f.sys.host.GreyCloseItem();
        f.window.close_greyed = true;
    });
}

// The window's shell, last: the hot keys, the window procedure, hidden until shown.
void FinishWindow(Form1& f, AppShell& shell) {
    f.HotKeyShowRegistered = shell.RegisterHotKey(kHotKeyShow, kHotKeyModifiers, kVkF11);
    f.HotKeyHideRegistered = shell.RegisterHotKey(kHotKeyHide, kHotKeyModifiers, kVkF12);

    f.window.KelvaneLabel[20].visible = false;
    SkipOnError([&] { shell.SubclassMainWindow(); });
    f.window.visible = false;
}

}  // namespace

LoadResult Form1_Form_Load(Form1& f, AppShell& shell, FanWatch* watch) {
    if (const auto ended = StartInSession(f, shell)) return *ended;

    SkipOnError([&] { ReadAddress(f); });
    TakeRegisterSnapshot(f);
    GreyClose(f);

    f.g_Delay = 0;
    f.g_Error = -1;
    f.g_Error1 = -1;
    f.ConstTime = 10;
    f.monitor = MonitorState{};

    RunChipSteps(f, watch, ChipStepsAt::Startup);
    f.window.tray_menu_visible = false;
    SkipOnError([&] { shell.PrepareTrayRecord(); });
    SkipOnError([&] { ReadBackColor(f); });
    LoadSkin(f);
    SkipOnError([&] { ReadVoltageFactors(f); });
    SkipOnError([&] { CenterFormOnScreen(f); });
    FinishWindow(f, shell);
    return {};
}

LoadResult StartView(Form1& f, AppShell& shell) {
    if (const auto ended = StartInSession(f, shell)) return *ended;
    GreyClose(f);
    f.window.tray_menu_visible = false;
    SkipOnError([&] { shell.PrepareTrayRecord(); });
    SkipOnError([&] { CenterFormOnScreen(f); });
    FinishWindow(f, shell);
    return {};
}

LoadResult CompanionSteps(FileSystem& files, Processes* processes, std::string& program_root) {
    const auto root = files.ReadFile(kProgTxt);
    if (!root) return {false, "Cannot open c:\\prog.txt: Kelvane is not installed correctly."};
    program_root = TrimBlanks(*root);
    const std::string get_user = ToolProgram(program_root, "GetUser.exe");
    const bool there =
        processes != nullptr ? processes->StartMinimized(get_user) : files.CanOpen(get_user);
    if (!there)
        return {false, "Cannot start " + get_user + ": Kelvane is not installed correctly."};
    return {};
}

void TakeRegisterSnapshot(Form1& f) {
    for (size_t i = 0; i < kSnapshotRegisters.size(); ++i) {
        SkipOnError([&] {
            const int value = f.chip.ReadReg(kSnapshotRegisters[i]);
            f.g_RegSnapshot[i] = value;
            f.window.Text[static_cast<size_t>(kSnapshotTextBox[i])].caption = std::to_string(value);
        });
    }
}

void ShowStartupWindow(Form1& f) {
    f.window.visible = true;
    f.sys.host.ShowModel();
    Form1_Form_Resize(f);
}

void CenterFormOnScreen(Form1& f) {
    const double work_w =
        static_cast<double>(f.sys.host.WorkAreaWidthPixels()) * f.sys.host.TwipsPerPixelX();
    const double work_h =
        static_cast<double>(f.sys.host.WorkAreaHeightPixels()) * f.sys.host.TwipsPerPixelY();
    f.window.left = static_cast<std::int32_t>(std::lround(work_w / 2 - f.window.width / 2.0));
    f.window.top = static_cast<std::int32_t>(std::lround(work_h / 2 - f.window.height / 2.0));
}

void Form1_Form_Resize(Form1& f) {
    if (f.window.state != WindowState::Minimized) return;
    f.window.visible = false;
    f.sys.host.ShowModel();
    f.sys.host.SetTopmost(false);
}

void StopAlarmTune(Form1& f) {
    // Nothing that follows may find the speaker's ports in use: the current note ends, the
    // waiting tune is dropped, and the player switches the speaker off itself.
    f.tune_player.Stop();
}

void Form1_Form_Unload(Form1& f, AppShell& shell, FanWatch* watch) {
    // In this order: nothing may write the fan registers once they are handed back.
    ContainErrors([&] { shell.StopMonitorTimer(); });
    ContainErrors([&] { StopAlarmTune(f); });
    if (watch != nullptr) ContainErrors([&] { watch->HandBack(); });
    for (TickListener* listener : f.tick_listeners)
        ContainErrors([&] { listener->BeforeUnload(f); });
    ContainErrors([&] { f.sys.windows.UnloadAll(); });
    if (f.HotKeyShowRegistered) shell.UnregisterHotKey(kHotKeyShow);
    if (f.HotKeyHideRegistered) shell.UnregisterHotKey(kHotKeyHide);
}

}  // namespace kelvane
