#include "win32/view_program.h"

#include <shellapi.h>

#include <memory>
#include <string>

#include "app/shell_actions.h"
#include "app/startup.h"
#include "base/failure_policy.h"
#include "base/job_thread.h"
#include "base/runtime_error.h"
#include "history/history.h"
#include "link/view_link.h"
#include "state/open_window.h"
#include "win32/history_window.h"
#include "win32/main_window.h"
#include "win32/options_window.h"
#include "win32/other_windows.h"
#include "win32/owner_lock.h"
#include "win32/pipe_client.h"
#include "win32/services.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kLinkClass = "KelvaneViewLink";
constexpr UINT kLinkMessage = WM_APP + 3;
constexpr UINT_PTR kOwnerCheckTimer = 1;

// The chip is the owner's: a view never loads the library, so every call fails as a missing
// library would.
class NoDriver final : public PortDriver {
  public:
    std::uint8_t Inb(std::uint16_t) override { throw Refused(); }
    void Outb(std::uint16_t, std::uint8_t) override { throw Refused(); }
    std::uint8_t ReadReg(std::uint16_t, std::uint8_t) override { throw Refused(); }
    void WriteReg(std::uint16_t, std::uint8_t, std::uint8_t) override { throw Refused(); }

  private:
    static RuntimeError Refused() { return RuntimeError(ErrorKind::LibraryCall, "a view"); }
};

// The settings are the owner's and come from the pipe; a view neither reads nor writes them.
class NoProfile final : public Profile {
  public:
    std::int64_t GetInt(const std::string&, const std::string&, std::int64_t d) override {
        return d;
    }
    std::string GetString(const std::string&, const std::string&, const std::string& d) override {
        return d;
    }
    std::string GetMarkedText(const std::string&, const std::string&,
                              const std::string& d) override {
        return d;
    }
    bool WriteString(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};

class NoRegistry final : public Registry {
  public:
    bool SetRunValue(const std::string&, const std::string&) override { return false; }
    bool DeleteRunValue(const std::string&) override { return false; }
    std::string RememberedMetricsFile() override { return {}; }
};

// Starts this program again, as the owner, once this process has let go of its locks.
void RelaunchAsOwner() {
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) return;
    std::string command = std::string("\"") + path + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(path, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

class View final : public link::ViewShell {
  public:
    View(HINSTANCE instance, OwnedHandle instance_lock)
        : instance_(instance),
          instance_lock_(std::move(instance_lock)),
          services_{driver_, profile_, files_,   processes_, clock_,      registry_,
                    sound_,  main_,    windows_, main_,      tune_thread_},
          form_(services_, ProgramFolder(), ExecutableBaseName()),
          others_(instance, form_) {
        windows_.target = &others_;
        others_.AttachHistory(history_, files_);
        others_.AskOwnerForHistory([this](std::int64_t begin, std::int64_t end,
                                          int columns) { link_.RequestSpan(begin, end, columns); },
                                   [this] { link_.RequestDataFolder(); });
    }

    int Run();

    // ViewShell
    void Send(std::string frame) override {
        if (client_) client_->Send(std::move(frame));
    }
    void ShowModel() override { main_.AfterEvent(); }
    void ShowBalloon(const std::string& title, const std::string& text) override {
        main_.ShowBalloon(title, text);
    }
    void SettingsRefused(const std::string& message) override {
        if (OptionsWindow* options = others_.options(); options && !options->Closing())
            options->Refused(message);
        else
            MessageBoxA(main_.hwnd(), message.c_str(), "Kelvane", MB_OK | MB_ICONWARNING);
    }
    void SpanArrived(const history::SpanData& span) override {
        if (HistoryWindow* w = others_.history_window()) w->TakeSpan(span);
    }
    void OpenDataFolder(const std::string& folder) override {
        ShellExecuteA(main_.hwnd(), "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }

  private:
    static LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void TakeEvents();
    void ShowOnce();
    void CheckOwner();

    HINSTANCE instance_;
    OwnedHandle instance_lock_;
    NoDriver driver_;
    NoProfile profile_;
    Files files_;
    ProcessStarter processes_;
    SystemClock clock_;
    NoRegistry registry_;
    WaveSound sound_;
    JobThread tune_thread_;
    MainView main_{instance_, false};
    LateWindows windows_;
    Services services_;
    Form1 form_;
    WindowSet others_;
    // Never told a tick and never written: the History window's clock and time zone, while
    // its spans come from the owner.
    history::History history_{files_, clock_, [](int, double) { return 0.0; }, DefaultDataFolder(),
                              1};
    link::ViewLink link_{form_, *this};
    HWND link_window_ = nullptr;
    std::unique_ptr<PipeClient> client_;
    bool connected_ = false;
    bool shown_ = false;
    bool taking_over_ = false;
};

LRESULT CALLBACK View::LinkProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<View*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message == kLinkMessage) {
        self->TakeEvents();
        return 0;
    }
    if (self && message == WM_TIMER && wparam == kOwnerCheckTimer) {
        self->CheckOwner();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

void View::TakeEvents() {
    for (PipeClient::Event& e : client_->Take()) {
        switch (e.kind) {
            case PipeClient::Event::Kind::Connected:
                connected_ = true;
                break;
            case PipeClient::Event::Kind::Frame: {
                bool taken = false;
                ContainErrors([&] { taken = link_.Take(e.frame); });
                if (!taken) client_->Reconnect();
                if (link_.has_layout()) ShowOnce();
                break;
            }
            case PipeClient::Event::Kind::Gone:
                connected_ = false;
                ContainErrors([&] { link_.OwnerGone(); });
                ShowOnce();
                break;
        }
    }
    main_.AfterEvent();
}

// The start-up window, once the owner's settings say how it starts, or once it is clear
// that no owner will say.
void View::ShowOnce() {
    if (shown_) return;
    shown_ = true;
    if (StartsMinimized(form_.settings)) form_.window.state = WindowState::Minimized;
    ContainErrors([&] { ShowStartupWindow(form_); });
}

void View::CheckOwner() {
    // Without a service, the chip is free once its owner has ended: this process becomes
    // the owner by the normal start, as a fresh start of the program.
    if (connected_ || taking_over_ || ServiceInstalled()) return;
    OwnerLock probe;
    if (!probe.Take()) return;
    taking_over_ = true;
    probe.Release();
    instance_lock_.reset();
    RelaunchAsOwner();
    main_.CloseMainWindow();
}

int View::Run() {
    main_.BecomeView();
    main_.Create(form_);
    form_.remote_owner = &link_;
    const LoadResult started = StartView(form_, main_);
    if (!started.keep_running) {
        if (!started.fatal_message.empty())
            MessageBoxA(nullptr, started.fatal_message.c_str(), "Kelvane", MB_OK | MB_ICONERROR);
        DestroyWindow(main_.hwnd());
        return 1;
    }
    main_.AfterEvent();

    RegisterWindowClass(instance_, kLinkClass, &View::LinkProc);
    link_window_ = CreateWindowExA(0, kLinkClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance_, nullptr);
    SetWindowLongPtrA(link_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    client_ = std::make_unique<PipeClient>(link_window_, kLinkMessage);
    SetTimer(link_window_, kOwnerCheckTimer, 1000, nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (IsUserInput(msg)) NoteUserAction(form_);
        if (others_.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    client_.reset();
    KillTimer(link_window_, kOwnerCheckTimer);
    SetWindowLongPtrA(link_window_, GWLP_USERDATA, 0);
    DestroyWindow(link_window_);
    return 0;
}

}  // namespace

int RunView(HINSTANCE instance, OwnedHandle instance_lock) {
    auto view = std::make_unique<View>(instance, std::move(instance_lock));
    return view->Run();
}

}  // namespace kelvane::win32
