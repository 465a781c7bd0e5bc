#include "app/about_dialog.h"

namespace kelvane {

void Dialog::Form_Load() {
    label1 = form_.settings.g_AboutText;
    host_.SetTopmost(true);
}

void Dialog::OKButton_Click() { host_.Unload(); }

}  // namespace kelvane
