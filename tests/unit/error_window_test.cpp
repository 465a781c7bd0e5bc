#include "monitor/error_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "chip/speaker.h"
#include "monitor/alarm_log.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

class FakeForm4Host : public Form4Host {
  public:
    std::vector<std::string> calls;
    void GreyCloseItem() override { calls.push_back("GreyCloseItem"); }
    void SetTopmost() override { calls.push_back("SetTopmost"); }
    void Show() override { calls.push_back("Show"); }
    void Hide() override { calls.push_back("Hide"); }
};

struct WindowRig {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;
    FakeForm4Host host;
    Form4 form4{f, host};

    WindowRig() {
        for (int n = 0; n < 3; ++n) f.window.LedPic[n].tag = std::to_string(n);
        f.AlarmTune = StandardAlarmTune();
        InitFanDivisors(f);
        rig.files.files[kHistoryLog] = "";
    }
    int Shown() const {
        int n = 0;
        for (const auto& c : rig.windows.calls) n += c == "ShowErrorWindow";
        return n;
    }
    void Tick(int count) {
        for (int i = 0; i < count; ++i) Form1_Timer1_Timer(f);
    }
};

TEST(ErrorWindow, LoadsOnceOnFirstShowing) {
    WindowRig w;
    const Form4Model& m = w.form4.model();
    EXPECT_EQ(m.caption, "Warning Message Ver 5.07");
    EXPECT_EQ(m.Label2.caption, "Warning!!");
    EXPECT_EQ(m.Label1.caption, "There's a error message in your system.");
    EXPECT_EQ(m.Check1.control.caption, "OK");
    EXPECT_FALSE(m.loaded);
    w.form4.model().Check1.control.enabled = false;
    w.form4.Show();
    w.form4.Show();
    EXPECT_TRUE(m.loaded && m.visible && m.Check1.control.enabled);
    EXPECT_EQ(w.host.calls,
              (std::vector<std::string>{"GreyCloseItem", "SetTopmost", "Show", "Show"}));
}

TEST(ErrorWindow, TimerShowsTheLatestAlarmAndWhenItEnded) {
    WindowRig w;
    const Form4Model& m = w.form4.model();
    // Before any alarm, normal ticks say nothing.
    w.f.monitor.g_ErrorMsg = "Normal...";
    for (int i = 0; i < 6; ++i) w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label3.caption, "");
    EXPECT_EQ(m.Label4.caption, "");

    w.f.monitor.g_ErrorMsg = "The System Fan is out of order.";
    w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label3.caption, "10:45:31 PM: The System Fan is out of order.");
    // A lull of four normal ticks in a lasting fault is not its end.
    w.f.monitor.g_ErrorMsg = "Normal...";
    for (int i = 0; i < 4; ++i) w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label4.caption, "");
    w.f.monitor.g_ErrorMsg = "The System Fan is out of order.";
    w.rig.clock.time = "10:45:36 PM";
    w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label3.caption, "10:45:36 PM: The System Fan is out of order.");

    // Five in a row are: the alarm text stays, its time stops, a line says since when.
    w.f.monitor.g_ErrorMsg = "Normal...";
    for (int s = 37; s <= 41; ++s) {
        EXPECT_EQ(m.Label4.caption, "");
        w.rig.clock.time = "10:45:" + std::to_string(s) + " PM";
        w.form4.Timer1_Timer();
    }
    EXPECT_EQ(m.Label3.caption, "10:45:36 PM: The System Fan is out of order.");
    EXPECT_EQ(m.Label4.caption, "Back to normal at 10:45:37 PM.");
    w.rig.clock.time = "10:46:00 PM";
    w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label4.caption, "Back to normal at 10:45:37 PM.");

    // A fault that returns takes the line away; "normal..." is not the normal message.
    w.f.monitor.g_ErrorMsg = "normal...";
    w.form4.Timer1_Timer();
    EXPECT_EQ(m.Label3.caption, "10:46:00 PM: normal...");
    EXPECT_EQ(m.Label4.caption, "");
}

TEST(ErrorWindow, OkBringsATemperatureAlarmBackAfterTwentyOneTicks) {
    WindowRig w;
    w.board.set_reg(0x2A, 85);  // CPU 15 over its limit of 70
    w.Tick(27);                 // warm-up, then the 21st episode tick
    ASSERT_EQ(w.Shown(), 1);
    w.form4.Show();
    w.form4.model().Check1.value = 1;
    w.f.g_CPUOrderCnt = 7;
    w.form4.Check1_Click();
    EXPECT_EQ(w.form4.model().Check1.value, 0);
    EXPECT_FALSE(w.form4.model().visible);
    EXPECT_EQ(w.host.calls.back(), "Hide");
    EXPECT_EQ(w.f.monitor.g_CPUOverCnt, 0);
    EXPECT_EQ(w.f.g_CPUOrderCnt, 7);
    EXPECT_EQ(w.f.window.Label1.caption, "CPU Temperature Over...");
    w.Tick(20);
    EXPECT_EQ(w.Shown(), 1);
    w.Tick(1);
    EXPECT_EQ(w.Shown(), 2);
}

TEST(ErrorWindow, OkDoesNotResetAFanFault) {
    WindowRig w;
    w.board.set_reg(0x29, 85);  // the system channel makes it critical
    w.board.set_reg(0x2A, 50);  // the CPU fan fault code wins
    w.board.set_reg(0x0E, 0);
    w.Tick(27);
    ASSERT_EQ(w.f.monitor.g_ErrorCode, 2);
    ASSERT_EQ(w.Shown(), 1);
    w.form4.Check1_Click();
    w.Tick(40);
    EXPECT_EQ(w.Shown(), 1);
    EXPECT_EQ(w.f.g_CPUOrderCnt, 61);
}

}  // namespace
}  // namespace kelvane
