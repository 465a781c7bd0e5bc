// A fan tab's page: the automatic-mode points and speeds, the software-mode sliders, the
// mode buttons and the typed temperatures.
#include <algorithm>
#include <cctype>
#include <string>

#include "options/form2.h"
#include "policy/policy_keys.h"

namespace kelvane {
namespace {

// The number a pasted text starts with (blanks, an optional sign, digits); none gives 0.
// Digits beyond any slider's range only need to stay out of range, not exact.
long long LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        n = std::min(n * 10 + (text[i] - '0'), 1'000'000LL);
    return negative ? -n : n;
}

}  // namespace

bool Form2::TemperatureActive(int k) const {
    if (k < 0 || k > 4) return false;
    if (!ThreePoint()) return true;
    return k <= 2 || (k == 4 && HasDelta());
}

bool Form2::SpeedActive(int k) const {
    if (k < 0 || k > 2) return false;
    return !ThreePoint() || k == 0;
}

void Form2::AdaptToChipLayout() {
    if (!ThreePoint()) return;
    CtrlLabel[1].caption = "Start";
    CtrlLabel[2].caption = "Full";
    for (int k : {3, 4}) CtrlLabel[k].visible = CtrSlider[k].visible = CtrText[k].visible = false;
    Label1.left -= 2000;
    Label2.left -= 2000;
    Label9.top += 350;
    Label10.top += 350;
    FanSpeedSlider[0].top += 350;
    FanSpeedValue[0].top += 350;
    FanSpeedSlider[1].visible = FanSpeedSlider[2].visible = false;
    FanSpeedValue[1].visible = FanSpeedValue[2].visible = false;
    if (HasDelta()) {
        CtrlLabel[4].caption = "Delta";
        CtrSlider[4].SetMax(policy::FanKeyRule("DeltaTemp").max);
        CtrlLabel[4].visible = CtrSlider[4].visible = CtrText[4].visible = true;
        DeltaScale[0].visible = DeltaScale[1].visible = true;
    }
}

void Form2::SetScaleCaptions() {
    const bool fahrenheit = m_DisplayScale == 1;
    Label1.caption = Label4.caption = fahrenheit ? "32 F" : "0 C";
    Label2.caption = Label3.caption = fahrenheit ? "212 F" : "100 C";
}

// The two mode buttons sit in different containers, so they exclude each other here.
void Form2::FanCtrlMode_Click(int index) {
    if (index != 0 && index != 1) return;
    FanCtrlMode[index].value = true;
    FanCtrlMode[1 - index].value = false;
    if (CurFan() >= 0) m_FanCtrl[CurFan()].Mode = static_cast<i16>(index);
    UpdateModeControls(static_cast<i16>(index));
    EnableApply();
}

void Form2::UpdateModeControls(i16 mode) {
    const bool software = mode == 1;
    const int j = CurFan();
    const bool user_speeds = j >= 0 && f_.settings.g_DefaultFanCtrl[j].UserCtl != 0;
    for (int k = 0; k < 5; ++k) {
        if (!TemperatureActive(k)) continue;
        CtrSlider[k].enabled = CtrText[k].enabled = !software;
    }
    for (int k = 0; k < 3; ++k) {
        if (!SpeedActive(k)) continue;
        if (software)
            FanSpeedSlider[k].enabled = false;
        else if (j >= 0)
            FanSpeedSlider[k].enabled = user_speeds;
    }
    ResetDefault.enabled = !software;
    if (!software)
        Slider1.enabled = false;
    else if (j >= 0)
        Slider1.enabled = user_speeds;
    Slider2.enabled = software;
    LockPolicyControls();
}

bool Form2::PolicySets(int fan, const char* key) const {
    return fan >= 0 && f_.policy.Sets("Fan Ctrl Option " + std::to_string(fan), key);
}

bool Form2::PointsLocked(int fan) const {
    for (const FanSetPointKey& k : FanSetPointKeys(ThreePoint(), HasDelta()))
        if (!k.speed && PolicySets(fan, k.key)) return true;
    return false;
}

bool Form2::SpeedsLocked(int fan) const {
    for (const FanSetPointKey& k : FanSetPointKeys(ThreePoint(), HasDelta()))
        if (k.speed && PolicySets(fan, k.key)) return true;
    return false;
}

void Form2::LockPolicyControls() {
    const int j = CurFan();
    const bool points = PointsLocked(j), speeds = SpeedsLocked(j);
    const bool mode = PolicySets(j, "Mode"), sw = PolicySets(j, "SwFan");
    const bool alarm = PolicySets(j, "TmpAlarm");
    for (int k = 0; k < 5; ++k)
        if (points) CtrSlider[k].enabled = CtrText[k].enabled = false;
    for (auto& slider : FanSpeedSlider)
        if (speeds) slider.enabled = false;
    // Nothing else greys these: each page sets them afresh.
    FanCtrlMode[0].enabled = FanCtrlMode[1].enabled = !mode;
    if (sw) Slider1.enabled = false;
    if (alarm) Slider2.enabled = false;
    // Nothing left for the reset to change.
    if (points && speeds) ResetDefault.enabled = false;

    const bool on_top = f_.policy.Sets("Option", "DisplayOnTop");
    const bool sound = f_.policy.Sets("Option", "SoundWarnning");
    Check1.enabled = !on_top;
    Check2.enabled = !sound;
    SoundStyle.SetEnabled(!sound && Check2.value() != 0);
    const bool fan_page = Frame1[0].visible && (points || speeds || mode || sw || alarm);
    PolicyNote.visible = fan_page || (Frame3.visible && (on_top || sound));
}

// Moving a point pushes the higher points up and the lower ones down, never past it; each
// slider moved that way runs this handler in turn. The delta is no point on that scale.
void Form2::CtrSlider_Change(int index) {
    if (index < 0 || index > 4) return;
    const int v = CtrSlider[index].value();
    const int last = ThreePoint() ? 2 : 4;
    if (index <= last) {
        for (int k = index + 1; k <= last; ++k)
            if (CtrSlider[k].value() < v) CtrSlider[k].SetValue(v);
        for (int k = index - 1; k >= 0; --k)
            if (CtrSlider[k].value() > v) CtrSlider[k].SetValue(v);
    }
    CtrText[index].text = std::to_string(v);
    if (!m_Loading && CurFan() >= 0) m_FanCtrl[CurFan()].S[index] = static_cast<i16>(v);
    EnableApply();
}

void Form2::FanSpeedSlider_Change(int index) {
    if (index < 0 || index > 2) return;
    const int v = FanSpeedSlider[index].value();
    if (!ThreePoint()) {
        for (int k = index + 1; k <= 2; ++k)
            if (FanSpeedSlider[k].value() < v) FanSpeedSlider[k].SetValue(v);
        for (int k = index - 1; k >= 0; --k)
            if (FanSpeedSlider[k].value() > v) FanSpeedSlider[k].SetValue(v);
    }
    FanSpeedValue[index].caption = std::to_string(v);
    if (!m_Loading && CurFan() >= 0) m_FanCtrl[CurFan()].Speed[index] = static_cast<i16>(v);
    EnableApply();
}

void Form2::Slider1_Change() {
    Slider1Value.caption = std::to_string(Slider1.value());
    if (CurFan() >= 0) m_FanCtrl[CurFan()].SwFan = static_cast<i16>(Slider1.value());
    EnableApply();
}

// The slider holds Celsius whichever scale its ends show.
void Form2::Slider2_Change() {
    Slider2Value.caption = std::to_string(Slider2.value()) + " C";
    if (CurFan() >= 0) m_FanCtrl[CurFan()].TmpAlarm = static_cast<i16>(Slider2.value());
    EnableApply();
}

void Form2::CtrText_KeyPress(int /*index*/, i16& KeyAscii) {
    const bool digit = KeyAscii >= '0' && KeyAscii <= '9';
    if (!digit && KeyAscii != 8) KeyAscii = 0;  // 0 drops the key
}

// Typed text takes effect only here. The box always ends up showing the slider's value, so
// text the slider cannot hold (the delta's maximum is 5) never stays on the page.
void Form2::CtrText_LostFocus(int index) {
    if (index < 0 || index > 4) return;
    // Empty text is 0; anything above the slider's range (100, or the delta's 5) is its top.
    CtrSlider[index].SetValue(LeadingNumber(CtrText[index].text));
    CtrText[index].text = std::to_string(CtrSlider[index].value());
    EnableApply();
}

}  // namespace kelvane
