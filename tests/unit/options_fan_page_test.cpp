// A fan tab's page: point ordering, typed temperatures, modes and the chip layouts.
#include <gtest/gtest.h>

#include "unit/options_fixture.h"

namespace kelvane {
namespace {

using testing::OptionsRig;
using testing::Values;
using Ints5 = std::array<int, 5>;
using Ints3 = std::array<int, 3>;

TEST(FanPage, MovingAPointPushesTheOthersAndEverythingFollows) {
    OptionsRig o;
    o.g.g_FanCtrl[0].S = {30, 40, 50, 60, 70};
    Form2& d = o.Open();
    d.CtrSlider[1].SetValue(65);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{30, 65, 65, 65, 70}));
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(d.CtrText[k].text, std::to_string(d.CtrSlider[k].value()));
        EXPECT_EQ(o.Working(0).S[k], d.CtrSlider[k].value());
    }
    d.CtrSlider[3].SetValue(10);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{10, 10, 10, 10, 70}));
    EXPECT_EQ(o.Working(0).S[0], 10);

    d.FanSpeedSlider[0].SetValue(120);
    EXPECT_EQ(Values(d.FanSpeedSlider), (Ints3{120, 120, 120}));
    d.FanSpeedSlider[2].SetValue(500);  // clamped like a trackbar
    EXPECT_EQ(o.Working(0).Speed[2], 127);
    // Each speed shows its number beside it, pushed ones too.
    for (int k = 0; k < 3; ++k) EXPECT_EQ(d.FanSpeedValue[k].caption, k == 2 ? "127" : "120") << k;
}

TEST(FanPage, LoadingKeepsOrderedRecordsAndOrdersTheOthers) {
    OptionsRig o;
    o.g.g_FanCtrl[0].S = {50, 40, 60, 70, 80};
    o.g.g_FanCtrl[1].S = {30, 40, 50, 60, 70};
    Form2& d = o.Open();
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{50, 50, 60, 70, 80}));
    EXPECT_EQ(o.Working(0).S, (std::array<i16, 5>{50, 50, 60, 70, 80}));
    EXPECT_EQ(d.CtrText[1].text, "50");
    o.Select("CPU Fan");
    EXPECT_EQ(d.FanSpeedValue[0].caption + " " + d.FanSpeedValue[1].caption + " " +
                  d.FanSpeedValue[2].caption,
              "30 70 110");
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{30, 40, 50, 60, 70}));
    EXPECT_EQ(o.Working(1).S, (std::array<i16, 5>{30, 40, 50, 60, 70}));
    EXPECT_FALSE(d.ApplyCmdButon.enabled);
}

TEST(FanPage, ThreePointLayoutKeepsTheDeltaApart) {
    OptionsRig o(kTrue, kTrue);
    o.g.g_FanCtrl[0].S = {35, 45, 55, 65, 9};  // a delta beyond the field's 5
    Form2& d = o.Open();
    EXPECT_EQ(d.CtrlLabel[1].caption, "Start");
    EXPECT_EQ(d.CtrlLabel[4].caption, "Delta");
    EXPECT_FALSE(d.CtrSlider[3].visible || d.FanSpeedSlider[1].visible);
    EXPECT_TRUE(d.CtrSlider[4].visible && d.CtrText[4].visible);
    EXPECT_EQ(d.CtrSlider[4].max(), 5);
    EXPECT_EQ(o.Working(0).S[4], 5);
    // The delta's own scale, apart from the temperature scale that follows the unit.
    EXPECT_TRUE(d.DeltaScale[0].visible && d.DeltaScale[1].visible);
    EXPECT_EQ(d.DeltaScale[0].caption + "/" + d.DeltaScale[1].caption, "0/5");
    EXPECT_GT(d.DeltaScale[0].left, d.CtrSlider[4].left + d.CtrSlider[4].width);
    EXPECT_LT(d.Label1.left + d.Label1.width, d.CtrSlider[4].left);
    EXPECT_FALSE(d.FanSpeedValue[1].visible || d.FanSpeedValue[2].visible);
    EXPECT_EQ(d.FanSpeedValue[0].top, d.FanSpeedSlider[0].top);

    d.CtrSlider[4].SetValue(0);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{35, 45, 55, 0, 0}));
    d.CtrSlider[0].SetValue(100);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{100, 100, 100, 0, 0}));
    d.CtrSlider[1].SetValue(60);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{60, 60, 100, 0, 0}));

    d.CtrText[4].text = "9";
    d.CtrText_LostFocus(4);
    EXPECT_EQ(d.CtrText[4].text, "5");
    d.ApplyCmdButon_Click();
    EXPECT_EQ(o.g.g_FanCtrl[0].S, (std::array<i16, 5>{60, 60, 100, 65, 5}));

    OptionsRig plain(kTrue, kFalse);
    Form2& p = plain.Open();
    EXPECT_FALSE(p.CtrSlider[4].visible || p.DeltaScale[0].visible || p.DeltaScale[1].visible);
    EXPECT_FALSE(OptionsRig().Open().DeltaScale[1].visible);
    EXPECT_EQ(p.Label1.left, OptionsRig().Open().Label1.left - 2000);
    EXPECT_EQ(p.FanSpeedSlider[0].top, OptionsRig().Open().FanSpeedSlider[0].top + 350);
}

TEST(FanPage, TypedTemperaturesTakeEffectWhenTheBoxLosesFocus) {
    OptionsRig o;
    Form2& d = o.Open();
    for (i16 key : {i16('a'), i16('-'), i16(':'), i16('/'), i16(13)}) {
        i16 k = key;
        d.CtrText_KeyPress(0, k);
        EXPECT_EQ(k, 0) << key;
    }
    for (i16 key : {i16('0'), i16('9'), i16(8)}) {
        i16 k = key;
        d.CtrText_KeyPress(0, k);
        EXPECT_EQ(k, key);
    }
    struct Case {
        const char* typed;
        const char* shown;
    };
    for (const Case c : {Case{"150", "100"}, Case{"", "0"}, Case{"0080", "80"}, Case{"42abc", "42"},
                         Case{"abc", "0"}, Case{"075", "75"}}) {
        d.CtrText[4].text = c.typed;
        d.CtrText_LostFocus(4);
        EXPECT_EQ(d.CtrText[4].text, c.shown) << c.typed;
        EXPECT_EQ(o.Working(0).S[4], std::stoi(c.shown)) << c.typed;
    }
    d.CtrText[2].text = "20";
    d.CtrText_LostFocus(2);
    EXPECT_EQ(Values(d.CtrSlider), (Ints5{0, 0, 20, 20, 75}));  // "" pulled them to 0
}

TEST(FanPage, ModeDecidesWhichControlsAreEnabled) {
    for (i16 user_ctl : {i16(0), i16(1)}) {
        OptionsRig o;
        o.g.g_DefaultFanCtrl[0].UserCtl = user_ctl;
        Form2& d = o.Open();
        const bool user = user_ctl != 0;
        EXPECT_TRUE(d.FanCtrlMode[0].value && !d.FanCtrlMode[1].value);
        EXPECT_TRUE(d.CtrSlider[4].enabled && d.CtrText[0].enabled && d.ResetDefault.enabled);
        EXPECT_EQ(d.FanSpeedSlider[2].enabled, user);
        EXPECT_FALSE(d.Slider1.enabled || d.Slider2.enabled);

        d.FanCtrlMode_Click(1);
        EXPECT_TRUE(d.FanCtrlMode[1].value && !d.FanCtrlMode[0].value);
        EXPECT_EQ(o.Working(0).Mode, 1);
        EXPECT_FALSE(d.CtrSlider[0].enabled || d.CtrText[4].enabled || d.ResetDefault.enabled);
        EXPECT_FALSE(d.FanSpeedSlider[0].enabled);
        EXPECT_EQ(d.Slider1.enabled, user);
        EXPECT_TRUE(d.Slider2.enabled);
        EXPECT_TRUE(d.ApplyCmdButon.enabled);
    }

    OptionsRig odd;
    odd.g.g_FanCtrl[0].Mode = 2;  // no button for it: shown, and then kept, as automatic
    Form2& d = odd.Open();
    EXPECT_TRUE(d.FanCtrlMode[0].value && !d.FanCtrlMode[1].value);
    EXPECT_TRUE(d.CtrSlider[0].enabled);
    EXPECT_EQ(odd.Working(0).Mode, 0);
}

TEST(FanPage, SoftwareSlidersAndFahrenheitCaptions) {
    OptionsRig o;
    o.g.g_DisplayScale = 1;
    Form2& d = o.Open();
    EXPECT_EQ(d.Label1.caption, "32 F");
    EXPECT_EQ(d.Label4.caption, "32 F");
    EXPECT_EQ(d.Label2.caption, "212 F");
    EXPECT_EQ(d.Label3.caption, "212 F");
    EXPECT_EQ(d.Label13.caption, "0 C");
    EXPECT_EQ(d.Label14.caption, "100 C");
    EXPECT_EQ(d.CtrSlider[0].value(), 35);  // still Celsius
    d.Slider1.SetValue(12);
    d.Slider2.SetValue(66);
    EXPECT_EQ(o.Working(0).SwFan, 12);
    EXPECT_EQ(o.Working(0).TmpAlarm, 66);
    EXPECT_EQ(d.Slider1Value.caption, "12");
    EXPECT_EQ(d.Slider2Value.caption, "66 C");  // the slider holds Celsius
    EXPECT_EQ(OptionsRig().Open().Label2.caption, "100 C");
}

}  // namespace
}  // namespace kelvane
