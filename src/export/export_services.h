#pragma once
// What the fleet exports need from the operating system. Windows implementations live in
// src/win32; tests use doubles.
#include <string>
#include <vector>

#include "base/platform.h"

namespace kelvane {

class WallClock {
  public:
    virtual ~WallClock() = default;
    virtual double UnixSeconds() = 0;  // seconds since 1970-01-01 UTC
};

enum class EventKind { Information, Warning, Error };

struct FleetEvent {
    int id = 0;
    EventKind kind = EventKind::Information;
    std::vector<std::string> strings;  // the message's insertion strings %1, %2, ...
};

class EventSink {
  public:
    virtual ~EventSink() = default;
    virtual void Report(const FleetEvent& event) = 0;  // silent on failure
};

}  // namespace kelvane
