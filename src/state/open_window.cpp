#include "state/open_window.h"

namespace kelvane {

void Form1_nmOpen_Click(Form1& f) {
    f.window.state = WindowState::Normal;
    f.window.visible = true;
    f.sys.host.ShowModel();
    f.sys.host.SetTopmost(true);
}

}  // namespace kelvane
