#include "app/load_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "app/about_details.h"
#include "app/about_text.h"
#include "app/skin_layout.h"
#include "board/board.h"
#include "chip/speaker.h"
#include "setup/setup_problem.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

struct Loaded {
    explicit Loaded(const std::string& ini, i16 newer = kFalse, i16 delta = kFalse)
        : rig(board, ini) {
        rig.form.KelvaneFanFlag = newer;
        rig.form.KelvaneFanSpecialFlag = delta;
    }
    // The kind of the error that ended loading, if any.
    std::optional<ErrorKind> Load() {
        try {
            LoadSettings(rig.form);
            return std::nullopt;
        } catch (const RuntimeError& e) {
            return e.kind();
        }
    }
    board::Board board;
    testing::Rig rig;
    Form1& f = rig.form;
    Settings& g = rig.form.settings;
};

TEST(LoadSettings, EmptyFileGivesTheDesignLayoutAndShippedDefaults) {
    Loaded l("");
    ASSERT_EQ(l.Load(), std::nullopt);
    EXPECT_EQ(l.f.window, DesignLayout());
    EXPECT_EQ(l.g.g_IniPath, "C:\\Program Files\\Kelvane\\kelvane.ini");
    EXPECT_EQ(l.g.g_Address, 661);
    EXPECT_EQ(l.g.g_BeepWaitTimes, 3);
    EXPECT_EQ(l.f.BeepCountDown, 3);
    EXPECT_EQ(l.g.g_UserScroll, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(l.g.g_DefaultFanCtrl[i].TmpAlarm, 100);
        EXPECT_EQ(l.g.g_FanCtrl[i].TmpAlarm, 100);
        EXPECT_EQ(l.g.g_DefaultFanCtrl[i].UserCtl, 1);
    }
    // Channel 0 is the system channel of the alarms, channel 1 the CPU's.
    EXPECT_EQ(l.g.g_FanCtrl[0].Caption, "System Fan");
    EXPECT_EQ(l.g.g_FanCtrl[1].Caption, "CPU Fan");
    for (const VinRecord& v : l.g.g_Vin) {
        EXPECT_EQ(v.Enable, 1);
        EXPECT_EQ(v.Percent, 10);
    }
    const std::string& about = l.g.g_AboutText;
    EXPECT_NE(about.find("5.07"), std::string::npos);
    EXPECT_NE(about.find("2006"), std::string::npos);
    EXPECT_EQ(about.find('\xE2'), std::string::npos);
    size_t breaks = 0;
    for (size_t at = 0; (at = about.find("\r\n", at)) != std::string::npos; at += 2) ++breaks;
    EXPECT_EQ(breaks, 3u);
    const auto tune = StandardAlarmTune();
    for (size_t i = 0; i < tune.size(); ++i) {
        EXPECT_EQ(l.f.AlarmTune[i].note, tune[i].note);
        EXPECT_EQ(l.f.AlarmTune[i].duration, tune[i].duration);
    }
    EXPECT_EQ(l.f.AlarmTune[4].duration, 300);
    EXPECT_EQ(l.g.g_ExportTextFile, "");
    EXPECT_EQ(l.g.g_ExportEventLog, 1);
    EXPECT_EQ(l.g.g_HistoryFolder, "");
    EXPECT_EQ(l.g.g_HistoryDays, 31);
    EXPECT_EQ((std::vector<int>{l.g.g_MaintenanceEnabled, l.g.g_BaselineMinutes,
                                l.g.g_WindowMinutes, l.g.g_FanDropPercent, l.g.g_RiseDegrees}),
              (std::vector<int>{1, 10080, 1440, 25, 8}));

    Loaded exports(
        "[Export]\nTextFile = C:\\metrics\\kelvane.prom \nEventLog=0\n"
        "[History]\nFolder=D:\\Kelvane data\nDays=7\n"
        "[Maintenance]\nEnabled=0\nBaselineMinutes=43200\nWindowMinutes=2\nFanDropPercent=90\n"
        "RiseDegrees=2\n");
    ASSERT_EQ(exports.Load(), std::nullopt);
    EXPECT_EQ(exports.g.g_ExportTextFile, "C:\\metrics\\kelvane.prom");
    EXPECT_EQ(exports.g.g_ExportEventLog, 0);
    EXPECT_EQ(exports.g.g_HistoryFolder, "D:\\Kelvane data");
    EXPECT_EQ(exports.g.g_HistoryDays, 7);
    EXPECT_EQ((std::vector<int>{exports.g.g_MaintenanceEnabled, exports.g.g_BaselineMinutes,
                                exports.g.g_WindowMinutes, exports.g.g_FanDropPercent,
                                exports.g.g_RiseDegrees}),
              (std::vector<int>{0, 43200, 2, 90, 2}));
    // Outside its range is a set-up problem at that key, never a quiet default.
    for (const char* key : {"BaselineMinutes=1", "BaselineMinutes=43201", "WindowMinutes=10081",
                            "FanDropPercent=4", "RiseDegrees=41"}) {
        Loaded out(std::string("[Maintenance]\n") + key + "\n");
        EXPECT_EQ(out.Load(), ErrorKind::Overflow) << key;
        EXPECT_EQ(out.f.findings.stopped_section, "Maintenance") << key;
        EXPECT_EQ(out.f.findings.stopped_key,
                  std::string(key).substr(0, std::string(key).find('=')));
    }
}

TEST(LoadSettings, AddressOutOfRangeEndsLoadingBeforeAnyControlMoves) {
    Loaded l(
        "[Option]\nAddress=70000\nBeepWaitTimes=7\n[Image Option 0]\nLeft=5\n"
        "[Label Option 0]\nLeft=100\n");
    EXPECT_EQ(l.Load(), ErrorKind::Overflow);
    EXPECT_EQ(l.g.g_Address, 0x295);
    EXPECT_EQ(l.f.window, DesignLayout());
    EXPECT_EQ(l.g.g_BeepWaitTimes, 0);
    EXPECT_EQ(l.g.g_IniPath, "C:\\Program Files\\Kelvane\\kelvane.ini");
}

TEST(LoadSettings, BadKeyEndsLoadingThereAndKeepsWhatCameBefore) {
    // VIN2's Percent does not fit 16 bits: its Enable was read, Percent and all after not.
    Loaded l(
        "[Image Option 1]\nLeft=777\nVisible=0\n[VIN1]\nEnable=0\n"
        "[VIN2]\nEnable=0\nPercent=40000\n[VIN3]\nTop=1\n[Option]\nBeepWaitTimes=9\n"
        "[Export]\nTextFile=C:\\m.prom\nEventLog=0\n");
    EXPECT_EQ(l.Load(), ErrorKind::Overflow);
    EXPECT_EQ(l.f.window.Image1[1].left, 777);
    EXPECT_FALSE(l.f.window.Image1[1].visible);
    EXPECT_EQ(l.g.g_Vin[1].Enable, 0);
    EXPECT_EQ(l.g.g_Vin[1].Percent, 10);
    EXPECT_EQ(l.g.g_Vin[2].Enable, 0);
    EXPECT_EQ(l.g.g_Vin[2].Percent, 0);
    EXPECT_EQ(l.f.window.TempLabel[3].top, DesignLayout().TempLabel[3].top);
    EXPECT_EQ(l.g.g_BeepWaitTimes, 0);
    // Start-up's own later reads do not move the point the loader stopped at.
    ReadBackColor(l.f);
    ReadVoltageFactors(l.f);
    EXPECT_EQ(AboutDetails(l.f).at(4),
              "Settings file: C:\\Program Files\\Kelvane\\kelvane.ini (stopped at [VIN2] Percent)");
    // The fleet keys are read even after the stop: the fleet must see a broken terminal.
    EXPECT_EQ(l.g.g_ExportTextFile, "C:\\m.prom");
    EXPECT_EQ(l.g.g_ExportEventLog, kFalse);
}

TEST(LoadSettings, ControlThatRefusesAValueEndsLoading) {
    const MainWindowModel design = DesignLayout();
    {
        Loaded l("[Label Option 3]\nCaption=Core\n[Label Option 4]\nColor=16777216\nCaption=X\n");
        EXPECT_EQ(l.Load(), ErrorKind::InvalidProperty);
        EXPECT_EQ(l.f.window.KelvaneLabel[3].caption, "Core");
        EXPECT_EQ(l.f.window.KelvaneLabel[4].caption, design.KelvaneLabel[4].caption);
        EXPECT_EQ(l.g.g_FanCtrl[0].TmpAlarm, 0);
    }
    {
        Loaded l("[Label Option 0]\nFontSize=0\nBold=0\n");
        EXPECT_EQ(l.Load(), ErrorKind::InvalidProperty);
        EXPECT_TRUE(l.f.window.KelvaneLabel[0].font.bold);
    }
    {
        Loaded l("[Option]\nForm_Width=-1\nLogo_Top=1\n");
        EXPECT_EQ(l.Load(), ErrorKind::InvalidProperty);
        EXPECT_EQ(l.f.window.Logo.top, design.Logo.top);
    }
}

TEST(LoadSettings, LabelKeysApplyIncludingSystemColours) {
    Loaded l(
        "[Label Option 16]\nTop=10\nLeft=20\nColor=-2147483640\nCaption=Till 3\nFontSize=12\n"
        "Bold=0\nItalic=5\nVisible=0\nUnderline=1\nStrikethrough=-1\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    const Control& c = l.f.window.KelvaneLabel[16];
    EXPECT_EQ(c.top, 10);
    EXPECT_EQ(c.left, 20);
    EXPECT_EQ(c.fore_color, 0x80000008u);
    EXPECT_EQ(c.caption, "Till 3");
    EXPECT_EQ(c.font.size, 12);
    EXPECT_FALSE(c.font.bold);
    EXPECT_TRUE(c.font.italic);
    EXPECT_FALSE(c.visible);
    EXPECT_TRUE(c.font.underline);
    EXPECT_TRUE(c.font.strikethrough);
}

TEST(LoadSettings, DisplaysPairWithTheNearestMovedHeading) {
    // Heading 1 moved onto LedPic(0); LedPic(1) at 2160 is then nearest heading 0 (1560 off).
    Loaded l("[Label Option 1]\nLeft=480\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    const auto& w = l.f.window;
    EXPECT_EQ(w.LedPic[0].tag, "1");
    EXPECT_EQ(w.LedPic[1].tag, "0");
    EXPECT_EQ(w.LedPic[2].tag, "2");
    EXPECT_EQ(w.KelvaneLabel[0].tag, "1");
    EXPECT_EQ(w.KelvaneLabel[1].tag, "0");
    EXPECT_EQ(w.KelvaneLabel[2].tag, "2");
}

TEST(LoadSettings, PairingTiesGoToTheLowerHeadingAndFarDisplaysKeepTheirOwn) {
    Loaded l(
        "[Label Option 0]\nLeft=1000\n[Label Option 1]\nLeft=3000\n[Label Option 2]\n"
        "Left=20000\n[Temperature Led Option 0]\nLeft=2000\n[Temperature Led Option 1]\n"
        "Left=2000\n[Temperature Led Option 2]\nLeft=40000\nTop=7\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    const auto& w = l.f.window;
    EXPECT_EQ(w.LedPic[0].tag, "0");
    EXPECT_EQ(w.LedPic[1].tag, "0");
    EXPECT_EQ(w.LedPic[2].tag, "2");  // 20000 away from the nearest heading: its own index
    EXPECT_EQ(w.LedPic[2].top, 7);
    EXPECT_EQ(w.KelvaneLabel[0].tag, "1");  // the last display paired with it
    EXPECT_EQ(w.KelvaneLabel[2].tag, "2");
}

TEST(LoadSettings, FanSpeedDisplaysTakeTagAndPosition) {
    Loaded l("[Fan Speed Led Option 2]\nTag=7\nLeft=11\nTop=12\nVisible=0\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    const Control& c = l.f.window.FanLed[2];
    EXPECT_EQ(c.tag, "7");
    EXPECT_EQ(c.left, 11);
    EXPECT_EQ(c.top, 12);
    EXPECT_FALSE(c.visible);
    EXPECT_EQ(l.f.window.FanLed[1].tag, "1");
}

constexpr const char* kAllSetPoints =
    "[Default Fan Ctrl 0]\nS0=1\nS1=2\nS2=3\nS3=4\nS4=5\nDeltaTemp=9\nSpeed0=10\nSpeed1=11\n"
    "Speed2=12\nModulate=x*2\nUserCtl=0\n"
    "[Fan Ctrl Option 0]\nS1=21\nS4=25\nDeltaTemp=29\nSpeed2=32\nMode=1\n";

TEST(LoadSettings, OlderLayoutReadsFiveSetPointsAndThreeSpeeds) {
    Loaded l(kAllSetPoints, kFalse, kTrue);
    ASSERT_EQ(l.Load(), std::nullopt);
    const FanCtrlRecord& d = l.g.g_DefaultFanCtrl[0];
    EXPECT_EQ(d.S, (std::array<i16, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(d.Speed, (std::array<i16, 3>{10, 11, 12}));
    EXPECT_EQ(d.Modulate, "x*2");
    EXPECT_EQ(d.UserCtl, 0);
    const FanCtrlRecord& r = l.g.g_FanCtrl[0];
    EXPECT_EQ(r.S, (std::array<i16, 5>{1, 21, 3, 4, 25}));
    EXPECT_EQ(r.Speed, (std::array<i16, 3>{10, 11, 32}));
    EXPECT_EQ(r.Mode, 1);
    EXPECT_EQ(r.TmpAlarm, 100);
}

TEST(LoadSettings, NewerLayoutIgnoresTheOlderKeys) {
    Loaded l(kAllSetPoints, kTrue, kFalse);
    ASSERT_EQ(l.Load(), std::nullopt);
    EXPECT_EQ(l.g.g_DefaultFanCtrl[0].S, (std::array<i16, 5>{1, 2, 3, 0, 0}));
    EXPECT_EQ(l.g.g_DefaultFanCtrl[0].Speed, (std::array<i16, 3>{10, 0, 0}));
    EXPECT_EQ(l.g.g_FanCtrl[0].S, (std::array<i16, 5>{1, 21, 3, 0, 0}));
    EXPECT_EQ(l.g.g_FanCtrl[0].Speed, (std::array<i16, 3>{10, 0, 0}));
}

TEST(LoadSettings, NewerLayoutWithDeltaTemperatureReadsItIntoS4) {
    Loaded l(kAllSetPoints, -1, 1);  // any non-zero value is true
    ASSERT_EQ(l.Load(), std::nullopt);
    EXPECT_EQ(l.g.g_DefaultFanCtrl[0].S, (std::array<i16, 5>{1, 2, 3, 0, 9}));
    EXPECT_EQ(l.g.g_FanCtrl[0].S, (std::array<i16, 5>{1, 21, 3, 0, 29}));
    EXPECT_EQ(l.g.g_FanCtrl[0].Speed, (std::array<i16, 3>{10, 0, 0}));
    EXPECT_EQ(l.g.g_FanCtrl[1].S, (std::array<i16, 5>{}));
}

TEST(LoadSettings, RecordCaptionComesFromTheHeading) {
    Loaded l(
        "[Label Option 0]\nCaption=Processor\n[Default Fan Ctrl 0]\nCaption=Ignored\n"
        "[Fan Ctrl Option 0]\nCaption=Also ignored\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    EXPECT_EQ(l.g.g_DefaultFanCtrl[0].Caption, "Processor Fan");
    EXPECT_EQ(l.g.g_FanCtrl[0].Caption, "Processor Fan");
    EXPECT_EQ(l.g.g_FanCtrl[2].Caption, "Panel Fan");
}

TEST(LoadSettings, AboutTextBreaksLinesAtTheInfinitySign) {
    Loaded l("[Option]\nstrAbout=Till Systems,\xE2\x88\x9EVersion 5\xE2\x88\x9E\xE2\x88 x\n");
    ASSERT_EQ(l.Load(), std::nullopt);
    // A broken sequence stays as it is.
    EXPECT_EQ(l.g.g_AboutText, "Till Systems,\r\nVersion 5\r\n\xE2\x88 x");

    // The Japanese code page's own sign (81 87), found only where a character starts: in
    // "\x88\x81" + "\x87\x40" the bytes 81 87 straddle two characters.
    auto sjis_lead = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; };
    const std::string marked = CodePageInfinityToMarker(
        "A\x81\x87"
        "B\x88\x81\x87\x40\x81\x87",
        "\x81\x87", sjis_lead);
    EXPECT_EQ(AboutLineBreaks(marked), "A\r\nB\x88\x81\x87\x40\r\n");
    EXPECT_EQ(CodePageInfinityToMarker("A\x81\x87", "", sjis_lead), "A\x81\x87");
}

TEST(LoadSettings, OnlyExecuteAtStartupThreeStartsMinimised) {
    for (const auto& [value, state] : {std::pair{3, WindowState::Minimized},
                                       {2, WindowState::Normal},
                                       {1, WindowState::Normal}}) {
        Loaded l("[Option]\nExecuteAtStartup=" + std::to_string(value) + "\n");
        ASSERT_EQ(l.Load(), std::nullopt);
        EXPECT_EQ(l.g.g_ExecuteAtStartup, value);
        EXPECT_EQ(l.f.window.state, state) << value;
    }
}

TEST(LoadSettings, PortProgramRunsFirstAndItsFailureEndsLoadingBeforeTheFirstKey) {
    Loaded l("[Option]\nBeepWaitTimes=8\n");
    l.rig.files.files[l.f.ProgramFile("kelvane.dat")] = std::string("\x80\x80\x00\x5A", 4);
    ASSERT_EQ(l.Load(), std::nullopt);
    ASSERT_FALSE(l.board.accesses().empty());
    EXPECT_EQ(l.board.accesses()[0].port, 0x80);
    EXPECT_EQ(l.g.g_BeepWaitTimes, 8);

    Loaded failing("[Option]\nBeepWaitTimes=8\nAddress=800\n");
    failing.rig.files.files[failing.f.ProgramFile("kelvane.dat")] = "\x81\x61";
    failing.board.set_failing(true);
    EXPECT_EQ(failing.Load(), ErrorKind::LibraryCall);
    EXPECT_EQ(failing.g.g_BeepWaitTimes, 0);
    EXPECT_EQ(failing.g.g_Address, 0x295);
    EXPECT_EQ(failing.g.g_IniPath, "");
    EXPECT_EQ(failing.f.AlarmTune[0].note, 14);
    EXPECT_EQ(AboutDetails(failing.f).at(4),
              "Settings file: C:\\Program Files\\Kelvane\\kelvane.ini (not read: the port "
              "program kelvane.dat failed)");

    // A program that is there but cannot be opened (a folder of that name, no access, held
    // by another program) is a failure too; only a missing one is skipped.
    Loaded locked("[Option]\nBeepWaitTimes=8\n");
    const std::string dat = locked.f.ProgramFile("kelvane.dat");
    locked.rig.files.files[dat] = std::string("\x80\x80\x00\x5A", 4);
    locked.rig.files.unreadable[dat] = true;
    EXPECT_EQ(locked.Load(), ErrorKind::FileError);
    EXPECT_TRUE(locked.board.accesses().empty());
    EXPECT_EQ(locked.g.g_BeepWaitTimes, 0);
    EXPECT_EQ(locked.f.findings.stopped_section, "kelvane.dat");

    // So is a settings file that is there but cannot be read: the loader stops before its
    // first key instead of reading it as empty, and no fan counts as described.
    Loaded unreadable("[Option]\nBeepWaitTimes=8\n[Export]\nTextFile=C:\\m.prom\n");
    unreadable.rig.files.files[unreadable.f.ProgramFile("kelvane.ini")] = "";
    unreadable.rig.files.unreadable[unreadable.f.ProgramFile("kelvane.ini")] = true;
    EXPECT_EQ(unreadable.Load(), ErrorKind::FileError);
    EXPECT_EQ(unreadable.g.g_BeepWaitTimes, 0);
    EXPECT_EQ(unreadable.g.g_AboutText, AboutLineBreaks(DefaultAboutText()));
    EXPECT_EQ(unreadable.g.g_ExportTextFile, "");
    EXPECT_TRUE(unreadable.f.findings.settings_unreadable);
    EXPECT_EQ(unreadable.f.findings.fan_described, (std::array<bool, 3>{}));
    EXPECT_EQ(AboutDetails(unreadable.f).at(4),
              "Settings file: C:\\Program Files\\Kelvane\\kelvane.ini (not read: it cannot be "
              "read)");

    // The metrics file the installer remembered tells the fleet of it; a readable file's
    // empty TextFile still means none, and one that stops later keeps its own.
    const char* remembered = "C:\\ProgramData\\Kelvane\\metrics\\kelvane.prom";
    struct Remembered {
        const char* what;
        std::string ini;
        bool unreadable;
        std::string text_file;
    };
    for (const Remembered& c :
         {Remembered{"unreadable", "[Export]\nTextFile=C:\\m.prom\n", true, remembered},
          Remembered{"empty TextFile", "[Export]\nTextFile=\n", false, ""},
          Remembered{"stopped", "[Option]\nAddress=70000\n[Export]\nTextFile=C:\\m.prom\n", false,
                     "C:\\m.prom"}}) {
        Loaded l(c.ini);
        l.rig.registry.metrics_file = remembered;
        if (c.unreadable) l.rig.files.unreadable[l.f.ProgramFile("kelvane.ini")] = true;
        l.rig.files.files[l.f.ProgramFile("kelvane.ini")] = "";
        l.Load();
        EXPECT_EQ(l.g.g_ExportTextFile, c.text_file) << c.what;
    }
}

// The start-up apply programs only a fan the file describes: every value its layout writes,
// from either of the fan's sections, and SwFan for a fan in software mode.
TEST(LoadSettings, FanCountsAsDescribedOnlyWithEveryValueItsLayoutProgrammes) {
    const std::string newer_keys = "[Fan Ctrl Option 0]\nS0=30\nS1=40\nS2=50\nSpeed0=20\n";
    const std::string older_keys = newer_keys +
                                   "S3=60\nS4=70\nSpeed1=30\n[Default Fan Ctrl 0]\n"
                                   "Speed2=40\n";
    struct Case {
        const char* what;
        std::string ini;
        i16 newer, delta;
        std::array<bool, 3> described;
        std::array<std::string, 3> missing{};  // a fan given in part: the keys it lacks
    };
    const Case cases[] = {
        {"no file", "", kFalse, kFalse, {}},
        {"no file, newer", "", kTrue, kTrue, {}},
        {"older layout lacks S3..Speed2",
         newer_keys,
         kFalse,
         kFalse,
         {},
         {"S3, S4, Speed1, Speed2", "", ""}},
        {"older layout, complete", older_keys, kFalse, kFalse, {true, false, false}},
        {"newer layout", newer_keys, kTrue, kFalse, {true, false, false}},
        {"delta layout lacks DeltaTemp", newer_keys, kTrue, kTrue, {}, {"DeltaTemp", "", ""}},
        {"Modulate and UserCtl describe no fan",
         "[Fan Ctrl Option 0]\nModulate=1\n[Default Fan Ctrl 1]\nUserCtl=0\nTmpAlarm=50\n",
         kTrue,
         kFalse,
         {}},
        {"Mode alone gives a fan in part",
         "[Fan Ctrl Option 2]\nMode=0\n",
         kTrue,
         kFalse,
         {},
         {"", "", "S0, S1, S2, Speed0"}},
        {"DeltaTemp from the default record",
         newer_keys + "[Default Fan Ctrl 0]\nDeltaTemp=4\n",
         kTrue,
         kTrue,
         {true, false, false}},
        {"software mode without SwFan",
         "[Default Fan Ctrl 1]\nMode=1\nS0=1\nS1=2\nS2=3\nSpeed0=4\n",
         kTrue,
         kFalse,
         {},
         {"", "SwFan", ""}},
        {"software mode with SwFan",
         "[Default Fan Ctrl 1]\nMode=1\nS0=1\nS1=2\nS2=3\nSpeed0=4\n[Fan Ctrl Option "
         "1]\nSwFan=50\n",
         kTrue,
         kFalse,
         {false, true, false}},
    };
    for (const Case& c : cases) {
        Loaded l(c.ini, c.newer, c.delta);
        l.f.findings.chip_identified = true;
        ASSERT_EQ(l.Load(), std::nullopt) << c.what;
        EXPECT_EQ(l.f.findings.fan_described, c.described) << c.what;
        // A fan given in part is a set-up problem naming the fan and what it lacks.
        bool partial = false;
        for (size_t n = 0; n < 3; ++n) {
            std::string missing;
            for (const std::string& key : l.f.findings.fan_keys_missing[n])
                missing += (missing.empty() ? "" : ", ") + key;
            EXPECT_EQ(missing, c.missing[n]) << c.what << " " << n;
            partial = partial || !missing.empty();
        }
        EXPECT_EQ(HasSetupProblem(l.f, SetupReason::FanSettingsPartial), partial) << c.what;
        if (c.ini == newer_keys && !c.newer) {
            EXPECT_EQ(SetupShortText(l.f, SetupReason::FanSettingsPartial),
                      "Check settings: System Fan (fan 0) lacks S3, S4, Speed1, Speed2");
            EXPECT_NE(SetupFullText(l.f, SetupReason::FanSettingsPartial)
                          .find("System Fan (fan 0, [Fan Ctrl Option 0] or [Default Fan Ctrl 0]) "
                                "lacks S3, S4, Speed1, Speed2"),
                      std::string::npos);
        }
        // About names each fan that keeps the chip's own settings, until an apply covers it.
        StartupApplyScope(l.f.findings);
        l.f.last_apply.fans[2].covered = true;
        const auto details = AboutDetails(l.f);
        for (int n = 0; n < 3; ++n) {
            const std::string line = "fan " + std::to_string(n) +
                                     ": the chip's own settings (kelvane.ini does not set them)";
            EXPECT_EQ(std::count(details.begin(), details.end(), line),
                      c.described[static_cast<size_t>(n)] || n == 2 ? 0 : 1)
                << c.what << " " << n;
        }
    }
}

// The design skin's frames take in what they group, wherever the settings put it, and
// leave the logo and the command labels outside.
TEST(DesignSkin, FramesHoldTheirControlsAndTheFanUnit) {
    Loaded l("[Label Option 5]\nTop=5300\n");  // VIN2 moved below VIN8
    ASSERT_EQ(l.Load(), std::nullopt);
    const MainWindowModel& w = l.f.window;
    const SkinLayout s = DesignSkinLayout(w);
    auto box = [](const Control& c) {
        return TwipRect{c.left, c.top, c.left + c.width, c.top + c.height};
    };
    auto inside = [](const TwipRect& frame, const TwipRect& r) {
        return frame.left < r.left && frame.top < r.top && r.right < frame.right &&
               r.bottom < frame.bottom;
    };
    auto apart = [](const TwipRect& a, const TwipRect& b) {
        return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
    };
    for (int g = 0; g < 3; ++g) {
        EXPECT_TRUE(inside(s.frames[g], box(w.KelvaneLabel[17 + g]))) << g;
        EXPECT_TRUE(inside(s.frames[g], box(w.Image1[g]))) << g;
        EXPECT_TRUE(inside(s.frames[0], box(w.LedPic[g]))) << g;
        EXPECT_TRUE(inside(s.frames[1], box(w.FanLed[g]))) << g;
        EXPECT_TRUE(apart(s.frames[g], box(w.Logo))) << g;
        EXPECT_TRUE(apart(s.frames[g], s.frames[(g + 1) % 3])) << g;
        // The unit sits right on top of its own display, clear of every display and title.
        const TwipRect& unit = s.rpm[g];
        EXPECT_TRUE(inside(s.frames[1], unit)) << g;
        EXPECT_EQ(unit.bottom, w.FanLed[g].top);
        EXPECT_EQ(unit.right, w.FanLed[g].left + w.FanLed[g].width);
        for (const Control& other : w.FanLed) EXPECT_TRUE(apart(unit, box(other))) << g;
        EXPECT_TRUE(apart(unit, box(w.KelvaneLabel[18]))) << g;
    }
    for (int v = 0; v < 9; ++v) {
        const Control& name = w.KelvaneLabel[3 + v];
        EXPECT_TRUE(inside(s.frames[2], box(name))) << v;
        // Clear of the window's left edge and of the frame's, and of its own value.
        EXPECT_GE(name.left, 240) << v;
        EXPECT_GE(name.left - s.frames[2].left, 120) << v;
        EXPECT_TRUE(apart(box(name), box(w.TempLabel[v]))) << v;
    }
    EXPECT_EQ(w.KelvaneLabel[5].top, 5300);
    for (int c = 12; c <= 15; ++c) EXPECT_FALSE(inside(s.frames[2], box(w.KelvaneLabel[c]))) << c;
}

TEST(StartupReads, AddressKeepsTheDefaultPortWhenItDoesNotFit) {
    Loaded l("[Option]\nAddress=70000\n");
    EXPECT_THROW(ReadAddress(l.f), RuntimeError);
    EXPECT_EQ(l.g.g_Address, 0x295);
    Loaded moved("[Option]\naddress=0800\n");
    ReadAddress(moved.f);
    EXPECT_EQ(moved.g.g_Address, 800);
    // The profile function's own integer rules: a lower-case base prefix, a 32-bit total that
    // wraps, an empty value that gives the default.
    for (const auto& [text, port] : {std::pair{"0x2A5", 0x2A5},
                                     {"0X2A5", 0},
                                     {"0o17", 15},
                                     {"0b101", 5},
                                     {"+7", 7},
                                     {"4294967957", 661},
                                     {"", 0x295}}) {
        Loaded l2(std::string("[Option]\nAddress=") + text + "\n");
        ReadAddress(l2.f);
        EXPECT_EQ(l2.g.g_Address, port) << text;
    }
}

TEST(StartupReads, BackColorGoesToTheWindow) {
    Loaded l("[Option]\nBackColor=2147483653\n");  // system colour 5 (window background)
    ReadBackColor(l.f);
    EXPECT_EQ(l.g.g_BackColor, 0x80000005u);
    EXPECT_EQ(l.f.window.back_color, 0x80000005u);

    Loaded bad("[Option]\nBackColor=16777216\n");
    EXPECT_THROW(ReadBackColor(bad.f), RuntimeError);
    EXPECT_EQ(bad.g.g_BackColor, 0u);
}

TEST(StartupReads, VoltageReferencesAreStoredInVolts) {
    Loaded l("[Option]\nN12VREF=5000\nP5VRa=70\n");
    ReadVoltageFactors(l.f);
    const VoltageFactors& v = l.g.factors;
    EXPECT_DOUBLE_EQ(v.N5VREF, 4.096);
    EXPECT_DOUBLE_EQ(v.N12VREF, 5.0);
    EXPECT_EQ(v.P5VRa, 70);
    EXPECT_EQ(v.P5VRb, 100);
    EXPECT_EQ(v.P12VRa, 300);
    EXPECT_EQ(v.P12VRb, 100);
    EXPECT_EQ(v.N5VRin, 120);
    EXPECT_EQ(v.N5VRf, 56);
    EXPECT_EQ(v.N12VRin, 232);
    EXPECT_EQ(v.N12VRf, 56);
}

}  // namespace
}  // namespace kelvane
