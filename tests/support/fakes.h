#pragma once
// Doubles of the operating-system services for unit tests, and a rig that builds a Form1
// over any port driver (usually the simulated board) and an in-memory settings file.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_shell.h"
#include "base/ini_text.h"
#include "chip/surface.h"
#include "state/form1.h"

namespace kelvane::testing {

class FakeFiles : public FileSystem {
  public:
    std::map<std::string, std::string> files;  // path -> content
    std::map<std::string, bool> unwritable;    // path -> append fails
    std::map<std::string, bool> unreadable;    // path -> exists but cannot be opened
    std::vector<std::string> appended_paths;

    std::optional<std::string> ReadFile(const std::string& path) override;
    std::optional<std::string> ReadIfPresent(const std::string& path) override;
    bool CanOpen(const std::string& path) override { return files.count(path) != 0; }
    void AppendFile(const std::string& path, const std::string& data) override;
    std::optional<std::string> SearchPathIn(const std::string& folder, const std::string& name,
                                            const std::string& extension) override;
    // Folders are implied by the paths of their files; `folders` holds the made ones.
    std::vector<FileEntry> ListFiles(const std::string& folder) override;
    bool RemoveFile(const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
    std::map<std::string, bool> folders;  // made, or refused (false) by a test
};

class FakeProcesses : public Processes {
  public:
    std::vector<std::string> started;
    bool can_start = true;
    bool StartMinimized(const std::string& path) override;
};

class FakeClock : public Clock {
  public:
    std::vector<long> sleeps;
    std::string date = "12/6/2026";
    std::string time = "10:45:31 PM";
    void Sleep(long ms) override { sleeps.push_back(ms); }
    std::string ShortDate() override { return date; }
    std::string LongTime() override { return time; }
    std::int64_t unix_seconds = 1781257531;  // 2026-06-12 09:45:31 UTC
    int utc_offset_minutes = 120;
    std::int64_t UnixSeconds() override { return unix_seconds; }
    int UtcOffsetMinutes(std::int64_t) override { return utc_offset_minutes; }
};

class FakeRegistry : public Registry {
  public:
    std::map<std::string, std::string> run;
    int writes = 0, deletes = 0;
    bool refuse = false;  // the Run key needs rights this user lacks
    bool SetRunValue(const std::string& name, const std::string& data) override;
    bool DeleteRunValue(const std::string& name) override;
    std::string metrics_file;  // what the installer remembered
    std::string RememberedMetricsFile() override { return metrics_file; }
};

class FakeSound : public SoundPlayer {
  public:
    std::vector<std::string> played;
    void PlayWave(const std::string& path) override { played.push_back(path); }
};

class FakeHost : public WindowHost {
  public:
    std::vector<bool> topmost_calls;
    int do_events = 0, activations = 0, close_greyed = 0, shows = 0;
    std::vector<std::string> loadable_pictures;  // paths that load
    std::vector<std::string> loaded_pictures;
    void SetTopmost(bool topmost) override { topmost_calls.push_back(topmost); }
    void DoEvents() override { ++do_events; }
    void Activate() override { ++activations; }
    void GreyCloseItem() override { ++close_greyed; }
    void ShowModel() override { ++shows; }
    int WorkAreaWidthPixels() override { return 1024; }
    int WorkAreaHeightPixels() override { return 738; }
    int TwipsPerPixelX() override { return 15; }
    int TwipsPerPixelY() override { return 15; }
    bool LoadPicture(const std::string& path) override;
    std::uintptr_t foreground = 0;  // another program's window in front, 0 for none
    std::vector<std::uintptr_t> fronts_given;
    std::uintptr_t ForeignForegroundWindow() override { return foreground; }
    void GiveFrontBack(std::uintptr_t window) override { fronts_given.push_back(window); }
};

class FakeWindows : public OtherWindows {
  public:
    std::vector<std::string> calls;
    void ShowErrorWindow() override { calls.push_back("ShowErrorWindow"); }
    void ShowOptions() override { calls.push_back("ShowOptions"); }
    void ShowAbout() override { calls.push_back("ShowAbout"); }
    void ShowHistory() override { calls.push_back("ShowHistory"); }
    void LoadAndHideAll() override { calls.push_back("LoadAndHideAll"); }
    void UnloadAll() override { calls.push_back("UnloadAll"); }
    void RaiseUsersWindows() override { calls.push_back("RaiseUsersWindows"); }
    void LowerErrorWindow() override { calls.push_back("LowerErrorWindow"); }
    void PolicyChanged(const std::vector<std::size_t>& keys) override {
        calls.push_back("PolicyChanged " + std::to_string(keys.size()));
    }
};

class FakeSurfaces : public Surfaces {
  public:
    FakeSurfaces();
    Surface& LedPic(int n) override { return *led_pic.at(static_cast<size_t>(n)); }
    Surface& FanLed(int n) override { return *fan_led.at(static_cast<size_t>(n)); }
    Surface& LedFont(int k) override { return *led_font.at(static_cast<size_t>(k)); }
    void Invalidate() override { ++invalidations; }
    std::vector<std::unique_ptr<PixelSurface>> led_pic, fan_led, led_font;
    int invalidations = 0;
};

// A shell that does nothing: the only instance, hot keys free. Tests override what they record.
class NullShell : public NoShell {
  public:
    bool RegisterHotKey(int, unsigned, unsigned) override { return true; }
};

// Runs each job at once on the caller's thread, so a tick's tune has ended when it returns.
class InlineThreads : public Threads {
  public:
    void Start(std::function<void()> job) override { job(); }
    void Join() override {}
};

// A Form1 with fake services over the given driver; the settings file is `profile`.
struct Rig {
    explicit Rig(PortDriver& driver, const std::string& ini = {});
    IniText profile;
    FakeFiles files;
    FakeProcesses processes;
    FakeClock clock;
    FakeRegistry registry;
    FakeSound sound;
    FakeHost host;
    FakeWindows windows;
    FakeSurfaces surfaces;
    InlineThreads threads;
    Services services;
    Form1 form;
};

inline constexpr const char* kProgramFolder = "C:\\Program Files\\Kelvane";

}  // namespace kelvane::testing
