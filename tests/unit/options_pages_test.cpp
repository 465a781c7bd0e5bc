// The "Voltage" and "Advanced" pages.
#include <gtest/gtest.h>

#include "unit/options_fixture.h"

namespace kelvane {
namespace {

using testing::OptionsRig;

TEST(VoltagePage, RowsOfShownInputsArePackedUnderEachOther) {
    OptionsRig o;
    for (int i = 0; i < 9; ++i) o.f.window.KelvaneLabel[3 + i].visible = i == 0 || i == 2 || i == 5;
    o.f.window.KelvaneLabel[5].caption = "+5V";
    Form2& d = o.Open();
    const int top0 = d.MyLabel[0].top, pitch = d.MyLabel[0].height + 300;
    EXPECT_EQ(d.MyLabel[2].top, top0 + pitch);
    EXPECT_EQ(d.MyCheck[5].top, top0 + 2 * pitch);
    EXPECT_EQ(d.MyLabel[2].caption, "+5V");
    EXPECT_EQ(d.Label12[2].caption, "12 V ");
    EXPECT_EQ(d.Label12[0].caption, "3.3 V ");
    EXPECT_TRUE(d.row_exists[5] && d.MyList[5].visible && d.Label11[5].visible);
    EXPECT_FALSE(d.row_exists[1] || d.row_exists[8]);
    EXPECT_EQ(d.MyList[5].items().size(), 101u);
    EXPECT_EQ(d.MyList[5].items().front(), "100");

    OptionsRig unpaired;  // no value label at all: every row edits record 0
    for (Control& c : unpaired.f.window.TempLabel) c.visible = false;
    EXPECT_EQ(unpaired.Open().MyLabel[4].tag, "0");

    OptionsRig no_first;
    no_first.f.window.KelvaneLabel[3].visible = false;
    Form2& n = no_first.Open();
    EXPECT_FALSE(n.MyLabel[0].visible || n.MyList[0].visible || n.MyCheck[0].visible);
    EXPECT_EQ(n.MyLabel[1].top, top0);
}

TEST(VoltagePage, VoltsReadInTheirShortestForm) {
    OptionsRig o;
    Form2& d = o.Open();
    const char* expected[9] = {"3.3 V ", "5 V ",   "12 V ",   "2.5 V ", "-5 V ",
                               "-12 V ", "1.5 V ", "0.05 V ", "0 V "};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(d.Label12[i].caption, expected[i]);
}

TEST(VoltagePage, ARowEditsTheRecordOfTheNearestValueLabel) {
    OptionsRig o;
    MainWindowModel& w = o.f.window;
    // Input 0's reading moved beside input 5's name; 5's own reading is farther away.
    w.TempLabel[0].left = w.KelvaneLabel[8].left + w.KelvaneLabel[8].width;
    w.TempLabel[0].top = w.KelvaneLabel[8].top;
    w.TempLabel[3].visible = false;  // input 3's name then pairs with a far label
    o.g.g_Vin[4].Percent = 25;
    o.g.g_Vin[6].Percent = 150;  // hand-edited beyond what the list offers
    o.g.g_Vin[7].Percent = -5;
    Form2& d = o.Open();
    EXPECT_EQ(d.MyLabel[5].tag, "0");
    EXPECT_EQ(d.MyLabel[1].tag, "1");
    EXPECT_EQ(d.MyLabel[3].tag, "2");  // 2 and 8 are as near: the lower wins
    EXPECT_EQ(d.MyList[4].TopItem(), "25");

    EXPECT_EQ(d.MyList[1].TopItem(), "10");
    d.MyList[1].SetTopIndex(d.MyList[1].top_index() + 1);
    EXPECT_EQ(d.working_vin()[1].Percent, 9);
    d.MyList[1].SetTopIndex(d.MyList[1].top_index() - 2);
    EXPECT_EQ(d.working_vin()[1].Percent, 11);
    d.MyCheck[5].SetValue(0);
    EXPECT_EQ(d.working_vin()[0].Enable, 0);
    EXPECT_EQ(d.working_vin()[5].Enable, 1);
    EXPECT_TRUE(d.ApplyCmdButon.enabled);
    d.ApplyCmdButon_Click();
    EXPECT_EQ(o.rig.profile.GetString("VIN1", "Percent", ""), "11");
    EXPECT_EQ(o.rig.profile.GetString("VIN0", "Enable", ""), "0");
    // Apply stores what the page shows: out-of-range tolerances are clamped to the list.
    EXPECT_EQ(d.MyLabel[6].tag, "6");
    EXPECT_EQ(d.MyList[6].TopItem(), "100");
    EXPECT_EQ(d.MyList[7].TopItem(), "0");
    EXPECT_EQ(o.rig.profile.GetString("VIN6", "Percent", ""), "100");
    EXPECT_EQ(o.rig.profile.GetString("VIN7", "Percent", ""), "0");
}

TEST(AdvancedPage, OpeningShowsTheStoredBitsWithoutChangingThem) {
    for (i16 stored = 0; stored <= 3; ++stored) {
        OptionsRig o;
        o.g.g_SoundWarnning = stored;
        o.g.g_ExecuteAtStartup = static_cast<i16>(3 - stored);
        Form2& d = o.Open();
        EXPECT_EQ(d.working_sound_warnning(), stored);
        EXPECT_EQ(d.working_execute_at_startup(), 3 - stored);
        EXPECT_EQ(d.Check2.value(), stored >> 1);
        EXPECT_EQ(d.SoundStyle.selected(), stored & 1);
        EXPECT_EQ(d.SoundStyle.buttons[0].enabled, stored > 1);
        EXPECT_EQ(d.APMinimized.buttons[1].enabled, stored < 2);
        EXPECT_FALSE(d.ApplyCmdButon.enabled);
    }
    // A value the page cannot show becomes the one it shows.
    OptionsRig odd;
    odd.g.g_SoundWarnning = -2;  // bit 1 set, yet not above 1: shown as no sound
    odd.g.g_DisplayScale = 7;
    odd.g.g_DisplayOnTop = -1;
    Form2& d = odd.Open();
    EXPECT_EQ(d.working_sound_warnning(), 0);
    EXPECT_EQ(d.working_display_scale(), 0);
    EXPECT_EQ(d.working_display_on_top(), 1);
}

TEST(AdvancedPage, TheChoiceSurvivesSwitchingTheFeatureOff) {
    OptionsRig o;
    o.g.g_SoundWarnning = 3;
    Form2& d = o.Open();
    d.Check2.SetValue(0);
    EXPECT_EQ(d.working_sound_warnning(), 1);
    EXPECT_FALSE(d.SoundStyle.buttons[1].enabled);
    d.Check2.SetValue(1);
    EXPECT_EQ(d.working_sound_warnning(), 3);
    EXPECT_TRUE(d.SoundStyle.buttons[0].enabled && d.SoundStyle.buttons[1].value);

    d.Check3.SetValue(1);
    d.APMinimized.Select(1);
    EXPECT_EQ(d.working_execute_at_startup(), 3);
    d.APMinimized.Select(0);
    EXPECT_EQ(d.working_execute_at_startup(), 2);

    d.DisplayScaleOpt.Select(1);
    d.Check1.SetValue(1);
    EXPECT_EQ(o.g.g_DisplayScale, 0);  // nothing shared changes before Apply
    d.ApplyCmdButon_Click();
    EXPECT_EQ(o.g.g_DisplayScale, 1);
    EXPECT_EQ(o.g.g_DisplayOnTop, 1);
    EXPECT_EQ(o.rig.profile.GetString("Option", "ExecuteAtStartup", ""), "2");
    EXPECT_EQ(o.rig.profile.GetString("Option", "SoundWarnning", ""), "3");
    EXPECT_EQ(o.rig.host.topmost_calls, std::vector<bool>{true});
}

}  // namespace
}  // namespace kelvane
