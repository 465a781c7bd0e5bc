#pragma once
// What the dialog views share: twips to pixels, child controls in the dialog font,
// containers that pass their controls' notifications up to the top-level window, and Enter
// for the small windows that have a single button.
#include <windows.h>

#include <cstdint>
#include <string>

namespace kelvane::win32 {

struct TwipsScale {
    int x = 15, y = 15;  // twips per pixel
    static TwipsScale OfScreen();
    // This scale, made coarser (at most down to the 96 dpi one) until a window of the given
    // size in twips fits in `area`: large fonts must not push a dialog off the screen.
    TwipsScale FittedTo(std::int32_t width, std::int32_t height, const RECT& area) const;
    int ToX(std::int32_t twips) const;
    int ToY(std::int32_t twips) const;
    RECT ToPixels(std::int32_t left, std::int32_t top, std::int32_t width,
                  std::int32_t height) const;  // right and bottom hold the size
};

HFONT DialogFont();  // the stock GUI font, not owned

// The dialog font for controls laid out at `scale` rather than the screen's own: its text
// shrinks with them. Null when the scale is the screen's (DialogFont serves).
HFONT MakeDialogFont(const TwipsScale& scale);

// Gives the window's controls, however nested, that font.
void SetFontOfControls(HWND window, HFONT font);

HWND CreateControl(HINSTANCE instance, HWND parent, const char* cls, const std::string& text,
                   DWORD style, DWORD ex_style, int id);

enum class FrameLook { Plain, Border };
// A container for controls; its caption, when not empty, is drawn into the border.
HWND CreateContainer(HINSTANCE instance, HWND parent, int id, const std::string& caption,
                     FrameLook look);

// Enter clicks the button even without a dialog manager around it.
void ClickOnEnter(HWND button);

// The control that had the focus when the dialog was deactivated gets it back.
class FocusKeeper {
  public:
    // Returns true when the activation was handled (DefWindowProc would focus the window).
    bool OnActivate(HWND dialog, WPARAM wparam);
    void Remember(HWND control) { last_ = control; }

  private:
    HWND last_ = nullptr;
};

}  // namespace kelvane::win32
