#include "monitor/error_window.h"

namespace kelvane {

Form4Model Form4DesignLayout() {
    Form4Model m;
    m.Label2.caption = "Warning!!";
    m.Label1.caption = "There's a error message in your system.";
    m.Check1.control.caption = "OK";
    m.Check1.control.transparent = false;
    return m;
}

void Form4::Show() {
    if (!model_.loaded) {
        model_.loaded = true;
        Form_Load();
    }
    model_.visible = true;
    host_.Show();
}

void Form4::Hide() {
    model_.visible = false;
    host_.Hide();
}

void Form4::Form_Load() {
    model_.Check1.control.enabled = true;
    host_.GreyCloseItem();
    host_.SetTopmost();
}

void Form4::Timer1_Timer() {
    const std::string& msg = main_.monitor.g_ErrorMsg;
    if (msg != "Normal...") {
        normal_ticks_ = 0;
        model_.Label4.caption.clear();
        model_.Label3.caption = main_.sys.clock.LongTime() + ": " + msg;
        return;
    }
    // The label keeps the last alarm after the status returns to normal; once that lasts,
    // a line under it says so. A short lull in a lasting fault says nothing.
    if (normal_ticks_ == 0) normal_since_ = main_.sys.clock.LongTime();
    if (normal_ticks_ < kNormalTicksToEnd) ++normal_ticks_;
    if (normal_ticks_ == kNormalTicksToEnd && !model_.Label3.caption.empty())
        model_.Label4.caption = "Back to normal at " + normal_since_ + ".";
}

void Form4::Check1_Click() {
    // Springs the button back. A view that fires Click again for this change only repeats
    // the same resets, which is harmless.
    model_.Check1.value = 0;
    main_.monitor.g_CPUOverCnt = 0;
    main_.monitor.g_SYSOverCnt = 0;
    Hide();
}

}  // namespace kelvane
