#include "state/controls.h"

#include <array>

#include "base/int16.h"
#include "base/runtime_error.h"

namespace kelvane {
namespace {

constexpr std::uint32_t kHeadingColor = 0x00FFD27A;  // light azure
constexpr std::uint32_t kTitleColor = 0x0000C8FF;    // amber
constexpr std::uint32_t kCommandColor = 0x0080FF80;  // soft green

Control Placed(int left, int top, int width, int height) {
    Control c;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    return c;
}

Control Label(const char* caption, int left, int top, int width, int height, std::uint32_t color,
              double size = 9, bool bold = false) {
    Control c = Placed(left, top, width, height);
    c.caption = caption;
    c.fore_color = color;
    c.font.size = size;
    c.font.bold = bold;
    return c;
}

Control Box(int left, int top, int width, int height, bool visible = true) {
    Control c = Placed(left, top, width, height);
    c.visible = visible;
    c.transparent = false;
    c.back_color = 0;
    return c;
}

}  // namespace

std::uint32_t CheckedColor(long long color) {
    const bool rgb = color >= 0 && color <= 0xFFFFFF;
    const bool system = color >= 0x80000000LL && color <= 0x80000018LL;
    if (!rgb && !system) Raise(ErrorKind::InvalidProperty, "colour");
    return static_cast<std::uint32_t>(color);
}

void SetLeft(Control& c, long long twips) { c.left = ToInt32(twips); }
void SetTop(Control& c, long long twips) { c.top = ToInt32(twips); }

namespace {

// A window or control size: never negative.
std::int32_t CheckedSize(long long twips, const char* what) {
    if (twips < 0) Raise(ErrorKind::InvalidProperty, what);
    return ToInt32(twips);
}

}  // namespace

void SetWidth(Control& c, long long twips) { c.width = CheckedSize(twips, "width"); }
void SetHeight(Control& c, long long twips) { c.height = CheckedSize(twips, "height"); }

long long ColorFromProfile(long long value) {
    return value < 0 && value >= INT32_MIN ? value + 0x100000000LL : value;
}

void SetFormWidth(MainWindowModel& w, long long twips) { w.width = CheckedSize(twips, "width"); }
void SetFormHeight(MainWindowModel& w, long long twips) { w.height = CheckedSize(twips, "height"); }

void SetForeColor(Control& c, long long color) { c.fore_color = CheckedColor(color); }

void SetFontSize(Control& c, long long points) {
    if (points < 1 || points > 2048) Raise(ErrorKind::InvalidProperty, "font size");
    c.font.size = static_cast<double>(points);
}

MainWindowModel DesignLayout() {
    MainWindowModel w;
    w.width = kDesignClientWidth + 120;    // plus the frame, as Form_Width counts it
    w.height = kDesignClientHeight + 480;  // plus the caption and frame

    auto& L = w.KelvaneLabel;
    // Channel 0 is the one the alarms treat as the system's, channel 1 the CPU's.
    L[0] = Label("System", 600, 1320, 900, 285, kHeadingColor, 10, true);
    L[1] = Label("CPU", 2400, 1320, 900, 285, kHeadingColor, 10, true);
    L[2] = Label("Panel", 4200, 1320, 900, 285, kHeadingColor, 10, true);
    for (int v = 0; v < 9; ++v) {
        const std::string name = "VIN" + std::to_string(v);
        // The first column stands clear of the window's edge and its frame, short of its values.
        const bool second = v >= 4 && v <= 7;
        const int top = v == 8 ? 5160 : 3720 + 360 * (v % 4);
        L[3 + v] = Label("", second ? 2640 : 240, top, second ? 1100 : 900, 285, kTextColor);
        L[3 + v].caption = name;
        w.TempLabel[v] = Label("", second ? 3840 : 1200, top, 1100, 285, kTextColor);
        w.TempLabel[v].caption = std::to_string(20 + v) + "h";
    }
    L[12] = Label("About", 120, 5700, 780, 285, kCommandColor, 9, true);
    L[13] = Label("Exit", 1080, 5700, 600, 285, kCommandColor, 9, true);
    L[14] = Label("Hide", 1800, 5730, 660, 285, kCommandColor, 9, true);
    L[15] = Label("Option", 2640, 5700, 900, 285, kCommandColor, 9, true);
    L[16] = Label("KELVANE", 1440, 480, 3600, 420, kTitleColor, 18, true);
    L[17] = Label("Current Temperature", 1320, 840, 3600, 300, kTextColor, 10, true);
    L[18] = Label("Current Fan Speed", 1440, 2160, 3600, 300, kTextColor, 10, true);
    L[19] = Label("Current Voltage", 1800, 3120, 3600, 300, kTextColor, 10, true);
    L[20] = Label("ShutDown", 4920, 4680, 1200, 285, kCommandColor, 9, true);

    const int led_left[3] = {480, 2160, 3840};
    const int fan_left[3] = {840, 2400, 3840};
    for (int i = 0; i < 3; ++i) {
        w.LedPic[i] = Box(led_left[i], 1680, 1100, 330);
        w.FanLed[i] = Box(fan_left[i], 2640, 1125, 330);
        w.LedFont[i] = Box(0, 0, 3825, 300, false);
        // Level with the section titles, so each picture sits inside its frame.
        w.Image1[i] = Box(120, std::array{840, 2160, 3120}[static_cast<std::size_t>(i)], 480, 480);
        w.Image1[i].transparent = true;
        // The pairing an empty settings file gives, so that a layout whose loading stopped
        // early still names a fan for each heading and display.
        const std::string tag = std::to_string(i);
        L[i].tag = w.LedPic[i].tag = w.FanLed[i].tag = tag;
    }
    w.Logo = Box(5520, 240, 1800, 720);
    w.Logo.transparent = true;
    w.Picture1 = Box(6960, 5640, 480, 480, false);
    w.Label1 = Label("", 3600, 5700, 3360, 285, 0x00FFFFFF, 9, true);
    w.Label1.transparent = false;
    w.Label1.back_color = 0xFF0000;
    w.Label2 = Label("Label2", 5040, 5340, 900, 285, kTextColor);
    w.Label2.visible = false;
    w.Label3 = Label("", 7020, 5700, 420, 285, kTitleColor, 9, true);
    for (auto& t : w.Text) t = Box(0, 0, 600, 285, false);
    return w;
}

}  // namespace kelvane
