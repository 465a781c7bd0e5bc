// The options dialog as a whole: opening, tabs, Apply / Ok / Cancel and Reset To Default.
#include <gtest/gtest.h>

#include "unit/options_fixture.h"

namespace kelvane {
namespace {

using testing::OptionsRig;
using testing::Values;
using Ints5 = std::array<int, 5>;

std::vector<std::string> TabCaptions(const Form2& d) {
    std::vector<std::string> captions;
    for (const auto& t : d.TabStrip1.tabs) captions.push_back(t.caption);
    return captions;
}

TEST(OptionsDialog, OpensCentredOnTheFirstFanWithApplyDisabled) {
    OptionsRig o;
    o.f.window.KelvaneLabel[0].caption = "Main";
    o.g.g_FanCtrl[0].Caption = o.g.g_DefaultFanCtrl[0].Caption = "Main Fan";
    Form2& d = o.Open();
    EXPECT_EQ(d.caption, "Option (Kelvane Ver 5.07)");
    EXPECT_EQ(d.left, (15360 - d.width) / 2);
    EXPECT_EQ(d.top, (11520 - d.height) / 2);
    EXPECT_EQ(o.host.topmost, 1);
    EXPECT_EQ(TabCaptions(d), (std::vector<std::string>{"Main Fan", "CPU Fan", "Panel Fan",
                                                        "Advanced", "Voltage"}));
    EXPECT_TRUE(d.Frame1[0].visible && d.Frame1[1].visible);
    EXPECT_FALSE(d.Frame2.visible || d.Frame3.visible);
    // "Reset To Default" lies inside its frame, clear of the border (about 2 pixels).
    EXPECT_LE(d.ResetDefault.left + d.ResetDefault.width, d.Frame1[0].width - 60);
    EXPECT_EQ(o.shared.g_CurFanPage, 0);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{35, 45, 55, 65, 75}));
    EXPECT_EQ(d.CtrText[0].text, "35");
    EXPECT_EQ(d.Slider1.value(), 40);
    EXPECT_EQ(d.Slider2.value(), 90);
    EXPECT_FALSE(d.ApplyCmdButon.enabled);
    d.Form_Load(15360, 11520);  // a loaded dialog is not opened again
    EXPECT_EQ(TabCaptions(d).size(), 5u);
}

TEST(OptionsDialog, FanTabsFollowUserScrollAndTheMainWindowDisplays) {
    OptionsRig none;
    none.g.g_UserScroll = 0;
    Form2& d = none.Open();
    EXPECT_EQ(TabCaptions(d), (std::vector<std::string>{"Advanced", "Voltage"}));
    EXPECT_TRUE(d.Frame3.visible);
    EXPECT_FALSE(d.Frame1[0].visible || d.Frame2.visible);

    for (int display = 0; display < 3; ++display) {
        OptionsRig o;
        MainWindowModel& w = o.f.window;
        Control* hidden[3] = {&w.KelvaneLabel[1], &w.FanLed[1], &w.LedPic[1]};
        hidden[display]->visible = false;
        o.Open();
        EXPECT_EQ(TabCaptions(*o.dlg),
                  (std::vector<std::string>{"System Fan", "Panel Fan", "Advanced", "Voltage"}));
        o.Select("Panel Fan");
        EXPECT_EQ(o.shared.g_CurFanPage, 2);
        o.Select("Voltage");
        EXPECT_TRUE(o.dlg->Frame2.visible);
        EXPECT_FALSE(o.dlg->Frame1[1].visible || o.dlg->Frame3.visible);
    }
}

TEST(OptionsDialog, ViewingPagesNeverEnablesApplyAndEditsSurviveSwitching) {
    OptionsRig o;
    Form2& d = o.Open();
    for (const char* tab : {"CPU Fan", "Advanced", "Panel Fan", "Voltage", "System Fan"}) {
        o.Select(tab);
        EXPECT_FALSE(d.ApplyCmdButon.enabled) << tab;
    }
    d.CtrSlider[4].SetValue(d.CtrSlider[4].value());  // no change, no edit
    d.Check1.SetValue(0);
    d.MyList[0].SetTopIndex(d.MyList[0].top_index());
    EXPECT_FALSE(d.ApplyCmdButon.enabled);
    d.CtrSlider[4].SetValue(90);
    EXPECT_TRUE(d.ApplyCmdButon.enabled);
    o.Select("CPU Fan");
    EXPECT_TRUE(d.ApplyCmdButon.enabled);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{36, 45, 55, 65, 75}));
    o.Select("System Fan");
    EXPECT_EQ(d.CtrSlider[4].value(), 90);
    d.ApplyCmdButon_Click();
    EXPECT_FALSE(d.ApplyCmdButon.enabled);
    o.Select("Panel Fan");
    EXPECT_FALSE(d.ApplyCmdButon.enabled);
    EXPECT_EQ(o.g.g_FanCtrl[0].S[4], 90);
}

TEST(OptionsDialog, ApplyWritesTheFileTheChipAndTheRunValue) {
    OptionsRig o;
    Form2& d = o.Open();
    d.CtrSlider[1].SetValue(48);
    d.FanSpeedSlider[0].SetValue(33);
    d.Check3.SetValue(1);
    d.ApplyCmdButon_Click();
    EXPECT_FALSE(d.closed);
    EXPECT_EQ(o.g.g_FanCtrl[0].S[1], 48);
    EXPECT_EQ(o.g.g_ExecuteAtStartup, 2);
    EXPECT_EQ(o.rig.profile.GetString("Fan Ctrl Option 0", "S1", ""), "48");
    EXPECT_EQ(o.rig.profile.GetString("Fan Ctrl Option 0", "Speed0", ""), "33");
    EXPECT_EQ(o.rig.profile.GetString("Option", "ExecuteAtStartup", ""), "2");
    EXPECT_EQ(o.board.writes_to(0x61), std::vector<std::uint8_t>{48});
    EXPECT_EQ(o.board.writes_to(0x65), std::vector<std::uint8_t>{33});
    EXPECT_EQ(o.board.writes_to(0x15), std::vector<std::uint8_t>{0x80});
    EXPECT_EQ(o.rig.registry.run.count("Kelvane"), 1u);
}

TEST(OptionsDialog, OkAppliesOnlyPendingEditsAndCancelKeepsOnlyTheReset) {
    OptionsRig unchanged;
    unchanged.Open().Command1_Click();
    EXPECT_EQ(unchanged.host.closes, 1);
    EXPECT_EQ(unchanged.rig.profile.Text(), "");
    EXPECT_TRUE(unchanged.board.accesses().empty());

    OptionsRig edited;
    Form2& e = edited.Open();
    e.Slider2.SetValue(70);
    e.Command1_Click();
    EXPECT_EQ(edited.host.closes, 1);
    EXPECT_EQ(edited.rig.profile.GetString("Fan Ctrl Option 0", "TmpAlarm", ""), "70");

    OptionsRig reset;
    Form2& r = reset.Open();
    r.Slider1.SetValue(99);
    r.ResetDefault_Click();
    EXPECT_EQ(Values(r.CtrSlider), (Ints5{30, 40, 50, 60, 70}));
    EXPECT_EQ(reset.Working(0).Speed, (std::array<i16, 3>{20, 60, 100}));
    EXPECT_TRUE(r.ApplyCmdButon.enabled);
    r.Command3_Click();
    EXPECT_TRUE(r.closed);
    const FanCtrlRecord& shared = reset.g.g_FanCtrl[0];
    EXPECT_EQ(shared.S, (std::array<i16, 5>{30, 40, 50, 60, 70}));
    EXPECT_EQ(shared.Speed, (std::array<i16, 3>{20, 60, 100}));
    EXPECT_EQ(shared.SwFan, 40);  // not a reset field, and Cancel drops the edit
    EXPECT_EQ(reset.g.g_FanCtrl[1].S[0], 36);
    EXPECT_EQ(reset.rig.profile.Text(), "");
}

TEST(OptionsDialog, ResetWithTheDeltaFieldLeavesTheSharedDeltaToApply) {
    OptionsRig o(kTrue, kTrue);
    o.g.g_DefaultFanCtrl[0].S[4] = 4;
    o.g.g_FanCtrl[0].S = {35, 45, 55, 65, 2};
    Form2& d = o.Open();
    d.ResetDefault_Click();
    EXPECT_EQ(d.CtrSlider[4].value(), 4);
    EXPECT_EQ(o.Working(0).S[4], 4);
    EXPECT_EQ(o.g.g_FanCtrl[0].S, (std::array<i16, 5>{30, 40, 50, 65, 2}));
}

TEST(OptionsDialog, AFailedApplyIsToldAndCanBeRetried) {
    OptionsRig o;
    Form2& d = o.Open();
    d.CtrSlider[0].SetValue(20);
    o.board.set_failing(true);
    EXPECT_NO_THROW(d.ApplyCmdButon_Click());
    EXPECT_TRUE(d.ApplyCmdButon.enabled);
    ASSERT_EQ(o.host.reports.size(), 1u);
    EXPECT_NE(o.host.reports[0].find("brantelvio.dll"), std::string::npos) << o.host.reports[0];
    EXPECT_EQ(o.host.reports[0].find("kelvane.ini"), std::string::npos) << o.host.reports[0];
    d.Command1_Click();  // Ok applies again, tells again and stays open
    EXPECT_FALSE(d.closed);
    EXPECT_EQ(o.host.closes, 0);
    EXPECT_EQ(o.host.reports.size(), 2u);
    o.board.set_failing(false);
    d.Command1_Click();
    EXPECT_TRUE(d.closed);
    EXPECT_EQ(o.host.reports.size(), 2u);
    EXPECT_EQ(o.board.writes_to(0x60).back(), 20);

    // A standard user: neither the settings file nor the Run key can be written. The chip
    // is still programmed; one message names both failures and the way out.
    OptionsRig user;
    Form2& u = user.Open();
    u.CtrSlider[0].SetValue(25);
    u.Check3.SetValue(1);
    user.rig.profile.SetReadOnly(true);
    user.rig.registry.refuse = true;
    u.ApplyCmdButon_Click();
    EXPECT_TRUE(u.ApplyCmdButon.enabled);
    EXPECT_EQ(user.board.writes_to(0x60).back(), 25);
    ASSERT_EQ(user.host.reports.size(), 1u);
    const std::string& told = user.host.reports[0];
    EXPECT_NE(told.find("kelvane.ini"), std::string::npos) << told;
    EXPECT_NE(told.find("start with Windows"), std::string::npos) << told;
    EXPECT_NE(told.find("Start Kelvane as administrator"), std::string::npos) << told;
    EXPECT_EQ(told.find("fan controller"), std::string::npos) << told;
    // Cancel still just closes.
    u.Command3_Click();
    EXPECT_TRUE(u.closed);
    EXPECT_EQ(user.host.reports.size(), 1u);
}

TEST(OptionsDialog, EachFanTabEditsItsOwnFan) {
    // The current fan outlives the dialog.
    OptionsRig o;
    o.Open();
    o.Select("Panel Fan");
    o.dlg->Command3_Click();
    o.dlg.reset();
    EXPECT_EQ(o.shared.g_CurFanPage, 2);

    // Two headings with one caption: each tab still shows and edits its own fan.
    OptionsRig twins;
    twins.f.window.KelvaneLabel[1].caption = "System";
    twins.g.g_FanCtrl[1].Caption = twins.g.g_DefaultFanCtrl[1].Caption = "System Fan";
    Form2& d = twins.Open();
    d.TabStrip1.selected = 1;
    d.TabStrip1_Click();
    EXPECT_EQ(twins.shared.g_CurFanPage, 1);
    EXPECT_EQ(d.CtrSlider[0].value(), 36);
    EXPECT_EQ(twins.Working(1).S[0], 36);

    // Records without captions (loading stopped early): the page edits no fan.
    OptionsRig bare;
    for (auto& r : bare.g.g_FanCtrl) r.Caption.clear();
    Form2& b = bare.Open();
    EXPECT_EQ(bare.shared.g_CurFanPage, -1);
    b.CtrSlider[2].SetValue(80);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(bare.Working(j).S[2], 55);
}

}  // namespace
}  // namespace kelvane
