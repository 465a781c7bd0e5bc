// The fleet exports' Windows services: the atomic replace of the metrics file, the event
// source and the message table that names each event, and the file written beside the real
// monitor timer. Under Wine the event log only traces the calls; what is checked there is
// that registering and reporting do not fail.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "export/fleet_events.h"
#include "export/textfile_export.h"
#include "support/fakes.h"
#include "win32/fleet_services.h"
#include "win32/handles.h"
#include "win32/main_window.h"

namespace kelvane::win32 {
namespace {

std::string TempFolder() {
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    std::string folder = std::string(path) + "kelvane_fleet_test";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FleetServices, ReplaceWritesWholeFilesAndFailsQuietly) {
    const std::string folder = TempFolder();
    const std::string path = folder + "\\kelvane.prom";
    AtomicFileReplacer files;
    ASSERT_TRUE(files.Replace(path, "kelvane_status_code 0\n"));
    ASSERT_TRUE(files.Replace(path, "kelvane_status_code 1\nkelvane_critical 0\n"));
    EXPECT_EQ(Content(path), "kelvane_status_code 1\nkelvane_critical 0\n");
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_FALSE(files.Replace(folder + "\\no such folder\\kelvane.prom", "x\n"));
    CreateDirectoryA((folder + "\\taken.prom").c_str(), nullptr);  // a folder in the way
    EXPECT_FALSE(files.Replace(folder + "\\taken.prom", "x\n"));
    EXPECT_EQ(GetFileAttributesA((folder + "\\taken.prom.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    RemoveDirectoryA((folder + "\\taken.prom").c_str());
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());

    const double now = SystemWallClock().UnixSeconds();
    EXPECT_GT(now, 1.7e9);  // after 2023: the 1601 epoch was taken off
    EXPECT_LT(now, 4.1e9);
}

TEST(FleetServices, EventSourceReportsEveryEventAndTheTableNamesIt) {
    EventLogSink sink;
    EXPECT_TRUE(sink.registered());
    using namespace event_id;
    const FleetEvent events[] = {
        {kStarted, EventKind::Information, {"5.07", "id 18 revision 8", "newer", "simulated"}},
        {kEnded, EventKind::Information, {"5.07", "The fans were handed back to the chip."}},
        {kSettingsStopped, EventKind::Warning, {"key Percent in section [VIN2]"}},
        {kGateHandedOver, EventKind::Warning, {"C:\\POS\\quick.exe"}},
        {kStartFailed,
         EventKind::Error,
         {"Cannot open c:\\prog.txt: Kelvane is not installed correctly."}},
        {kFaultBegins,
         EventKind::Warning,
         {"CPU Temperature Over...", "CPU 90 C, fan 0 rpm",
          "C:\\ProgramData\\Kelvane\\incidents\\20260612-114531-cpu-over.csv"}},
        {kBackToNormal, EventKind::Information, {"CPU 40 C, fan 4500 rpm"}},
        {kFanSettingsRestored, EventKind::Information, {"after resume"}},
        {kFanSettingsNotKept, EventKind::Warning, {}},
        {kUnreachable, EventKind::Error, {"none"}},
        {kReachedAgain, EventKind::Information, {}},
        {kSetupProblem, EventKind::Warning, {"kelvane.ini cannot be read", "settings_unreadable"}},
        {kSetupProblemGone, EventKind::Information, {}},
        {kHistoryUnwritable, EventKind::Warning, {"D:\\kept"}},
        {kPolicyChanged, EventKind::Information, {"Fan Ctrl Option 1\\S2, Option\\DisplayOnTop"}},
        {kMaintenanceNotice,
         EventKind::Information,
         {"The CPU fan turns 31 % slower than it did (2,280 rpm at step 20, was 3,300): clean "
          "or replace it.",
          "cpu_fan_slower"}},
        {kMaintenanceNoticeEnds, EventKind::Information, {"cooling_clogged"}},
        {kBaselineStartedOver, EventKind::Information, {}},
    };
    for (const FleetEvent& e : events) {
        SetLastError(0);
        sink.Report(e);
        // The message table linked into this program, as into kelvane.exe: each id has a text
        // that takes the strings the program gives the event. An insert beyond them reads a
        // marker rather than past the array.
        static const char kMissing[] = "<no such string>";
        std::vector<DWORD_PTR> args(8, reinterpret_cast<DWORD_PTR>(kMissing));
        for (std::size_t i = 0; i < e.strings.size(); ++i)
            args[i] = reinterpret_cast<DWORD_PTR>(e.strings[i].c_str());
        char text[512] = {};
        const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                       GetModuleHandleA(nullptr), static_cast<DWORD>(e.id), 0x409,
                                       text, sizeof text, reinterpret_cast<va_list*>(args.data()));
        ASSERT_GT(n, 0u) << e.id;
        EXPECT_EQ(std::string(text).find(kMissing), std::string::npos) << e.id << ": " << text;
        for (const std::string& s : e.strings)
            EXPECT_NE(std::string(text).find(s), std::string::npos) << e.id << ": " << text;
    }
}

// A share that holds the first write for 5 s; every write fails, as a locked file does.
struct StuckShare : FileReplacer {
    OwnedHandle never{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::mutex mutex;
    std::vector<std::string> texts;
    ULONGLONG held_ms = 0;
    bool Replace(const std::string&, std::string_view data) override {
        bool first = false;
        {
            std::lock_guard lock(mutex);
            texts.emplace_back(data);
            first = texts.size() == 1;
        }
        if (first) {
            const ULONGLONG start = GetTickCount64();
            WaitForSingleObject(never.get(), 5000);
            held_ms = GetTickCount64() - start;
        }
        return false;
    }
};

// Each tick's number is its timestamp, so a written text tells which tick made it.
struct TickClock : WallClock, TickListener {
    std::vector<ULONGLONG> at;
    double UnixSeconds() override { return static_cast<double>(at.size() + 1); }
    void AfterTick(const Form1&) override { at.push_back(GetTickCount64()); }
};

TEST(FleetServices, AStuckWriteLeavesTheMonitorTimerItsPace) {
    board::Board board;
    IniText profile;
    testing::FakeFiles files;
    testing::FakeProcesses processes;
    testing::FakeClock clock;
    testing::FakeRegistry registry;
    testing::FakeSound sound;
    testing::FakeWindows windows;
    testing::InlineThreads threads;
    MainView view{GetModuleHandleA(nullptr), false, [](DWORD, NOTIFYICONDATAA*) { return TRUE; }};
    Services services{board, profile, files,   processes, clock,  registry,
                      sound, view,    windows, view,      threads};
    StuckShare share;
    TickClock ticks;
    {
        TextFileExport textfile(share, ticks);
        Form1 form{services, "C:\\Program Files\\Kelvane", "kelvane"};
        form.settings.g_ExportTextFile = "\\\\share\\metrics\\kelvane.prom";
        form.tick_listeners = {&textfile, &ticks};
        view.Create(form);
        view.StartMonitorTimer();
        const ULONGLONG end = GetTickCount64() + 7500;
        while (GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
        DestroyWindow(view.hwnd());
        ASSERT_TRUE(textfile.WaitIdle(std::chrono::seconds(5)));
        std::lock_guard lock(share.mutex);
        EXPECT_EQ(textfile.failures().count, static_cast<long>(share.texts.size()));
    }
    // A tick every second, none late, while the first write hung for 5 s.
    ASSERT_GE(ticks.at.size(), 6u);
    for (std::size_t i = 1; i < ticks.at.size(); ++i)
        EXPECT_LT(ticks.at[i] - ticks.at[i - 1], 1500u) << "tick " << i;
    EXPECT_GE(share.held_ms, 4900u);
    // Of the texts the ticks built meanwhile only the newest was written after the wait.
    std::vector<int> written;
    for (const std::string& text : share.texts) {
        const std::string key = "\nkelvane_last_tick_timestamp_seconds ";
        written.push_back(std::stoi(text.substr(text.find(key) + key.size())));
    }
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written[0], 1);
    EXPECT_TRUE(written[1] == 5 || written[1] == 6) << written[1];
    for (std::size_t i = 1; i < written.size(); ++i) EXPECT_GT(written[i], written[i - 1]);
}

}  // namespace
}  // namespace kelvane::win32
