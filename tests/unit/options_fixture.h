#pragma once
// The options dialog over the simulated board, with the main window's tags, captions and
// records set up as the settings loader leaves them for a healthy installation.
#include <memory>
#include <string>

#include "board/board.h"
#include "options/form2.h"
#include "support/fakes.h"

namespace kelvane::testing {

class FakeForm2Host : public Form2Host {
  public:
    int topmost = 0, closes = 0;
    std::vector<std::string> reports;
    void SetTopmost() override { ++topmost; }
    void Close() override { ++closes; }
    void ReportApplyFailure(const std::string& message) override { reports.push_back(message); }
};

struct OptionsRig {
    explicit OptionsRig(i16 newer_layout = kFalse, i16 delta = kFalse) {
        f.KelvaneFanFlag = newer_layout;
        f.KelvaneFanSpecialFlag = delta;
        for (int i = 0; i < 3; ++i) {
            f.window.KelvaneLabel[i].tag = f.window.LedPic[i].tag = f.window.FanLed[i].tag =
                std::to_string(i);
            FanCtrlRecord& d = g.g_DefaultFanCtrl[i];
            d.Caption = f.window.KelvaneLabel[i].caption + " Fan";
            d.S = {30, 40, 50, 60, 70};
            d.Speed = {20, 60, 100};
            d.TmpAlarm = 100;
            d.UserCtl = 1;
            FanCtrlRecord& r = g.g_FanCtrl[i];
            r.Caption = d.Caption;
            r.S = {i16(35 + i), 45, 55, 65, 75};
            r.Speed = {30, 70, 110};
            r.SwFan = 40;
            r.TmpAlarm = 90;
        }
        g.g_UserScroll = 1;
        const i16 volts[9] = {330, 500, 1200, 250, -500, -1200, 150, 5, 0};
        for (int v = 0; v < 9; ++v) g.g_Vin[v] = {volts[v], 1, 10};
    }

    Form2& Open() {
        dlg = std::make_unique<Form2>(f, shared, host);
        dlg->Form_Load(15360, 11520);
        return *dlg;
    }

    // Clicks the tab with this caption, as the view does.
    void Select(const std::string& caption) {
        auto& tabs = dlg->TabStrip1.tabs;
        for (size_t t = 0; t < tabs.size(); ++t)
            if (tabs[t].caption == caption) dlg->TabStrip1.selected = static_cast<int>(t);
        dlg->TabStrip1_Click();
    }

    const FanCtrlRecord& Working(int j) const { return dlg->working_fan_ctrl()[j]; }

    board::Board board;
    Rig rig{board};
    Form1& f = rig.form;
    Settings& g = rig.form.settings;
    FakeForm2Host host;
    OptionsShared shared;
    std::unique_ptr<Form2> dlg;
};

// Slider values of the page, from index 0 up.
template <size_t N>
std::array<int, N> Values(const std::array<options::Slider, N>& sliders) {
    std::array<int, N> v{};
    for (size_t k = 0; k < N; ++k) v[k] = sliders[k].value();
    return v;
}

}  // namespace kelvane::testing
