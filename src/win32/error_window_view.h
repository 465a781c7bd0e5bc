#pragma once
// The error window's view: an alarm notice over Form4's model, with its own one-second
// timer. It is created on its first showing and from then on only hidden and shown.
#include <windows.h>

#include "monitor/error_window.h"
#include "win32/dialog_kit.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class ErrorWindowView final : public Form4Host {
  public:
    // owner: a window the notice must stay above (the main window), or null.
    ErrorWindowView(HINSTANCE instance, Form1& form, HWND owner);
    ~ErrorWindowView() override;
    ErrorWindowView(const ErrorWindowView&) = delete;
    ErrorWindowView& operator=(const ErrorWindowView&) = delete;

    void Open();        // loads on the first call, then shows
    void LoadHidden();  // loads if not loaded yet, then hides
    HWND hwnd() const { return hwnd_; }
    bool Busy() const { return depth_ > 0; }
    Form4& logic() { return form4_; }
    // Out of the topmost band once the alarm is over, still shown with its text.
    void LeaveTopmostBand();

    // Form4Host
    void GreyCloseItem() override;
    void SetTopmost() override;
    void Show() override;
    void Hide() override;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    template <typename Handler>
    void Dispatch(Handler&& handler);
    void Sync();
    void Paint(HDC dc);
    void KeepAboveOwner();

    Form4 form4_;
    HWND hwnd_ = nullptr;
    HWND label1_ = nullptr, label2_ = nullptr, label3_ = nullptr, label4_ = nullptr;
    HWND ok_ = nullptr;
    OwnedFont title_font_, text_font_, bold_font_;
    OwnedBrush band_brush_, body_brush_, message_brush_;
    bool close_greyed_ = false;
    bool timer_running_ = false;
    int depth_ = 0;
};

}  // namespace kelvane::win32
