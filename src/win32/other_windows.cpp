#include "win32/other_windows.h"

#include <algorithm>

#include "win32/about_window.h"

namespace kelvane::win32 {

// Loaded windows in load order, so that unloading goes from the most recent down.
struct WindowSet::Impl {
    HINSTANCE instance;
    Form1& form;
    std::unique_ptr<AboutWindow> about;
    std::vector<HWND> load_order;
    bool about_pending_unload = false;

    void Loaded(HWND h) { load_order.push_back(h); }
    void Forget(HWND h) {
        load_order.erase(std::remove(load_order.begin(), load_order.end(), h), load_order.end());
    }
    AboutWindow& About() {
        if (!about) {
            about = std::make_unique<AboutWindow>(instance, form, [this] {
                // Unloading from inside its own click: destroy once the message is done.
                about_pending_unload = true;
                PostMessageA(nullptr, WM_NULL, 0, 0);
            });
            Loaded(about->hwnd());
        }
        return *about;
    }
    void ReapUnloaded() {
        if (about_pending_unload && about) {
            Forget(about->hwnd());
            about.reset();
        }
        about_pending_unload = false;
    }
};

WindowSet::WindowSet(HINSTANCE instance, Form1& form)
    : impl_(std::make_unique<Impl>(Impl{instance, form, nullptr, {}, false})) {}

WindowSet::~WindowSet() = default;

void WindowSet::ShowErrorWindow() { impl_->ReapUnloaded(); }

void WindowSet::ShowOptions() { impl_->ReapUnloaded(); }

void WindowSet::ShowAbout() {
    impl_->ReapUnloaded();
    impl_->About().Show();
}

void WindowSet::LoadAndHideAll() {
    impl_->ReapUnloaded();
    impl_->About().Hide();
}

void WindowSet::UnloadAll() {
    impl_->ReapUnloaded();
    impl_->about.reset();
    impl_->load_order.clear();
}

void WindowSet::Forget(HWND window) { impl_->Forget(window); }

}  // namespace kelvane::win32
