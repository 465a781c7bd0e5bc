#pragma once
// The About window's view.
#include <windows.h>

#include <functional>

#include "app/about_dialog.h"

namespace kelvane::win32 {

class AboutWindow final : public AboutHost {
  public:
    // on_unload runs when OK unloads the window; the owner then destroys this object.
    AboutWindow(HINSTANCE instance, Form1& form, std::function<void()> on_unload);
    ~AboutWindow() override;
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    void Show();
    void Hide();
    HWND hwnd() const { return hwnd_; }
    // Escape closes the window as OK does.
    bool PreTranslate(const MSG& msg);

    void SetTopmost(bool topmost) override;
    void Unload() override;
    void CopyToClipboard(const std::string& text) override;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    HWND hwnd_ = nullptr;
    HWND label_ = nullptr;
    HWND details_ = nullptr;
    HWND copy_ = nullptr;
    HWND ok_ = nullptr;
    HFONT font_ = nullptr;  // the stock GUI font, not owned
    Dialog dialog_;
    std::function<void()> on_unload_;
};

}  // namespace kelvane::win32
