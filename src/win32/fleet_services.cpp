#include "win32/fleet_services.h"

#include <vector>

#include "export/fleet_events.h"
#include "kelvane_events.h"

namespace kelvane::win32 {

// The message table and the logic must agree on every id.
static_assert(KELVANE_STARTED == event_id::kStarted && KELVANE_ENDED == event_id::kEnded);
static_assert(KELVANE_SETTINGS_STOPPED == event_id::kSettingsStopped);
static_assert(KELVANE_GATE_HANDED_OVER == event_id::kGateHandedOver);
static_assert(KELVANE_START_FAILED == event_id::kStartFailed);
static_assert(KELVANE_FAULT_BEGINS == event_id::kFaultBegins);
static_assert(KELVANE_BACK_TO_NORMAL == event_id::kBackToNormal);
static_assert(KELVANE_FAN_SETTINGS_RESTORED == event_id::kFanSettingsRestored);
static_assert(KELVANE_FAN_SETTINGS_NOT_KEPT == event_id::kFanSettingsNotKept);
static_assert(KELVANE_UNREACHABLE == event_id::kUnreachable);
static_assert(KELVANE_REACHED_AGAIN == event_id::kReachedAgain);

bool AtomicFileReplacer::Replace(const std::string& path, std::string_view data) {
    // ".tmp" after the whole name: a collector that reads "*.prom" never picks it up.
    const std::string temp = path + ".tmp";
    {
        OwnedHandle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || file.get() == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const BOOL ok =
            WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        if (!ok || written != data.size()) {
            file.reset();
            DeleteFileA(temp.c_str());
            return false;
        }
    }
    if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temp.c_str());
    return false;
}

double SystemWallClock::UnixSeconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601-01-01; 1970 is 11644473600 seconds later.
    return static_cast<double>(t.QuadPart / 10000ULL) / 1000.0 - 11644473600.0;
}

EventLogSink::EventLogSink(const char* source) : source_(RegisterEventSourceA(nullptr, source)) {}

void EventLogSink::Report(const FleetEvent& event) {
    if (!source_) return;
    WORD type = EVENTLOG_INFORMATION_TYPE;
    if (event.kind == EventKind::Warning) type = EVENTLOG_WARNING_TYPE;
    if (event.kind == EventKind::Error) type = EVENTLOG_ERROR_TYPE;
    std::vector<const char*> strings;
    for (const std::string& s : event.strings) strings.push_back(s.c_str());
    ReportEventA(source_.get(), type, 0, static_cast<DWORD>(event.id), nullptr,
                 static_cast<WORD>(strings.size()), 0, strings.empty() ? nullptr : strings.data(),
                 nullptr);
}

}  // namespace kelvane::win32
