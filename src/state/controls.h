#pragma once
// The main window's controls as the logic owns them: geometry in twips, captions, tags,
// colours (0x00BBGGRR), fonts and visibility. The Win32 view creates the real controls from
// this model and shows whatever it says after each event.
#include <array>
#include <cstdint>
#include <string>

namespace kelvane {

struct FontSpec {
    double size = 8.25;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const FontSpec&) const = default;
};

struct Control {
    std::int32_t left = 0, top = 0, width = 0, height = 0;  // twips
    bool visible = true;
    bool enabled = true;
    std::string caption;
    std::string tag;
    std::uint32_t fore_color = 0x000000;
    std::uint32_t back_color = 0xFFFFFF;
    bool transparent = true;  // labels draw over the window's picture
    FontSpec font;
    std::string picture;  // skin file shown instead of the design picture; empty: design
    bool operator==(const Control&) const = default;
};

// Checked property setters: a control refuses what a real control would refuse and raises
// RuntimeError(InvalidProperty) (or Overflow for a number beyond 32 bits).
void SetLeft(Control& c, long long twips);
void SetTop(Control& c, long long twips);
void SetWidth(Control& c, long long twips);
void SetHeight(Control& c, long long twips);
void SetForeColor(Control& c, long long color);
void SetFontSize(Control& c, long long points);
std::uint32_t CheckedColor(long long color);
// A colour as the 32-bit profile functions hand it back: system colours (0x8000000n) arrive
// as negative numbers and mean their bit pattern.
long long ColorFromProfile(long long value);

// Design colour of plain text, such as the voltage values.
inline constexpr std::uint32_t kTextColor = 0x00E0E0E0;  // light grey

enum class WindowState { Normal, Minimized, Maximized };

inline constexpr const char* kMainCaption = "Kelvane Ver 5.07";

struct MainWindowModel {
    std::string caption = kMainCaption;
    std::int32_t width = 0, height = 0;  // outer size in twips, like Form_Width / Form_Height
    std::int32_t left = 0, top = 0;
    std::uint32_t back_color = 0;
    std::string picture;  // background skin; empty: design background
    WindowState state = WindowState::Normal;
    bool visible = false;
    bool close_greyed = false;

    std::array<Control, 21> KelvaneLabel{};
    std::array<Control, 9> TempLabel{};
    std::array<Control, 3> LedPic{};
    std::array<Control, 3> FanLed{};
    std::array<Control, 3> LedFont{};
    std::array<Control, 3> Image1{};
    Control Logo, Picture1, Label1, Label2, Label3;
    std::array<Control, 12> Text{};  // Text[0] is Text1 ... Text[11] is Text12; all hidden
    bool tray_menu_visible = false;  // TrayPopMen is never a menu bar
    bool operator==(const MainWindowModel&) const = default;
};

// The window's outer size refuses negative values, as a control's size does.
void SetFormWidth(MainWindowModel& w, long long twips);
void SetFormHeight(MainWindowModel& w, long long twips);

// The window in its design layout: every control at its design position, size and caption.
MainWindowModel DesignLayout();

inline constexpr std::int32_t kDesignClientWidth = 7560;
inline constexpr std::int32_t kDesignClientHeight = 6090;

}  // namespace kelvane
