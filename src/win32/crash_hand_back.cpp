#include "win32/crash_hand_back.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <cstdlib>

namespace kelvane::win32 {
namespace {

// The filter and the terminate handler take no argument: the watch has to be reachable
// from a program-wide place, and only while it exists.
std::atomic<FanWatch*> g_watch{nullptr};
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
std::terminate_handler g_previous_terminate = nullptr;

DWORD WINAPI HandBackThread(LPVOID) {
    try {
        if (FanWatch* watch = g_watch.load()) watch->HandBackUnderHeldLock();
    } catch (...) {
        // Nothing more is tried.
    }
    return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
    HandBackBeforeDying();
    return g_previous_filter != nullptr ? g_previous_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate() {
    HandBackBeforeDying();
    if (g_previous_terminate != nullptr) g_previous_terminate();
    std::abort();
}

}  // namespace

void HandBackBeforeDying() {
    FanWatch* watch = g_watch.load();
    if (watch == nullptr) return;
    // The driver's lock is ours already when this thread died inside a driver call, or the
    // tune's thread holds it for a moment; a thread that never lets go gets the bound. Held
    // here, no thread of ours reaches the driver while the fresh one writes for this one.
    std::recursive_timed_mutex& lock = watch->driver_lock();
    if (!lock.try_lock_for(std::chrono::milliseconds(kCrashHandBackWaitMs))) return;
    HANDLE thread = CreateThread(nullptr, 0, &HandBackThread, nullptr, 0, nullptr);
    if (thread != nullptr) {
        WaitForSingleObject(thread, kCrashHandBackWaitMs);
        CloseHandle(thread);
    }
    lock.unlock();
}

CrashHandBack::CrashHandBack(FanWatch& watch) {
    g_watch = &watch;
    previous_filter_ = SetUnhandledExceptionFilter(&OnUnhandledException);
    g_previous_filter = previous_filter_;
    previous_terminate_ = std::set_terminate(&OnTerminate);
    g_previous_terminate = previous_terminate_;
}

CrashHandBack::~CrashHandBack() {
    std::set_terminate(previous_terminate_);
    SetUnhandledExceptionFilter(previous_filter_);
    g_watch = nullptr;
}

}  // namespace kelvane::win32
