#pragma once
// Carries the views' requests from the pipe's thread to the thread that owns the program
// state: a message-only window of that thread, so the requests are answered from its
// message loop between ticks (the window program's own loop, the service's tick loop).
#include <windows.h>

#include <atomic>
#include <functional>

#include "link/owner_desk.h"

namespace kelvane::win32 {

class RequestPump {
  public:
    using Handle = std::function<void(const link::ViewRequest&)>;
    // On the owner's thread, which then runs `handle` for every request.
    explicit RequestPump(Handle handle);
    ~RequestPump();
    RequestPump(const RequestPump&) = delete;
    RequestPump& operator=(const RequestPump&) = delete;

    // From the pipe's thread, without waiting: false when too many requests wait.
    bool Put(link::ViewRequest r);

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void Run();

    Handle handle_;
    link::RequestQueue queue_;
    std::atomic<bool> posted_{false};
    HWND hwnd_ = nullptr;
};

}  // namespace kelvane::win32
