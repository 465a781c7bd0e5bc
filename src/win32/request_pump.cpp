#include "win32/request_pump.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kPumpClass = "KelvaneRequests";
constexpr UINT kRequestsWaiting = WM_APP + 7;

}  // namespace

RequestPump::RequestPump(Handle handle) : handle_(std::move(handle)) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = &Proc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = kPumpClass;
    RegisterClassExA(&c);  // a second pump in the process finds the class there
    hwnd_ = CreateWindowExA(0, kPumpClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance,
                            nullptr);
    if (hwnd_ != nullptr) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

RequestPump::~RequestPump() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool RequestPump::Put(link::ViewRequest r) {
    if (hwnd_ == nullptr || !queue_.Put(std::move(r))) return false;
    // One message for any number of requests: the thread takes them all at once.
    if (!posted_.exchange(true)) PostMessageA(hwnd_, kRequestsWaiting, 0, 0);
    return true;
}

void RequestPump::Run() {
    posted_ = false;
    for (const link::ViewRequest& r : queue_.TakeAll()) handle_(r);
}

LRESULT CALLBACK RequestPump::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRequestsWaiting) {
        auto* pump = reinterpret_cast<RequestPump*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (pump != nullptr) pump->Run();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace kelvane::win32
