#pragma once
// The fleet exports' services on Windows: the atomic file replace, the wall clock and the
// Application event log under the source "Kelvane".
#include <windows.h>

#include <string>

#include "export/export_services.h"
#include "win32/handles.h"

namespace kelvane::win32 {

inline constexpr const char* kEventSource = "Kelvane";

// A temporary file beside the target, written in one call, then MoveFileExA with replace.
class AtomicFileReplacer : public FileReplacer {
  public:
    bool Replace(const std::string& path, std::string_view data) override;
};

class SystemWallClock : public WallClock {
  public:
    double UnixSeconds() override;
};

// Registers the source once; without the installer's EventMessageFile entry the events are
// still written, only Event Viewer cannot show their text.
class EventLogSink : public EventSink {
  public:
    explicit EventLogSink(const char* source = kEventSource);
    void Report(const FleetEvent& event) override;
    bool registered() const { return source_ != nullptr; }

  private:
    Owned<HANDLE, DeregisterEventSource> source_;
};

}  // namespace kelvane::win32
