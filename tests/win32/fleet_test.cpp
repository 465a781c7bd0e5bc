// The fleet exports' Windows services: the atomic replace of the metrics file, the event
// source and the message table that names each event. Under Wine the event log only traces
// the calls; what is checked there is that registering and reporting do not fail.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "export/fleet_events.h"
#include "win32/fleet_services.h"

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
        {kStarted, EventKind::Information, {"5.07", "id 18 revision 8", "newer"}},
        {kEnded, EventKind::Information, {"5.07"}},
        {kSettingsStopped, EventKind::Warning, {"key Percent in section [VIN2]"}},
        {kGateHandedOver, EventKind::Warning, {"C:\\POS\\quick.exe"}},
        {kFaultBegins,
         EventKind::Warning,
         {"CPU Temperature Over...", "CPU 90 C, fan 0 rpm",
          "C:\\ProgramData\\Kelvane\\incidents\\20260612-114531-cpu-over.csv"}},
        {kBackToNormal, EventKind::Information, {"CPU 40 C, fan 4500 rpm"}},
        {kUnreachable, EventKind::Error, {"none"}},
        {kReachedAgain, EventKind::Information, {}},
        {kHistoryUnwritable, EventKind::Warning, {"D:\\kept"}},
    };
    for (const FleetEvent& e : events) {
        SetLastError(0);
        sink.Report(e);
        // The message table linked into this program, as into kelvane.exe: each id has a text
        // that takes the event's strings.
        std::vector<DWORD_PTR> args;
        for (const std::string& s : e.strings)
            args.push_back(reinterpret_cast<DWORD_PTR>(s.c_str()));
        char text[512] = {};
        const DWORD n = FormatMessageA(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, GetModuleHandleA(nullptr),
            static_cast<DWORD>(e.id), 0x409, text, sizeof text,
            reinterpret_cast<va_list*>(args.empty() ? nullptr : args.data()));
        ASSERT_GT(n, 0u) << e.id;
        for (const std::string& s : e.strings)
            EXPECT_NE(std::string(text).find(s), std::string::npos) << e.id << ": " << text;
    }
}

}  // namespace
}  // namespace kelvane::win32
