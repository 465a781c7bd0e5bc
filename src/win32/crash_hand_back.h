#pragma once
// The last thing a dying process does: hand the fans back. An unhandled exception (through
// the unhandled-exception filter) or a C++ exception that escapes (std::terminate) gets the
// fan watch's hand-back on a fresh thread, waited for at most two seconds: the crashed thread
// may hold a lock the hand-back needs (the driver library's, the heap's), and then the
// hand-back is given up rather than the process hung. The driver's own lock is taken by the
// dying thread first, with the same bound, and the fresh thread writes under it.
#include <windows.h>

#include <exception>

#include "failsafe/fan_watch.h"

namespace kelvane::win32 {

inline constexpr DWORD kCrashHandBackWaitMs = 2000;

// Installed for its lifetime; one at a time.
class CrashHandBack {
  public:
    explicit CrashHandBack(FanWatch& watch);
    ~CrashHandBack();
    CrashHandBack(const CrashHandBack&) = delete;
    CrashHandBack& operator=(const CrashHandBack&) = delete;

  private:
    LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_;
    std::terminate_handler previous_terminate_;
};

// The hand-back on a fresh thread, bounded; what the filter and the terminate handler run.
void HandBackBeforeDying();

}  // namespace kelvane::win32
