#include "chip/apply_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/ini_text.h"
#include "board/board.h"
#include "chip/autostart.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Apply {
    explicit Apply(i16 newer = kFalse, i16 delta = kFalse) : rig(board) {
        rig.form.KelvaneFanFlag = newer;
        rig.form.KelvaneFanSpecialFlag = delta;
        // Every fan in software mode unless a test says otherwise.
        for (auto& r : g.g_FanCtrl) r.Mode = 1;
        board.clear_accesses();
    }
    std::optional<ErrorKind> Run(i16 save = kFalse) {
        try {
            ApplySettings(ApplyContextOf(rig.form), save);
            return std::nullopt;
        } catch (const RuntimeError& e) {
            return e.kind();
        }
    }
    bool Touched(int reg) const {
        for (const auto& a : board.accesses())
            if ((a.kind == board::Board::Access::Kind::WriteReg ||
                 a.kind == board::Board::Access::Kind::ReadReg) &&
                a.reg == reg)
                return true;
        return false;
    }
    board::Board board;
    testing::Rig rig;
    Form1& f = rig.form;
    Settings& g = rig.form.settings;
};

TEST(ApplySettings, OlderLayoutWritesTheWholeBlock) {
    Apply a;
    FanCtrlRecord& r = a.g.g_FanCtrl[1];
    r = {"System Fan", 0, {10, 20, 30, 40, 50}, {60, 70, 80}, 0, 0, "", 0};
    a.f.window.FanLed[1].tag = "5";
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x16), Bytes{0x85});
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(a.board.writes_to(0x68 + k), Bytes{static_cast<std::uint8_t>(10 * (k + 1))});
    EXPECT_FALSE(a.Touched(0x60));  // fans 0 and 2 are in software mode
}

TEST(ApplySettings, NewerLayoutWithDeltaTemperatureWorkedCase) {
    Apply a(kTrue, kTrue);
    FanCtrlRecord& r = a.g.g_FanCtrl[0];
    r.Mode = 0;
    r.S = {30, 50, 50, 0, 7};
    r.Speed = {63, 0, 0};
    a.board.set_reg(0x65, 0xFF);
    a.board.set_reg(0x63, 0xFF);
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x15), Bytes{0x80});
    EXPECT_EQ(a.board.writes_to(0x62), Bytes{50});  // written before the adjustment
    EXPECT_EQ(r.S[2], 51);
    EXPECT_EQ(a.board.writes_to(0x65), Bytes{0xE7});  // bits 5..7 kept
    // Slope 512 does not fit the seven-bit field: the steepest ramp, 127.
    EXPECT_EQ(a.board.writes_to(0x64), Bytes{0xFF});
    EXPECT_EQ(a.board.writes_to(0x63), (Bytes{63, 0x80 + 63}));
    EXPECT_FALSE(a.Touched(0x66));
    EXPECT_FALSE(a.Touched(0x67));

    // The raised set point is what the next saving apply writes.
    ASSERT_EQ(a.Run(kTrue), std::nullopt);
    EXPECT_EQ(a.rig.profile.GetString("Fan Ctrl Option 0", "S2", ""), "51");
    EXPECT_EQ(a.rig.profile.GetString("Fan Ctrl Option 0", "DeltaTemp", ""), "7");
}

TEST(ApplySettings, DeltaSlopeCarriesBitSixIntoB3AndRoundsToEven) {
    Apply a(kTrue, kTrue);
    FanCtrlRecord& r = a.g.g_FanCtrl[2];
    r.Mode = 0;
    r.S = {30, 40, 41, 0, 0};
    r.Speed = {119, 0, 0};  // slope (8 / 1) * 8 = 64
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x74), Bytes{0xC0});
    EXPECT_EQ(a.board.reg(0x73), 0x80 + 119);

    r.S = {30, 40, 56, 0, 0};
    r.Speed = {122, 0, 0};  // (5 / 16) * 8 = 2.5 -> 2
    a.board.clear_accesses();
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x74), Bytes{0xC2});
    EXPECT_EQ(a.board.reg(0x73), 122);

    // Slopes outside the seven bits get the steepest ramp instead of wrapping.
    struct Case {
        i16 s1, s2, speed0;
        std::uint8_t b4;
        int b3;
    };
    const Case cases[] = {
        {40, 41, 111, 0xFF, 0x80 + 111},  // 16 * 8 = 128
        {50, 51, 63, 0xFF, 0x80 + 63},    // 512: wrapped to 0, a flat ramp
        {60, 40, 27, 0xFF, 0x80 + 27},    // S(2) below S(1): -40
        {40, 48, 0, 0xFF, 0x80},          // 127 itself
        {40, 48, 8, 0xF7, 0x80 + 8},      // 119
    };
    for (const Case& c : cases) {
        r.S = {30, c.s1, c.s2, 0, 0};
        r.Speed = {c.speed0, 0, 0};
        a.board.clear_accesses();
        ASSERT_EQ(a.Run(), std::nullopt) << c.s1 << " " << c.s2;
        EXPECT_EQ(a.board.writes_to(0x74), Bytes{c.b4}) << c.s1 << " " << c.s2;
        EXPECT_EQ(a.board.reg(0x73), c.b3) << c.s1 << " " << c.s2;
    }
}

TEST(ApplySettings, NewerLayoutWithoutDeltaTemperatureWritesASlopeCode) {
    Apply a(kTrue, kFalse);
    FanCtrlRecord& r = a.g.g_FanCtrl[1];
    r.Mode = 0;
    r.S = {20, 40, 60, 9, 9};
    r.Speed = {27, 9, 9};  // slope 100 / 20 = 5
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x6C), Bytes{0xBC});
    EXPECT_EQ(a.board.writes_to(0x6B), Bytes{27});
    EXPECT_EQ(a.board.writes_to(0x6A), Bytes{60});
    EXPECT_FALSE(a.Touched(0x6D));
    EXPECT_FALSE(a.Touched(0x6E));

    r.Speed = {122, 0, 0};  // 5 / 2 = 2.5 -> 2
    r.S = {20, 40, 42, 0, 0};
    a.board.clear_accesses();
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x6C), Bytes{0xBA});
}

TEST(ApplySettings, SlopeCodeTable) {
    const std::pair<int, int> rows[] = {{-1, 0xBF}, {0, 0xB9},  {1, 0xB9}, {2, 0xBA}, {3, 0xBB},
                                        {4, 0xBB},  {5, 0xBC},  {8, 0xBC}, {9, 0xBD}, {16, 0xBD},
                                        {17, 0xBE}, {32, 0xBE}, {33, 0xBF}};
    for (const auto& [slope, code] : rows) EXPECT_EQ(SlopeCode(slope), code) << slope;
}

TEST(ApplySettings, SoftwareModeAndHeadingsChooseTheFans) {
    Apply a;
    a.g.g_FanCtrl[0].SwFan = 0x40;
    a.g.g_FanCtrl[2].SwFan = 0x22;
    a.f.window.KelvaneLabel[1].visible = false;
    a.f.window.KelvaneLabel[2].tag = "0";  // shows fan 0 too
    ASSERT_EQ(a.Run(), std::nullopt);
    EXPECT_EQ(a.board.writes_to(0x15), (Bytes{0x40, 0x40}));
    EXPECT_FALSE(a.Touched(0x16));
    EXPECT_FALSE(a.Touched(0x17));
    for (int reg = 0x60; reg <= 0x77; ++reg) EXPECT_FALSE(a.Touched(reg)) << reg;
}

TEST(ApplySettings, HeadingTagThatNamesNoFanAbandonsTheRest) {
    for (const char* tag : {"3", "-1", "", "x"}) {
        Apply a;
        a.g.g_DisplayOnTop = 1;
        a.g.g_ExecuteAtStartup = 2;
        a.f.window.KelvaneLabel[1].tag = tag;
        EXPECT_EQ(a.Run(), ErrorKind::Subscript) << tag;
        EXPECT_EQ(a.board.writes_to(0x15).size(), 1u);
        EXPECT_TRUE(a.rig.host.topmost_calls.empty());
        EXPECT_EQ(a.rig.registry.writes, 0);
    }
}

TEST(ApplySettings, NoTruncatedValueReachesTheChipAndNoFanIsHalfProgrammed) {
    struct Case {
        const char* what;
        i16 newer, delta;
        void (*set)(Form1&);
    };
    const Case cases[] = {
        {"set point", kFalse, kFalse, [](Form1& f) { f.settings.g_FanCtrl[0].S[3] = 256; }},
        {"negative speed", kFalse, kFalse, [](Form1& f) { f.settings.g_FanCtrl[0].Speed[0] = -1; }},
        {"last speed", kFalse, kFalse, [](Form1& f) { f.settings.g_FanCtrl[0].Speed[2] = 256; }},
        {"selector", kFalse, kFalse, [](Form1& f) { f.window.FanLed[0].tag = "300"; }},
        {"software PWM", kFalse, kFalse,
         [](Form1& f) {
             f.settings.g_FanCtrl[0].Mode = 1;
             f.settings.g_FanCtrl[0].SwFan = 128;  // would switch the fan to automatic
         }},
        {"start speed", kTrue, kTrue, [](Form1& f) { f.settings.g_FanCtrl[0].Speed[0] = 200; }},
        {"start speed, no delta field", kTrue, kFalse,
         [](Form1& f) { f.settings.g_FanCtrl[0].Speed[0] = 128; }},
        {"delta temperature", kTrue, kTrue, [](Form1& f) { f.settings.g_FanCtrl[0].S[4] = 32; }},
        {"full-speed temperature", kTrue, kTrue,
         [](Form1& f) { f.settings.g_FanCtrl[0].S[2] = 300; }},
    };
    for (const Case& c : cases) {
        Apply a(c.newer, c.delta);
        a.g.g_FanCtrl[0].Mode = 0;
        a.g.g_FanCtrl[0].S = {10, 20, 30, 0, 0};
        c.set(a.f);
        EXPECT_EQ(a.Run(), ErrorKind::Overflow) << c.what;
        // Fan 0 keeps every register the board had; the next fan is not reached.
        for (const auto& w : a.board.accesses())
            EXPECT_NE(w.kind, board::Board::Access::Kind::WriteReg) << c.what << " " << +w.reg;
        EXPECT_FALSE(a.Touched(0x16)) << c.what;
    }
}

TEST(ApplySettings, StartupApplyTouchesOnlyWhatTheLoaderRead) {
    StartupFindings found;
    found.fan_ctrl_read = {true, false, false};
    found.fan_described = {true, true, true};
    Apply a;
    a.g.g_FanCtrl = {};  // zero records: automatic mode with every limit 0
    a.g.g_DisplayOnTop = 1;
    a.g.g_ExecuteAtStartup = 0;
    a.rig.registry.run["Kelvane"] = "\"C:\\Program Files\\Kelvane\\kelvane.exe\"";
    ApplySettings(ApplyContextOf(a.f), kFalse, ScopeOfLoadedSettings(found));
    EXPECT_EQ(a.board.writes_to(0x15), Bytes{0x80});
    for (int reg : {0x16, 0x17, 0x68, 0x6C, 0x70, 0x74}) EXPECT_FALSE(a.Touched(reg)) << reg;
    EXPECT_TRUE(a.rig.host.topmost_calls.empty());
    EXPECT_EQ(a.rig.registry.deletes, 0);
    EXPECT_EQ(a.rig.registry.run.count("Kelvane"), 1u);

    found.fan_ctrl_read = {true, true, true};
    found.display_on_top_read = found.execute_at_startup_read = true;
    a.board.clear_accesses();
    ApplySettings(ApplyContextOf(a.f), kFalse, ScopeOfLoadedSettings(found));
    EXPECT_EQ(a.board.writes_to(0x17), Bytes{0x82});
    EXPECT_EQ(a.rig.host.topmost_calls, std::vector<bool>{true});
    EXPECT_EQ(a.rig.registry.run.count("Kelvane"), 0u);

    // Read to the end, but a fan the file does not describe keeps the chip's own registers.
    found.fan_described = {true, false, true};
    a.board.clear_accesses();
    ApplySettings(ApplyContextOf(a.f), kFalse, ScopeOfLoadedSettings(found));
    EXPECT_FALSE(a.Touched(0x16));
    EXPECT_FALSE(a.Touched(0x68));
    EXPECT_EQ(a.board.writes_to(0x15), Bytes{0x80});
}

TEST(ApplySettings, StartupApplyWritesNoFile) {
    Apply a;
    a.g.g_DisplayOnTop = 1;
    ASSERT_EQ(a.Run(kFalse), std::nullopt);
    EXPECT_EQ(a.rig.profile.Text(), "");
    EXPECT_EQ(a.rig.host.topmost_calls, std::vector<bool>{true});
    EXPECT_FALSE(a.board.writes_to(0x15).empty());
}

TEST(ApplySettings, SavingWritesTheUserKeysInOrder) {
    using Keys = std::vector<std::string>;
    const Keys head = {"Caption", "Mode", "SwFan", "TmpAlarm"};
    auto with = [&](Keys tail) {
        Keys k = head;
        k.insert(k.end(), tail.begin(), tail.end());
        return k;
    };
    const std::pair<i16, i16> layouts[] = {{kFalse, kTrue}, {kTrue, kFalse}, {kTrue, kTrue}};
    const Keys expected[] = {
        with({"S0", "S1", "S2", "S3", "S4", "Speed0", "Speed1", "Speed2"}),
        with({"S0", "S1", "S2", "Speed0"}),
        with({"S0", "S1", "S2", "DeltaTemp", "Speed0"}),
    };
    for (int i = 0; i < 3; ++i) {
        Apply a(layouts[i].first, layouts[i].second);
        a.g.g_DisplayScale = 1;
        a.g.g_ExecuteAtStartup = 3;
        a.g.g_SoundWarnning = 2;
        a.g.g_Vin[8] = {500, 0, 15};
        a.g.g_FanCtrl[2].Caption = "Panel Fan";
        a.g.g_FanCtrl[2].S = {1, 2, 3, 4, 5};
        a.g.g_FanCtrl[2].Speed = {6, 7, 8};
        ASSERT_EQ(a.Run(kTrue), std::nullopt);
        IniText& p = a.rig.profile;
        EXPECT_EQ(p.Keys("Option"),
                  (Keys{"DisplayScale", "DisplayOnTop", "ExecuteAtStartup", "SoundWarnning"}));
        EXPECT_EQ(p.GetString("Option", "ExecuteAtStartup", ""), "3");
        EXPECT_EQ(p.Keys("VIN8"), (Keys{"Enable", "Percent"}));
        EXPECT_EQ(p.GetString("VIN8", "Percent", ""), "15");
        EXPECT_EQ(p.Keys("Fan Ctrl Option 2"), expected[i]);
        EXPECT_NE(p.Text().find("[Fan Ctrl Option 2]\r\nCaption=Panel Fan\r\nMode=1\r\n"),
                  std::string::npos);
        EXPECT_EQ(p.GetString("Fan Ctrl Option 2", "S2", ""), "3");
        EXPECT_EQ(p.GetString("Fan Ctrl Option 2", "Speed0", ""), "6");
    }
}

TEST(ApplySettings, AutostartValueIsTheQuotedProgramPathOrRemoved) {
    for (i16 value : {2, 3}) {
        Apply a;
        a.g.g_ExecuteAtStartup = value;
        ASSERT_EQ(a.Run(), std::nullopt);
        EXPECT_EQ(a.rig.registry.run["Kelvane"], "\"C:\\Program Files\\Kelvane\\kelvane.exe\"");
    }
    for (i16 value : {0, 1}) {
        Apply a;
        a.g.g_ExecuteAtStartup = value;
        a.rig.registry.run["Kelvane"] = "\"C:\\old\\kelvane.exe\"";
        ASSERT_EQ(a.Run(), std::nullopt);
        EXPECT_EQ(a.rig.registry.run.count("Kelvane"), 0u);
        EXPECT_EQ(a.rig.registry.deletes, 1);
        EXPECT_EQ(a.rig.registry.writes, 0);
    }

    // What the package writes: the property when given, switching bit 1 and keeping the
    // start-minimised bit; without it only a file that lacks the key is switched on.
    struct Case {
        const char* file;
        std::optional<bool> asked;
        std::int64_t holds;
        const char* written;  // null: the file is left as it was
    } cases[] = {
        {"[Option]\r\nExecuteAtStartup=0\r\n", std::nullopt, 0, nullptr},
        {"[Option]\r\nExecuteAtStartup=3\r\n", std::nullopt, 3, nullptr},
        {"[Option]\r\nExecuteAtStartup=\r\n", std::nullopt, 0, nullptr},
        {"[Option]\r\nAddress=661\r\n", std::nullopt, 2, "2"},
        {"", std::nullopt, 2, "2"},
        {"[Option]\r\nExecuteAtStartup=1\r\n", true, 3, "3"},
        {"[Option]\r\nExecuteAtStartup=0\r\n", true, 2, "2"},
        {"[Option]\r\nExecuteAtStartup=3\r\n", false, 1, "1"},
        {"[Option]\r\nExecuteAtStartup=2\r\n", false, 0, "0"},
        {"[Option]\r\nAddress=661\r\n", false, 0, "0"},
    };
    for (const Case& c : cases) {
        IniText file(c.file);
        EXPECT_EQ(InstallAutostart(file, c.asked), c.holds) << c.file;
        if (c.written == nullptr) {
            EXPECT_EQ(file.Text(), c.file);
        } else {
            EXPECT_EQ(file.GetString("Option", "ExecuteAtStartup", "none"), c.written) << c.file;
            EXPECT_EQ(file.GetString("Option", "Address", "661"), "661") << c.file;
        }
        // The Run value follows what the file holds, naming the window program.
        testing::FakeRegistry registry;
        registry.run["Kelvane"] = "\"C:\\old\\kelvane-service.exe\"";
        EXPECT_TRUE(ApplyAutostart(registry, c.holds, "C:\\Kelvane\\kelvane.exe"));
        EXPECT_EQ(registry.run.count("Kelvane") ? registry.run["Kelvane"] : "",
                  c.holds & 2 ? "\"C:\\Kelvane\\kelvane.exe\"" : "")
            << c.file;
    }
}

}  // namespace
}  // namespace kelvane
