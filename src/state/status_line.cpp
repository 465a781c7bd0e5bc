#include "state/status_line.h"

namespace kelvane {

void SetStatusLine(Form1& f, StatusLine what, std::uint32_t color, const std::string& text) {
    f.monitor.status_line = what;
    f.window.Label1.back_color = color;
    f.window.Label1.caption = text;
}

}  // namespace kelvane
