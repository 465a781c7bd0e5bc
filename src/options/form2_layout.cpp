// The dialog's design layout, in twips relative to each control's container, and the
// wiring of the value controls to their handlers.
#include <string>

#include "options/form2.h"
#include "policy/policy_keys.h"

namespace kelvane {
namespace {

template <typename C>
C& Place(C& c, int left, int top, int width, int height, const char* caption = "") {
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.caption = caption;
    return c;
}

}  // namespace

void Form2::DesignLayout() {
    width = 7560;
    height = 8040;

    Place(TabStrip1, 120, 120, 7215, 6840);
    for (const char* name : {"System Fan", "CPU Fan", "Panel Fan", "Advanced", "Voltage"})
        TabStrip1.tabs.push_back({name, -1});
    Place(Command1, 3480, 7080, 1215, 375, "Ok");
    Place(Command3, 4800, 7080, 1215, 375, "Cancel");
    Place(ApplyCmdButon, 6120, 7080, 1215, 375, "&Apply");
    Place(PolicyNote, 120, 7020, 3240, 480, kPolicyNote);
    PolicyNote.visible = false;

    // The two fan containers share a fan tab, automatic mode above software mode.
    Place(Frame1[0], 240, 480, 6975, 4080);
    Place(Frame1[1], 240, 4680, 6975, 2160);
    Place(Frame2, 240, 480, 6975, 6360);
    Place(Frame3, 240, 480, 6975, 6360);
    Frame2.visible = Frame3.visible = false;

    Place(FanCtrlMode[0], 120, 120, 2400, 255, "Automatic mode");
    Place(FanCtrlMode[1], 120, 120, 3000, 255, "Software programmable mode");
    const char* point_names[5] = {"Off", "Middle", "Medium", "High", "High"};
    for (int k = 0; k < 5; ++k) {
        const int x = 1800 + 900 * k;
        Place(CtrlLabel[k], x - 120, 360, 690, 255, point_names[k]);
        Place(CtrSlider[k], x, 600, 450, 1680);
        CtrSlider[k].vertical = true;  // minimum at the top
        CtrSlider[k].SetRange(policy::FanKeyRule("S0").min, policy::FanKeyRule("S0").max);
        Place(CtrText[k], x - 75, 2340, 600, 285);
        CtrText[k].text = "0";
    }
    Place(Label13, 1080, 600, 600, 255, "0 C");
    Place(Label14, 1080, 2040, 600, 255, "100 C");
    Place(Label1, 6240, 600, 700, 255, "0 C");
    Place(Label2, 6240, 2040, 700, 255, "100 C");
    // The delta is no temperature on Label1's scale: its own ends, right of its slider.
    Place(DeltaScale[0], 5940, 600, 500, 255, "0");
    Place(DeltaScale[1], 5940, 2040, 500, 255, "5");
    DeltaScale[0].visible = DeltaScale[1].visible = false;
    for (int k = 0; k < 3; ++k) {
        Place(FanSpeedSlider[k], 1800, 2760 + 360 * k, 3600, 330);
        FanSpeedSlider[k].SetRange(policy::FanKeyRule("Speed0").min,
                                   policy::FanKeyRule("Speed0").max);
        // Left of "Low": the right of the lowest rows is where "Reset To Default" sits.
        Place(FanSpeedValue[k], 360, 2760 + 360 * k, 600, 255, "0");
    }
    Place(Label9, 1080, 2760, 600, 255, "Low");
    Place(Label10, 5520, 2760, 600, 255, "High");
    // Clear of the frame's etched border on the right.
    Place(ResetDefault, 5280, 3480, 1560, 375, "Reset To Default");

    Place(Label7, 240, 480, 3000, 255, "Fan Speed Control");
    Place(Slider1, 1080, 720, 3600, 330);
    Slider1.SetRange(policy::FanKeyRule("SwFan").min, policy::FanKeyRule("SwFan").max);
    Place(Label5, 240, 720, 700, 255, "Low");
    Place(Label6, 4800, 720, 700, 255, "High");
    Place(Label8, 240, 1200, 3000, 255, "Temperature Alarm Setting");
    Place(Slider2, 1080, 1440, 3600, 330);
    Slider2.SetRange(policy::FanKeyRule("TmpAlarm").min, policy::FanKeyRule("TmpAlarm").max);
    Place(Label4, 240, 1440, 700, 255, "0 C");
    Place(Label3, 4800, 1440, 700, 255, "100 C");
    Place(Slider1Value, 5580, 720, 900, 255, "0");
    Place(Slider2Value, 5580, 1440, 900, 255, "0 C");

    // Voltage row 0; the other rows are made from it when the dialog opens.
    Place(MyLabel[0], 240, 360, 1800, 285);
    Place(MyList[0], 2160, 360, 720, 285);
    Place(Label11[0], 2940, 360, 300, 285, "%");
    Place(MyCheck[0], 3480, 360, 1200, 285, "Enable");
    Place(Label12[0], 4920, 360, 1500, 285);
    row_exists[0] = true;

    Place(Frame4, 240, 240, 3000, 1200, "Display Scale");
    Place(DisplayScaleOpt.buttons[0], 240, 360, 2400, 255, "Celsius");
    Place(DisplayScaleOpt.buttons[1], 240, 720, 2400, 255, "Fahrenheit");
    DisplayScaleOpt.buttons[0].value = true;
    Place(Check1, 240, 1680, 4200, 285, "Display On Topmost");
    Place(Check2, 240, 2160, 4200, 285, "Warnning Sound Enable");
    Place(SoundStyle.buttons[0], 600, 2520, 3000, 255, "Standard System Beep");
    Place(SoundStyle.buttons[1], 600, 2880, 3000, 255, "Sound Card");
    SoundStyle.buttons[0].value = true;
    Place(Check3, 240, 3480, 6000, 285, "To Execute Kelvane Automatically At Startup");
    Place(APMinimized.buttons[0], 600, 3840, 3000, 255, "Normal");
    Place(APMinimized.buttons[1], 600, 4200, 3000, 255, "Minimized");
    APMinimized.buttons[0].value = true;
}

void Form2::BindHandlers() {
    for (int k = 0; k < 5; ++k) CtrSlider[k].Change = [this, k] { CtrSlider_Change(k); };
    for (int k = 0; k < 3; ++k) FanSpeedSlider[k].Change = [this, k] { FanSpeedSlider_Change(k); };
    Slider1.Change = [this] { Slider1_Change(); };
    Slider2.Change = [this] { Slider2_Change(); };
    for (int i = 0; i < 9; ++i) {
        MyList[i].Scroll = [this, i] { MyList_Scroll(i); };
        MyCheck[i].Click = [this, i] { MyCheck_Click(i); };
    }
    DisplayScaleOpt.Click = [this](int index) { DisplayScaleOpt_Click(index); };
    Check1.Click = [this] { Check1_Click(); };
    Check2.Click = [this] { Check2_Click(); };
    SoundStyle.Click = [this](int index) { SoundStyle_Click(index); };
    Check3.Click = [this] { Check3_Click(); };
    APMinimized.Click = [this](int index) { APMinimized_Click(index); };
}

}  // namespace kelvane
