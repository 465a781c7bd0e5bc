#pragma once
// The windows other than the main window: the options dialog Form2, the error window Form4
// and the About window, each loaded on first use.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "history/history.h"
#include "state/form1.h"

namespace kelvane::win32 {

class OptionsWindow;
class ErrorWindowView;
class AboutWindow;
class HistoryWindow;

class WindowSet final : public OtherWindows {
  public:
    WindowSet(HINSTANCE instance, Form1& form);
    ~WindowSet() override;
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    void ShowErrorWindow() override;
    void ShowOptions() override;
    void ShowAbout() override;
    void ShowHistory() override;  // nothing until a history is attached
    void LoadAndHideAll() override;
    void UnloadAll() override;
    void RaiseUsersWindows() override;
    void LowerErrorWindow() override;
    void PolicyChanged(const std::vector<std::size_t>& keys) override;

    // The message loop offers every message here first: the options dialog's keyboard
    // belongs to the dialog manager. True when the message was taken.
    bool PreTranslate(MSG& msg);

    // The history the History window shows, and where its day files are read.
    void AttachHistory(history::History& history, FileSystem& files);
    // A view's History window asks the owner (see HistoryWindow::AskOwner).
    void AskOwnerForHistory(std::function<void(std::int64_t, std::int64_t, int)> span,
                            std::function<void()> folder);

    // The loaded windows, null while not loaded (for the shell's own tests).
    OptionsWindow* options() const;
    ErrorWindowView* error_window() const;
    AboutWindow* about() const;
    HistoryWindow* history_window() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The other windows as the form sees them before they exist: the windows need the form, and
// the form is built with this, which passes every call on once `target` is set.
struct LateWindows final : OtherWindows {
    OtherWindows* target = nullptr;
    void ShowErrorWindow() override { target->ShowErrorWindow(); }
    void ShowOptions() override { target->ShowOptions(); }
    void ShowAbout() override { target->ShowAbout(); }
    void ShowHistory() override { target->ShowHistory(); }
    void LoadAndHideAll() override { target->LoadAndHideAll(); }
    void UnloadAll() override { target->UnloadAll(); }
    void RaiseUsersWindows() override { target->RaiseUsersWindows(); }
    void LowerErrorWindow() override { target->LowerErrorWindow(); }
    void PolicyChanged(const std::vector<std::size_t>& keys) override {
        target->PolicyChanged(keys);
    }
};

}  // namespace kelvane::win32
