#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/about_details.h"
#include "app/load_settings.h"
#include "app/policy_change.h"
#include "board/board.h"
#include "export/metrics_text.h"
#include "policy/policy_keys.h"
#include "policy/policy_values.h"
#include "setup/setup_problem.h"
#include "support/fakes.h"
#include "unit/options_fixture.h"

namespace kelvane {
namespace {

using policy::InForce;
using policy::PolicyReading;
using Kind = PolicyReading::Kind;

PolicyReading Reading(const char* section, const char* key, Kind kind, std::uint32_t number,
                      std::string text = {}) {
    return {*policy::FindPolicyKey(section, key), kind, number, std::move(text)};
}
PolicyReading Number(const char* section, const char* key, std::uint32_t n) {
    return Reading(section, key, Kind::Number, n);
}

TEST(PolicyValues, TypesRangesAndChanges) {
    const InForce in_force({
        Number("Fan Ctrl Option 1", "S2", 60),
        Number("Fan Ctrl Option 1", "S1", 300),
        Number("Fan Ctrl Option 2", "Speed0", 0xFFFFFFFFu),
        Reading("Option", "DisplayOnTop", Kind::Text, 0, "1"),
        Reading("Export", "TextFile", Kind::Text, 0, "  C:\\m\\k.prom "),
        Reading("History", "Days", Kind::Other, 0),
        Number("History", "Days", 0),
    });
    EXPECT_EQ(in_force.Value("Fan Ctrl Option 1", "S2"), "60");
    // Names compare as the profile compares them.
    EXPECT_EQ(in_force.Value("fan ctrl option 1", "s2"), "60");
    EXPECT_EQ(in_force.Value("Export", "TextFile"), "C:\\m\\k.prom");
    for (auto [section, key] : {std::pair{"Fan Ctrl Option 1", "S1"},
                                {"Fan Ctrl Option 2", "Speed0"},
                                {"Option", "DisplayOnTop"},
                                {"History", "Days"},
                                {"Fan Ctrl Option 0", "S2"}})
        EXPECT_FALSE(in_force.Sets(section, key)) << section << "\\" << key;
    EXPECT_EQ(in_force.count(), 2u);
    EXPECT_EQ(in_force.Lines(), (std::vector<std::string>{"Fan Ctrl Option 1\\S2=60",
                                                          "Export\\TextFile=C:\\m\\k.prom"}));
    EXPECT_EQ(in_force.problems(),
              (std::vector<std::string>{
                  "Policy Fan Ctrl Option 1\\S1=300 is outside 0..100; kelvane.ini's value is used",
                  "Policy Fan Ctrl Option 2\\Speed0=4294967295 is outside 0..127; kelvane.ini's "
                  "value is used",
                  "Policy Option\\DisplayOnTop is not a number (REG_DWORD); kelvane.ini's value "
                  "is used",
                  "Policy History\\Days is not a number (REG_DWORD); kelvane.ini's value is used",
                  "Policy History\\Days=0 is outside 1..3650; kelvane.ini's value is used"}));
    EXPECT_EQ(InForce({Number("Export", "TextFile", 1)}).problems(),
              std::vector<std::string>{
                  "Policy Export\\TextFile is not a text (REG_SZ); kelvane.ini's value is used"});

    // Rewritten as it was: no change. Set, removed or different: named.
    const InForce again({Number("Fan Ctrl Option 1", "S2", 60),
                         Reading("Export", "TextFile", Kind::Text, 0, "C:\\m\\k.prom")});
    EXPECT_TRUE(policy::ChangedKeys(in_force, again).empty());
    EXPECT_EQ(InForce({Reading("Export", "TextFile", Kind::Text, 0, std::string(2000, 'x'))})
                  .Value("Export", "TextFile")
                  ->size(),
              1023u);
    const InForce next(
        {Number("Fan Ctrl Option 1", "S2", 61), Number("Option", "DisplayOnTop", 1)});
    EXPECT_EQ(policy::KeyNames(policy::ChangedKeys(in_force, next)),
              "Fan Ctrl Option 1\\S2, Option\\DisplayOnTop, Export\\TextFile");
}

// Every fan has the same rules, the ones the options dialog enforces.
TEST(PolicyValues, FanRulesAreTheDialogs) {
    for (int n = 0; n < 3; ++n) {
        const std::string section = "Fan Ctrl Option " + std::to_string(n);
        for (const char* key : {"Mode", "S0", "S1", "S2", "S3", "S4", "DeltaTemp", "Speed0",
                                "Speed1", "Speed2", "SwFan", "TmpAlarm"}) {
            const auto i = policy::FindPolicyKey(section, key);
            ASSERT_TRUE(i) << section << key;
            EXPECT_EQ(policy::PolicyKeys()[*i].max, policy::FanKeyRule(key).max);
        }
    }
    testing::OptionsRig rig(kTrue, kTrue);
    Form2& d = rig.Open();
    EXPECT_EQ(d.CtrSlider[0].max(), 100);
    EXPECT_EQ(d.CtrSlider[4].max(), policy::FanKeyRule("DeltaTemp").max);
    EXPECT_EQ(d.FanSpeedSlider[0].max(), 127);
    EXPECT_EQ(d.Slider1.max(), 127);
    EXPECT_EQ(d.Slider2.max(), 100);
}

constexpr const char* kFans =
    "[Fan Ctrl Option 1]\nMode=0\nS0=30\nS1=40\nS2=50\nS3=60\nS4=70\nSpeed0=10\nSpeed1=20\n"
    "Speed2=30\n[Export]\nTextFile=C:\\ini.prom\n";

struct PolicyRig {
    explicit PolicyRig(const std::string& ini) : rig(board, ini) {
        f.findings.chip_identified = true;
    }
    std::optional<ErrorKind> Load() {
        try {
            LoadSettings(f);
            return std::nullopt;
        } catch (const RuntimeError& e) {
            return e.kind();
        }
    }
    board::Board board;
    testing::Rig rig;
    Form1& f = rig.form;
};

TEST(PolicySettings, PolicyThenFileThenDefault) {
    PolicyRig r(kFans);
    r.f.policy =
        InForce({Number("Fan Ctrl Option 1", "S2", 65), Number("Fan Ctrl Option 0", "S1", 20),
                 Reading("Export", "TextFile", Kind::Text, 0, "C:\\policy.prom"),
                 Number("Fan Ctrl Option 1", "S3", 101)});
    ASSERT_EQ(r.Load(), std::nullopt);
    const Settings& g = r.f.settings;
    EXPECT_EQ(g.g_FanCtrl[1].S[2], 65);  // policy over the file
    EXPECT_EQ(g.g_FanCtrl[1].S[3], 60);  // out of range: the file's
    EXPECT_EQ(g.g_FanCtrl[1].S[1], 40);  // the file's
    EXPECT_EQ(g.g_FanCtrl[0].S[1], 20);  // policy over the default
    EXPECT_EQ(g.g_FanCtrl[0].S[2], 0);   // the default
    EXPECT_EQ(g.g_ExportTextFile, "C:\\policy.prom");
    // The policy's value counts as the file's would; a policy alone gives no record in part.
    EXPECT_EQ(r.f.findings.fan_described, (std::array<bool, 3>{false, true, false}));
    EXPECT_FALSE(HasSetupProblem(r.f, SetupReason::FanSettingsPartial));
    ASSERT_TRUE(HasSetupProblem(r.f, SetupReason::PolicyRejected));
    EXPECT_EQ(SetupShortText(r.f, SetupReason::PolicyRejected),
              "Policy Fan Ctrl Option 1\\S3=101 is outside 0..100; kelvane.ini's value is used");
    // Told to the technician and the fleet.
    const std::vector<std::string> about = AboutDetails(r.f);
    EXPECT_NE(std::find(about.begin(), about.end(), "Set by policy: Fan Ctrl Option 1\\S2=65"),
              about.end());
    const std::string metrics(MetricsFile().Text(r.f, 0));
    EXPECT_NE(metrics.find("\nkelvane_policy_values 3\n"), std::string::npos);
    EXPECT_NE(metrics.find("kelvane_setup_problem{reason=\"policy_value_rejected\"} 1"),
              std::string::npos);

    // A file that cannot be read still leaves the fleet the policy's metrics file.
    PolicyRig unreadable("");
    unreadable.rig.files.unreadable["C:\\Program Files\\Kelvane\\kelvane.ini"] = true;
    unreadable.rig.registry.metrics_file = "C:\\installer.prom";
    unreadable.f.policy = InForce({Reading("Export", "TextFile", Kind::Text, 0, "C:\\p.prom")});
    EXPECT_TRUE(unreadable.Load());
    EXPECT_EQ(unreadable.f.settings.g_ExportTextFile, "C:\\p.prom");
}

TEST(PolicySettings, ChangePutInForceWithoutSaving) {
    PolicyRig r(kFans);
    ASSERT_EQ(r.Load(), std::nullopt);
    const std::string file = r.rig.profile.Text();
    const std::size_t s2 = *policy::FindPolicyKey("Fan Ctrl Option 1", "S2");

    EXPECT_EQ(PutPolicyInForce(r.f, InForce({Number("Fan Ctrl Option 1", "S2", 66)})),
              std::vector<std::size_t>{s2});
    EXPECT_EQ(r.f.settings.g_FanCtrl[1].S[2], 66);
    EXPECT_TRUE(r.f.last_apply.fans[1].covered);
    EXPECT_EQ(r.f.last_apply.fans[1].settings.S[2], 66);
    // A fan the file leaves to the chip stays so.
    EXPECT_FALSE(r.f.last_apply.fans[0].covered);
    EXPECT_EQ(r.rig.profile.Text(), file);

    // Only what changed is applied: the history's days and the notice's window program no fan.
    r.f.last_apply.fans[1].covered = false;
    const std::size_t days = *policy::FindPolicyKey("History", "Days");
    const std::size_t window = *policy::FindPolicyKey("Maintenance", "WindowMinutes");
    EXPECT_EQ(PutPolicyInForce(r.f, InForce({Number("Fan Ctrl Option 1", "S2", 66),
                                             Number("History", "Days", 90),
                                             Number("Maintenance", "WindowMinutes", 60)})),
              (std::vector<std::size_t>{days, window}));
    EXPECT_EQ(r.f.settings.g_HistoryDays, 90);
    EXPECT_EQ(r.f.settings.g_WindowMinutes, 60);
    EXPECT_FALSE(r.f.last_apply.fans[1].covered);

    // The same values rewritten change nothing; a refused one is told all the same.
    EXPECT_TRUE(PutPolicyInForce(r.f, InForce({Number("Fan Ctrl Option 1", "S2", 66),
                                               Number("History", "Days", 90),
                                               Number("Maintenance", "WindowMinutes", 60),
                                               Number("Option", "SoundWarnning", 9)}))
                    .empty());
    EXPECT_FALSE(r.f.last_apply.fans[1].covered);
    EXPECT_TRUE(HasSetupProblem(r.f, SetupReason::PolicyRejected));

    // Removed: the file's value back, on the chip too.
    EXPECT_EQ(PutPolicyInForce(r.f, InForce()), (std::vector<std::size_t>{s2, days, window}));
    EXPECT_EQ(r.f.settings.g_FanCtrl[1].S[2], 50);
    EXPECT_EQ(r.f.settings.g_HistoryDays, 31);
    EXPECT_EQ(r.f.settings.g_WindowMinutes, 1440);
    EXPECT_EQ(r.f.last_apply.fans[1].settings.S[2], 50);
    EXPECT_FALSE(HasSetupProblem(r.f, SetupReason::PolicyRejected));
    EXPECT_EQ(r.rig.profile.Text(), file);
}

TEST(PolicySettings, DialogGreysWhatAPolicySetsAndNeverSavesIt) {
    testing::OptionsRig rig;
    rig.rig.profile.WriteString("Fan Ctrl Option 0", "S2", "55");
    rig.f.policy =
        InForce({Number("Fan Ctrl Option 0", "S2", 80), Number("Fan Ctrl Option 0", "Mode", 0),
                 Number("Option", "DisplayOnTop", 1)});
    rig.g.g_FanCtrl[0].S[2] = 80;
    rig.g.g_DisplayOnTop = 1;
    Form2& d = rig.Open();

    rig.Select("System Fan");
    for (int k = 0; k < 5; ++k) {
        EXPECT_FALSE(d.CtrSlider[k].enabled) << k;
        EXPECT_FALSE(d.CtrText[k].enabled) << k;
    }
    EXPECT_TRUE(d.FanSpeedSlider[0].enabled);
    EXPECT_FALSE(d.FanCtrlMode[0].enabled);
    EXPECT_FALSE(d.FanCtrlMode[1].enabled);
    EXPECT_TRUE(d.PolicyNote.visible);
    EXPECT_EQ(d.PolicyNote.caption, "Some settings are managed by your administrator.");
    // The reset leaves the policy's group alone and resets the rest.
    d.ResetDefault_Click();
    EXPECT_EQ(d.CtrSlider[2].value(), 80);
    EXPECT_EQ(d.FanSpeedSlider[0].value(), 20);

    rig.Select("CPU Fan");
    EXPECT_TRUE(d.CtrSlider[2].enabled);
    EXPECT_TRUE(d.FanCtrlMode[1].enabled);
    EXPECT_FALSE(d.PolicyNote.visible);
    rig.Select("Advanced");
    EXPECT_FALSE(d.Check1.enabled);
    EXPECT_TRUE(d.Check2.enabled);
    EXPECT_TRUE(d.PolicyNote.visible);
    rig.Select("Voltage");
    EXPECT_FALSE(d.PolicyNote.visible);

    d.ApplyCmdButon_Click();
    const IniText& file = rig.rig.profile;
    EXPECT_EQ(file.Text().find("DisplayOnTop"), std::string::npos);
    EXPECT_EQ(rig.rig.profile.GetString("Fan Ctrl Option 0", "S2", ""), "55");
    EXPECT_EQ(rig.rig.profile.GetString("Fan Ctrl Option 0", "Speed0", ""), "20");
    EXPECT_EQ(rig.rig.profile.GetString("Fan Ctrl Option 1", "S2", ""), "55");
    EXPECT_EQ(rig.g.g_FanCtrl[0].S[2], 80);

    // The policy removed while the dialog is open: the file's value, free to edit again.
    const std::vector<std::size_t> changed = policy::ChangedKeys(rig.f.policy, InForce());
    rig.f.policy = InForce();
    rig.g.g_FanCtrl[0].S[2] = 55;
    rig.g.g_DisplayOnTop = 0;
    d.PolicyChanged(changed);
    EXPECT_TRUE(d.Check1.enabled);
    EXPECT_EQ(d.Check1.value(), 0);
    rig.Select("System Fan");
    EXPECT_TRUE(d.CtrSlider[2].enabled);
    EXPECT_EQ(d.CtrSlider[2].value(), 55);
    EXPECT_FALSE(d.PolicyNote.visible);
}

}  // namespace
}  // namespace kelvane
