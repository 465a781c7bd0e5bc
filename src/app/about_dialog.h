#pragma once
// The About window: the about text of the settings, the technician's details under it, a
// "Copy" button that puts both on the clipboard and an OK button that unloads the window.
#include <string>
#include <vector>

#include "state/form1.h"

namespace kelvane {

inline constexpr const char* kAboutCaption = "About Kelvane Ver5.07";

class AboutHost {
  public:
    virtual ~AboutHost() = default;
    virtual void SetTopmost(bool topmost) = 0;
    virtual void Unload() = 0;
    virtual void CopyToClipboard(const std::string& text) = 0;
};

class Dialog {
  public:
    Dialog(Form1& form, AboutHost& host) : form_(form), host_(host) {}
    void Form_Load();
    void OKButton_Click();
    void CopyButton_Click();

    std::string caption = kAboutCaption;
    std::string label1;                // Label1: the about text
    std::vector<std::string> details;  // the technician's block
    std::string ok_caption = "OK";
    std::string copy_caption = "Copy";

  private:
    Form1& form_;
    AboutHost& host_;
};

}  // namespace kelvane
