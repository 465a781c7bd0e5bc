#include "app/about_dialog.h"

#include "app/about_details.h"

namespace kelvane {

void Dialog::Form_Load() {
    label1 = form_.settings.g_AboutText;
    details = form_.remote_owner ? form_.remote_owner->AboutDetails() : AboutDetails(form_);
    host_.SetTopmost(true);
}

void Dialog::OKButton_Click() { host_.Unload(); }

void Dialog::CopyButton_Click() { host_.CopyToClipboard(AboutClipboardText(label1, details)); }

}  // namespace kelvane
