#pragma once
// The About window: the about text of the settings and an OK button that unloads it.
#include <string>

#include "app/form1.h"

namespace kelvane {

inline constexpr const char* kAboutCaption = "About Kelvane Ver5.07";

class AboutHost {
public:
    virtual ~AboutHost() = default;
    virtual void SetTopmost(bool topmost) = 0;
    virtual void Unload() = 0;
};

class Dialog {
public:
    Dialog(Form1& form, AboutHost& host) : form_(form), host_(host) {}
    void Form_Load();
    void OKButton_Click();

    std::string caption = kAboutCaption;
    std::string label1;  // Label1: the about text
    std::string ok_caption = "OK";

private:
    Form1& form_;
    AboutHost& host_;
};

}  // namespace kelvane
