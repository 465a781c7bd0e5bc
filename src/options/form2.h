#pragma once
// The options dialog Form2: its control model, the working copies it edits and every
// handler. The Win32 view creates the real controls from the public control members,
// forwards each message to the matching handler (or, for value controls, to the control's
// setter, which fires the handler), and then shows whatever the model says.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/int16.h"
#include "base/settings.h"
#include "options/dialog_controls.h"
#include "state/form1.h"

namespace kelvane {

inline constexpr const char* kForm2Caption = "Option (Kelvane Ver 5.07)";
inline constexpr const char* kPolicyNote = "Some settings are managed by your administrator.";

// What the dialog asks of its real window.
class Form2Host {
  public:
    virtual ~Form2Host() = default;
    virtual void SetTopmost() = 0;  // HWND_TOPMOST, neither moved nor sized
    // Unload the dialog once the running handler has returned; the Form2 must outlive it.
    virtual void Close() = 0;
    // One message box over the dialog: what an Apply could not do and what to do about it.
    virtual void ReportApplyFailure(const std::string& message) = 0;
};

// Values of the dialog that outlive one opening; the caller keeps it for the process.
struct OptionsShared {
    i16 g_CurFanPage = 0;  // fan of the last fan page shown; -1 when that page had no fan
};

class Form2 {
  public:
    Form2(Form1& f, OptionsShared& shared, Form2Host& host);
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;

    // Window, in twips; left and top are set by Form_Load for the view to move to.
    std::string caption = kForm2Caption;
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool closed = false;  // Ok or Cancel asked the host to unload the dialog

    options::TabStrip TabStrip1;
    options::Button Command1, Command3, ApplyCmdButon;
    std::array<options::Frame, 2> Frame1;  // 0 automatic mode, 1 software mode
    options::Frame Frame2, Frame3;         // voltage rows, general options

    // Fan page, automatic mode (in Frame1(0)).
    std::array<options::OptionButton, 2> FanCtrlMode;  // (1) sits in Frame1(1)
    std::array<options::Slider, 5> CtrSlider;
    std::array<options::TextBox, 5> CtrText;
    std::array<options::Label, 5> CtrlLabel;
    std::array<options::Slider, 3> FanSpeedSlider;
    options::Label Label1, Label2, Label9, Label10, Label13, Label14;
    std::array<options::Label, 2> DeltaScale;     // "0" and "5" beside the Delta slider
    std::array<options::Label, 3> FanSpeedValue;  // each speed slider's value, always shown
    options::Button ResetDefault;
    // Fan page, software mode (in Frame1(1)).
    options::Label Label3, Label4, Label5, Label6, Label7, Label8;
    options::Slider Slider1, Slider2;
    options::Label Slider1Value, Slider2Value;

    // Voltage page (in Frame2); index i is the input's channel. Row 0 exists at design,
    // rows 1..8 only once Form_Load has created them.
    std::array<options::Label, 9> MyLabel;
    std::array<options::ListBox, 9> MyList;
    std::array<options::Label, 9> Label11;
    std::array<options::CheckBox, 9> MyCheck;
    std::array<options::Label, 9> Label12;
    std::array<bool, 9> row_exists{};

    // General options (in Frame3).
    options::Frame Frame4;
    options::OptionPair DisplayScaleOpt;  // in Frame4
    options::CheckBox Check1, Check2, Check3;
    options::OptionPair SoundStyle, APMinimized;

    // Below the pages, shown on a page where a policy sets any control.
    options::Label PolicyNote;

    // Frame.
    void Form_Load(std::int32_t screen_width_twips, std::int32_t screen_height_twips);
    void TabStrip1_Click();
    void ApplyCmdButon_Click();
    void Command1_Click();
    void Command3_Click();
    void ResetDefault_Click();

    // Fan page.
    void FanCtrlMode_Click(int index);
    void UpdateModeControls(i16 mode);
    void CtrSlider_Change(int index);
    void FanSpeedSlider_Change(int index);
    void Slider1_Change();
    void Slider2_Change();
    void CtrText_KeyPress(int index, i16& KeyAscii);  // KeyAscii 0 on return: drop the key
    // The view first copies the box's text into CtrText[index].text. It must deliver a
    // box's loss of focus before a click on a button that took the focus from it.
    void CtrText_LostFocus(int index);

    // Voltage and general options.
    void MyList_Scroll(int index);
    void MyCheck_Click(int index);
    void DisplayScaleOpt_Click(int index);
    void Check1_Click();
    void Check2_Click();
    void SoundStyle_Click(int index);
    void Check3_Click();
    void APMinimized_Click(int index);

    // After the program put new policy values in force: the keys of the policy table whose
    // values changed take what is in force now, and the controls follow.
    void PolicyChanged(const std::vector<std::size_t>& changed_keys);

    // The working copies, for the view and for inspection; only the handlers change them.
    const std::array<FanCtrlRecord, 3>& working_fan_ctrl() const { return m_FanCtrl; }
    const std::array<VinRecord, 9>& working_vin() const { return m_Vin; }
    i16 working_display_scale() const { return m_DisplayScale; }
    i16 working_display_on_top() const { return m_DisplayOnTop; }
    i16 working_sound_warnning() const { return m_SoundWarnning; }
    i16 working_execute_at_startup() const { return m_ExecuteAtStartup; }

  private:
    void DesignLayout();
    void BindHandlers();

    // Opening steps of the pages.
    void AdaptToChipLayout();
    void BuildVoltageRows();
    void TakeShownTolerances();
    void SetGeneralOptions();
    void SetScaleCaptions();

    bool ApplyWorkingCopies();  // false when applying the settings failed
    void LoadFanPage(int j);
    int FanOfTab(const options::Tab& tab, bool by_default_caption) const;

    bool ThreePoint() const { return IsTrue(f_.KelvaneFanFlag); }
    bool HasDelta() const { return ThreePoint() && IsTrue(f_.KelvaneFanSpecialFlag); }
    bool TemperatureActive(int k) const;
    bool SpeedActive(int k) const;
    int CurFan() const;  // g_CurFanPage when it names a fan, else -1
    void EnableApply() { ApplyCmdButon.enabled = true; }
    // Greys what a policy sets on the page shown, and shows the note when there is any.
    void LockPolicyControls();
    bool PolicySets(int fan, const char* key) const;
    bool PointsLocked(int fan) const;  // the sliders push each other: all or none
    bool SpeedsLocked(int fan) const;

    Form1& f_;
    OptionsShared& shared_;
    Form2Host& host_;
    bool loaded_ = false;

    std::array<FanCtrlRecord, 3> m_FanCtrl{};
    std::array<VinRecord, 9> m_Vin{};
    i16 m_DisplayScale = 0;
    i16 m_DisplayOnTop = 0;
    i16 m_SoundWarnning = 0;
    i16 m_ExecuteAtStartup = 0;
    bool m_Loading = false;
};

}  // namespace kelvane
