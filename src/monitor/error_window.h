#pragma once
// The error message window Form4: a notice that the monitor cycle opens on a lasting
// critical alarm, on top while the alarm lasts and below the point-of-sale application after. Its OK button dismisses it and restarts the temperature alarm
// counting, so a lasting over-temperature brings it back.
#include <string>

#include "state/controls.h"
#include "state/form1.h"

namespace kelvane {

// What Form4 needs from its real window; the Win32 view implements it.
class Form4Host {
  public:
    virtual ~Form4Host() = default;
    virtual void GreyCloseItem() = 0;  // system menu Close -> greyed "Close", command -10
    virtual void SetTopmost() = 0;     // topmost band, no move, no size
    virtual void Show() = 0;           // modeless
    virtual void Hide() = 0;
};

struct CheckButton {
    Control control;
    int value = 0;  // 0 unchecked, 1 checked
};

struct Form4Model {
    std::string caption = "Warning Message Ver 5.07";
    Control Label1, Label2, Label3;
    Control Label4;  // "Back to normal at <time>." once the alarm is over
    CheckButton Check1;
    int timer_interval_ms = 1000;
    bool timer_enabled = true;
    bool visible = false;
    bool loaded = false;
};

Form4Model Form4DesignLayout();

class Form4 {
  public:
    Form4(Form1& main, Form4Host& host) : main_(main), host_(host) {}

    // Loads the window on its first showing, then shows it.
    void Show();
    // Used by OK and by the hot key that hides the program's windows.
    void Hide();

    void Form_Load();
    void Timer1_Timer();
    void Check1_Click();

    Form4Model& model() { return model_; }
    const Form4Model& model() const { return model_; }

    // Timer events in a row that saw the normal message before the alarm is called over.
    static constexpr int kNormalTicksToEnd = 5;

  private:
    Form1& main_;
    Form4Host& host_;
    Form4Model model_ = Form4DesignLayout();
    int normal_ticks_ = 0;
    std::string normal_since_;  // the time the first of them saw
};

}  // namespace kelvane
