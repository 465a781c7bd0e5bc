// The dialog as a whole: opening, the page switch, Apply / Ok / Cancel and the reset of a
// fan to its defaults.
#include "options/form2.h"

#include "base/rounding.h"
#include "options/apply_edit.h"
#include "options/apply_failure.h"
#include "policy/policy_keys.h"
#include "state/chip_views.h"

namespace kelvane {
namespace {

// The fields a record carries between the dialog and the shared settings: the set points
// and speeds only as far as the chip's register layout has them.
void CopyFanFields(FanCtrlRecord& from, FanCtrlRecord& to, bool newer_layout, bool delta) {
    to.Caption = from.Caption;
    to.Mode = from.Mode;
    to.SwFan = from.SwFan;
    to.TmpAlarm = from.TmpAlarm;
    for (const FanSetPointKey& k : FanSetPointKeys(newer_layout, delta))
        FanSetPointField(to, k) = FanSetPointField(from, k);
}

// The field of a fan record that a key of the policy table names.
i16* FanField(FanCtrlRecord& r, std::string_view key) {
    if (key == "Mode") return &r.Mode;
    if (key == "SwFan") return &r.SwFan;
    if (key == "TmpAlarm") return &r.TmpAlarm;
    if (key == "DeltaTemp") return &r.S[4];
    for (const FanSetPointKey& k : FanSetPointKeys(false, false))
        if (key == k.key) return &FanSetPointField(r, k);
    return nullptr;
}

}  // namespace

Form2::Form2(Form1& f, OptionsShared& shared, Form2Host& host)
    : f_(f), shared_(shared), host_(host) {
    DesignLayout();
    BindHandlers();
}

int Form2::CurFan() const {
    const int j = shared_.g_CurFanPage;
    return j >= 0 && j <= 2 ? j : -1;
}

void Form2::Form_Load(std::int32_t screen_width_twips, std::int32_t screen_height_twips) {
    if (loaded_) return;  // a loaded dialog keeps what it loaded
    loaded_ = true;
    Settings& g = f_.settings;

    left = RoundToInt32(Divide(static_cast<double>(screen_width_twips) - width, 2));
    top = RoundToInt32(Divide(static_cast<double>(screen_height_twips) - height, 2));

    m_DisplayScale = g.g_DisplayScale;
    m_DisplayOnTop = g.g_DisplayOnTop;
    m_ExecuteAtStartup = g.g_ExecuteAtStartup;
    m_SoundWarnning = g.g_SoundWarnning;

    AdaptToChipLayout();
    BuildVoltageRows();
    SetGeneralOptions();

    for (int j = 0; j < 3; ++j)
        CopyFanFields(g.g_FanCtrl[j], m_FanCtrl[j], ThreePoint(), HasDelta());
    for (int i = 0; i < 9; ++i) {
        m_Vin[i].Enable = g.g_Vin[i].Enable;
        m_Vin[i].Percent = g.g_Vin[i].Percent;
    }
    TakeShownTolerances();

    for (int n = 1; n <= 3; ++n) {
        TabStrip1.tabs[n - 1].caption = f_.window.KelvaneLabel[n - 1].caption + " Fan";
        TabStrip1.tabs[n - 1].fan = n - 1;
    }
    // From the highest tab down, so the lower tabs keep their positions.
    for (int n = 3; n >= 1; --n) {
        const MainWindowModel& w = f_.window;
        const bool shown =
            w.KelvaneLabel[n - 1].visible && w.FanLed[n - 1].visible && w.LedPic[n - 1].visible;
        if (g.g_UserScroll == 0 || !shown) TabStrip1.Remove(n - 1);
    }

    TabStrip1_Click();
    ApplyCmdButon.enabled = false;  // the steps above went through the edit handlers
    SetScaleCaptions();
    host_.SetTopmost();
}

// The fan a tab edits: the fan whose caption is the tab's. When several fans share the
// caption, the one the tab was made for wins, so each tab keeps its own fan.
int Form2::FanOfTab(const options::Tab& tab, bool by_default_caption) const {
    const auto& records = by_default_caption ? f_.settings.g_DefaultFanCtrl : m_FanCtrl;
    auto matches = [&](int j) { return records[j].Caption == tab.caption; };
    if (tab.fan >= 0 && tab.fan <= 2 && matches(tab.fan)) return tab.fan;
    for (int j = 0; j < 3; ++j)
        if (matches(j)) return j;
    return -1;
}

void Form2::TabStrip1_Click() {
    const options::Tab* tab = TabStrip1.SelectedTab();
    if (tab == nullptr) return;
    const bool voltage = tab->caption == "Voltage";
    const bool advanced = tab->caption == "Advanced";
    Frame2.visible = voltage;
    Frame3.visible = advanced;
    Frame1[0].visible = Frame1[1].visible = !voltage && !advanced;
    if (voltage || advanced) {
        LockPolicyControls();
        return;
    }

    const bool apply_was_enabled = ApplyCmdButon.enabled;
    m_Loading = true;
    for (int k = 4; k >= 0; --k) CtrSlider[k].SetValue(0);
    for (int k = 2; k >= 0; --k) FanSpeedSlider[k].SetValue(0);
    m_Loading = false;

    const int j = FanOfTab(*tab, false);
    // A page without a fan must not edit the fan of the page shown before it.
    shared_.g_CurFanPage = static_cast<i16>(j);
    if (j >= 0) LoadFanPage(j);
    ApplyCmdButon.enabled = apply_was_enabled;  // viewing a page is not an edit
}

// From the highest point down: each lower slider is still 0 when a higher one is set, so an
// ordered record loads unchanged. Each value is read just before it is set, because the
// change handlers store what the ordering made of the earlier ones.
void Form2::LoadFanPage(int j) {
    FanCtrlRecord& r = m_FanCtrl[j];
    auto load_point = [&](int k) {
        CtrSlider[k].SetValue(r.S[k]);
        CtrText[k].text = std::to_string(CtrSlider[k].value());
    };
    if (!ThreePoint()) {
        for (int k = 4; k >= 0; --k) load_point(k);
        for (int k = 2; k >= 0; --k) FanSpeedSlider[k].SetValue(r.Speed[k]);
    } else {
        for (int k = 2; k >= 0; --k) load_point(k);
        if (HasDelta()) load_point(4);
        FanSpeedSlider[0].SetValue(r.Speed[0]);
    }
    FanCtrlMode_Click(r.Mode == 1 ? 1 : 0);  // no button for other modes: automatic
    Slider1.SetValue(r.SwFan);
    Slider2.SetValue(r.TmpAlarm);
    if (f_.settings.g_DefaultFanCtrl[j].UserCtl == 0) {
        for (auto& s : FanSpeedSlider) s.enabled = false;
        Slider1.enabled = false;
    }
}

bool Form2::ApplyWorkingCopies() {
    OptionsEdit edit;
    edit.fans = m_FanCtrl;
    for (std::size_t i = 0; i < m_Vin.size(); ++i) {
        edit.vin_enable[i] = m_Vin[i].Enable;
        edit.vin_percent[i] = m_Vin[i].Percent;
    }
    edit.display_scale = m_DisplayScale;
    edit.display_on_top = m_DisplayOnTop;
    edit.sound_warning = m_SoundWarnning;
    edit.execute_at_startup = m_ExecuteAtStartup;
    if (f_.remote_owner != nullptr) {
        // The owner answers later; a refusal is told then, and an Apply taken comes back with
        // the owner's settings.
        f_.remote_owner->ChangeSettings(edit);
        ApplyCmdButon.enabled = false;
        return true;
    }
    // A failure is told and leaves "&Apply" enabled: the settings are not (all) in force or
    // not saved, and may be retried, for example after starting Kelvane as administrator.
    const std::string failure = ApplyOptionsEdit(f_, edit);
    if (!failure.empty()) {
        host_.ReportApplyFailure(failure);
        return false;
    }
    ApplyCmdButon.enabled = false;
    return true;
}

void Form2::ApplyCmdButon_Click() { ApplyWorkingCopies(); }

void Form2::Command1_Click() {
    // A failed apply is told and keeps the dialog open, so the edits are not lost unseen.
    if (ApplyCmdButon.enabled && !ApplyWorkingCopies()) return;
    closed = true;
    host_.Close();
}

void Form2::Command3_Click() {
    closed = true;
    host_.Close();
}

void Form2::ResetDefault_Click() {
    const options::Tab* tab = TabStrip1.SelectedTab();
    const int j = tab != nullptr ? FanOfTab(*tab, true) : -1;
    if (j >= 0) {
        const FanCtrlRecord& d = f_.settings.g_DefaultFanCtrl[j];
        FanCtrlRecord& shared = f_.settings.g_FanCtrl[j];
        // A policy's values stay: the reset leaves a group that a policy sets alone.
        const int points = PointsLocked(j) ? -1 : ThreePoint() ? 2 : 4;
        const int speeds = SpeedsLocked(j) ? -1 : ThreePoint() ? 0 : 2;
        for (int k = points; k >= 0; --k) CtrSlider[k].SetValue(d.S[k]);
        if (HasDelta() && points >= 0) CtrSlider[4].SetValue(d.S[4]);
        for (int k = speeds; k >= 0; --k) FanSpeedSlider[k].SetValue(d.Speed[k]);
        // The shared record takes what the page now shows, after the sliders' range and
        // ordering, so memory and the dialog agree. The delta is left to Apply.
        for (int k = 0; k <= points; ++k) shared.S[k] = static_cast<i16>(CtrSlider[k].value());
        for (int k = 0; k <= speeds; ++k)
            shared.Speed[k] = static_cast<i16>(FanSpeedSlider[k].value());
    }
    EnableApply();
}

void Form2::PolicyChanged(const std::vector<std::size_t>& changed_keys) {
    if (!loaded_) return;
    Settings& g = f_.settings;
    for (const std::size_t i : changed_keys) {
        const policy::PolicyKey& k = policy::PolicyKeys()[i];
        for (int j = 0; j < 3; ++j)
            if (k.section == "Fan Ctrl Option " + std::to_string(j))
                if (i16* field = FanField(m_FanCtrl[j], k.key))
                    *field = *FanField(g.g_FanCtrl[j], k.key);
        if (k.section == std::string("Option") && k.key == std::string("DisplayOnTop"))
            m_DisplayOnTop = g.g_DisplayOnTop;
    }
    const bool apply_was_enabled = ApplyCmdButon.enabled;
    SetGeneralOptions();
    TabStrip1_Click();
    ApplyCmdButon.enabled = apply_was_enabled;
}

}  // namespace kelvane
