#pragma once
// The status line (Label1): one writer, which keeps beside the words what they stand for, so
// that whoever words it next (the cycle, the set-up problems, the tray) asks that and never
// compares captions.
#include <array>
#include <cstdint>
#include <string>

#include "state/form1.h"

namespace kelvane {

inline constexpr std::uint32_t kStatusRed = 0x0000FF;
inline constexpr std::uint32_t kStatusBlue = 0xFF0000;

// What each status code of the cycle says: in logs and the error window (message) and on the
// main window (label). The history writes the message beside the code.
struct StatusWords {
    const char* message;
    const char* label;
};
inline constexpr const char* kNormalText = "Normal...";
inline constexpr std::array<StatusWords, 5> kStatusTexts = {{
    {kNormalText, kNormalText},
    {"CPU Temperature Over...", "CPU Temperature Over..."},
    {"The CPU Fan is out of order.", "The CPU fan is out of order."},
    {"SYSTEM Temperature Over...", "SYSTEM Temperature Over..."},
    {"The System Fan is out of order.", "The System fan is out of order."},
}};

void SetStatusLine(Form1& f, StatusLine what, std::uint32_t color, const std::string& text);

// "Normal..." or nothing at all: a line that a set-up problem or a voltage may word instead.
inline bool StatusLineFree(const Form1& f) {
    return f.monitor.status_line == StatusLine::Normal ||
           f.monitor.status_line == StatusLine::Blank;
}

}  // namespace kelvane
