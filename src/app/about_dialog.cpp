#include "app/about_dialog.h"

#include "app/about_details.h"

namespace kelvane {

void Dialog::Form_Load() {
    label1 = form_.settings.g_AboutText;
    if (form_.remote_owner) {
        details = form_.remote_owner->AboutDetails();
    } else {
        details = AboutDetails(form_);
        details.push_back(std::string(kDrivenBy) + kThisWindowProgram);
    }
    host_.SetTopmost(true);
}

void Dialog::OKButton_Click() { host_.Unload(); }

void Dialog::CopyButton_Click() { host_.CopyToClipboard(AboutClipboardText(label1, details)); }

}  // namespace kelvane
