#include "win32/other_windows.h"

#include <algorithm>
#include <vector>

#include "link/view_relay.h"
#include "options/form2.h"
#include "win32/about_window.h"
#include "win32/error_window_view.h"
#include "win32/history_window.h"
#include "win32/main_window.h"
#include "win32/options_window.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kReaperClass = "KelvaneReaper";
constexpr UINT kReapMessage = WM_APP + 1;

enum class Which { Options, Error, About, History };

}  // namespace

struct WindowSet::Impl {
    Impl(HINSTANCE instance, Form1& form);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    OptionsWindow& Options();
    ErrorWindowView& Error();
    AboutWindow& About();
    HistoryWindow* History();
    void Loaded(Which w) { load_order.push_back(w); }
    void Forget(Which w) {
        load_order.erase(std::remove(load_order.begin(), load_order.end(), w), load_order.end());
    }
    void Unload(Which w);
    // Destroys the windows that unloaded themselves, once none of their handlers runs.
    void Reap();
    void PostReap() { PostMessageA(reaper, kReapMessage, 0, 0); }
    static LRESULT CALLBACK ReaperProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    HINSTANCE instance;
    Form1& form;
    OptionsShared shared;  // outlives every opening of the dialog
    std::unique_ptr<OptionsWindow> options;
    std::unique_ptr<ErrorWindowView> error;
    std::unique_ptr<AboutWindow> about;
    bool about_unloaded = false;
    bool history_unloaded = false;  // while its handler ran: it goes once that has returned
    history::History* history = nullptr;
    FileSystem* history_files = nullptr;
    std::unique_ptr<HistoryWindow> history_window;
    std::function<void(std::int64_t, std::int64_t, int)> ask_span;
    std::function<void()> ask_folder;
    std::vector<Which> load_order;
    // A hidden window of ours: a message posted to it runs after the handler that posted it.
    HWND reaper = nullptr;
};

WindowSet::Impl::Impl(HINSTANCE instance_, Form1& form_) : instance(instance_), form(form_) {
    RegisterWindowClass(instance, kReaperClass, &Impl::ReaperProc);
    reaper = CreateWindowExA(0, kReaperClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                             nullptr);
    SetWindowLongPtrA(reaper, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

WindowSet::Impl::~Impl() {
    for (auto it = load_order.rbegin(); it != load_order.rend(); ++it) Unload(*it);
    if (reaper) {
        SetWindowLongPtrA(reaper, GWLP_USERDATA, 0);
        DestroyWindow(reaper);
    }
}

LRESULT CALLBACK WindowSet::Impl::ReaperProc(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message == kReapMessage) {
        self->Reap();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

OptionsWindow& WindowSet::Impl::Options() {
    if (!options) {
        Loaded(Which::Options);
        // Form_Load runs here, on the dialog's first use.
        options = std::make_unique<OptionsWindow>(instance, form, shared, [this] { PostReap(); });
    }
    return *options;
}

ErrorWindowView& WindowSet::Impl::Error() {
    if (!error) {
        Loaded(Which::Error);
        // The notice stays above the main window, which an alarm raises every second.
        WindowHost* host = &form.sys.host;
        if (auto* relay = dynamic_cast<link::ViewRelay*>(host)) host = &relay->shown_through();
        auto* main_view = dynamic_cast<MainView*>(host);
        error = std::make_unique<ErrorWindowView>(instance, form,
                                                  main_view ? main_view->hwnd() : nullptr);
    }
    return *error;
}

AboutWindow& WindowSet::Impl::About() {
    if (!about) {
        Loaded(Which::About);
        about_unloaded = false;
        about = std::make_unique<AboutWindow>(instance, form, [this] {
            about_unloaded = true;
            PostReap();
        });
    }
    return *about;
}

HistoryWindow* WindowSet::Impl::History() {
    if (!history_window && history) {
        Loaded(Which::History);
        history_unloaded = false;
        history_window =
            std::make_unique<HistoryWindow>(instance, form, *history, *history_files, [this] {
                if (history_unloaded) PostReap();
            });
        if (ask_span) history_window->AskOwner(ask_span, ask_folder);
    }
    return history_window.get();
}

void WindowSet::Impl::Unload(Which w) {
    switch (w) {
        case Which::Options:
            // A dialog whose handler is running goes once that handler has returned.
            if (options && options->Busy()) return;
            options.reset();
            break;
        case Which::Error:
            if (error && error->Busy()) return;
            error.reset();
            break;
        case Which::About:
            about.reset();
            about_unloaded = false;
            break;
        case Which::History:
            // Exit from the tray while its save dialog is open: the dialog's loop returns into
            // the window's handler, so the window stays until that has returned.
            if (history_window && history_window->Busy()) {
                history_unloaded = true;
                history_window->Hide();
                return;
            }
            history_window.reset();
            history_unloaded = false;
            break;
    }
    Forget(w);
}

void WindowSet::Impl::Reap() {
    if (options && options->Closing()) Unload(Which::Options);
    if (about && about_unloaded) Unload(Which::About);
    if (history_window && history_unloaded) Unload(Which::History);
}

WindowSet::WindowSet(HINSTANCE instance, Form1& form)
    : impl_(std::make_unique<Impl>(instance, form)) {}

WindowSet::~WindowSet() = default;

void WindowSet::ShowErrorWindow() {
    impl_->Reap();
    impl_->Error().Open();
}

void WindowSet::ShowOptions() {
    impl_->Reap();  // a dialog closed a moment ago is gone before a new one opens
    impl_->Options().Show();
}

void WindowSet::ShowAbout() {
    impl_->Reap();
    impl_->About().Show();
}

void WindowSet::ShowHistory() {
    impl_->Reap();
    if (HistoryWindow* w = impl_->History()) w->Show();
}

void WindowSet::LoadAndHideAll() {
    impl_->Reap();
    impl_->Options().Hide();
    impl_->Error().LoadHidden();
    impl_->About().Hide();
    if (impl_->history_window) impl_->history_window->Hide();  // hidden, never loaded for it
}

void WindowSet::AttachHistory(history::History& history, FileSystem& files) {
    impl_->history = &history;
    impl_->history_files = &files;
}

void WindowSet::AskOwnerForHistory(std::function<void(std::int64_t, std::int64_t, int)> span,
                                   std::function<void()> folder) {
    impl_->ask_span = std::move(span);
    impl_->ask_folder = std::move(folder);
}

void WindowSet::UnloadAll() {
    impl_->Reap();
    const std::vector<Which> order = impl_->load_order;
    for (auto it = order.rbegin(); it != order.rend(); ++it) impl_->Unload(*it);
}

void WindowSet::RaiseUsersWindows() {
    // Both are topmost by their own design; only their place in the band changes.
    for (HWND h : {impl_->about ? impl_->about->hwnd() : nullptr,
                   impl_->options ? impl_->options->hwnd() : nullptr})
        if (h && IsWindowVisible(h)) PlaceInTopmostBand(h, true, false);
}

void WindowSet::PolicyChanged(const std::vector<std::size_t>& keys) {
    if (impl_->options && !impl_->options->Closing()) impl_->options->PolicyChanged(keys);
}

void WindowSet::LowerErrorWindow() {
    if (impl_->error) impl_->error->LeaveTopmostBand();
}

bool WindowSet::PreTranslate(MSG& msg) {
    if (impl_->about && impl_->about->PreTranslate(msg)) return true;
    return impl_->options && impl_->options->PreTranslate(msg);
}

OptionsWindow* WindowSet::options() const { return impl_->options.get(); }
ErrorWindowView* WindowSet::error_window() const { return impl_->error.get(); }
AboutWindow* WindowSet::about() const { return impl_->about.get(); }
HistoryWindow* WindowSet::history_window() const { return impl_->history_window.get(); }

}  // namespace kelvane::win32
