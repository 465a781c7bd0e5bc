#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "board/board.h"
#include "history/csv.h"
#include "maintenance/baseline.h"
#include "maintenance/compare.h"
#include "maintenance/maintenance_notice.h"
#include "setup/setup_problem.h"
#include "support/fakes.h"

namespace kelvane::maintenance {
namespace {

using history::kFirstFan;
using history::MinuteRow;

constexpr std::size_t kSystemFan = 0, kCpuFan = 1, kCooling = 2;

// A normal minute: fans 0 and 1 held `step0`/`step1` (PWM) at the given speeds.
MinuteRow Minute(int step0, double rpm0, int step1, double rpm1, double system, double cpu) {
    MinuteRow r;
    r.samples = 60;
    r.step = {step0, step1};
    r.stat[0] = {true, system, system, system};
    r.stat[1] = {true, cpu, cpu, cpu};
    r.stat[kFirstFan] = {true, rpm0, rpm0, rpm0};
    r.stat[kFirstFan + 1] = {true, rpm1, rpm1, rpm1};
    return r;
}

// 240 healthy minutes: the system fan 160 at step 20 (3,000 rpm) and 80 at step 4 (1,500);
// the CPU fan 80 at step 20 (3,300 rpm, 10 C over the case), 120 at step 4, where it stalls
// (6 C over), and 40 at step 0: too few for a median.
Learner Healthy() {
    Learner l;
    for (int i = 0; i < 240; ++i) {
        const int cpu_step = i < 80 ? 20 : i < 200 ? 4 : 0;
        const double rise = cpu_step == 20 ? 10 : 6;
        l.Take(Minute(i % 3 == 2 ? 4 : 20, i % 3 == 2 ? 1500 : 3000, cpu_step,
                      cpu_step == 20 ? 3300 : 0, 35, 35 + rise));
    }
    return l;
}

TEST(MaintenanceBaseline, MediansPerStepOnlyWhereTheFanTurnsAndEnoughMinutesFromRowsWithSteps) {
    // Rows written before the steps were kept do not start the period.
    Learner l;
    MinuteRow old = Minute(20, 3000, 20, 3300, 35, 45);
    old.has_step = false;
    old.step = {-1, -1};
    l.Take(old);
    EXPECT_FALSE(l.started());
    EXPECT_EQ(l.rows(), 0);
    // A minute with a fault or a change of step counts in the period, for no step.
    MinuteRow mixed = Minute(-1, 2000, -1, 2000, 35, 45);
    l.Take(mixed);
    EXPECT_EQ(l.rows(), 1);
    EXPECT_EQ(l.summaries().cpu_minutes(), 0);

    const Baseline b = BaselineOf(Healthy().summaries(), 240);
    EXPECT_EQ(MinutesNeeded(240), 60);
    EXPECT_EQ(MinutesNeeded(3), 1);
    EXPECT_EQ(b.speed[0][2], 3000.0);
    EXPECT_EQ(b.speed[0][1], 1500.0);
    EXPECT_FALSE(b.speed[0][0]);
    EXPECT_EQ(b.speed[1][2], 3300.0);
    EXPECT_FALSE(b.speed[1][1]);  // 120 minutes, but a stalled fan has nothing to compare
    EXPECT_FALSE(b.speed[1][0]);  // 40 minutes: not enough
    EXPECT_EQ(b.rise[2], 10.0);
    EXPECT_EQ(b.rise[1], 6.0);
    EXPECT_FALSE(b.rise[0]);
    ASSERT_TRUE(b.top_share);
    EXPECT_NEAR(*b.top_share, 1.0 / 3, 1e-9);

    // Kept whole and read back the same; a text torn or altered reads as nothing.
    Baseline kept = b;
    kept.learned = 1781257531;
    kept.learned_date = "2026-06-12";
    const std::string text = BaselineText(kept);
    const auto back = ParseBaseline(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(BaselineText(*back), text);
    EXPECT_FALSE(ParseBaseline(text.substr(0, text.size() - 5)));
    std::string altered = text;
    altered[altered.find("3300")] = '2';
    EXPECT_FALSE(ParseBaseline(altered));

    // Learning resumes after a restart from its progress text.
    Learner resumed;
    ASSERT_TRUE(resumed.ReadProgress(Healthy().ProgressText()));
    EXPECT_EQ(resumed.rows(), 240);
    EXPECT_EQ(BaselineText(BaselineOf(resumed.summaries(), 240)), BaselineText(b));
    EXPECT_FALSE(resumed.ReadProgress(text));
}

// Twenty minutes in a window of 20, so the window holds them alone.
void Fill(Window& w, const MinuteRow& row, int minutes = 20) {
    for (int i = 0; i < minutes; ++i) w.Take(row);
}

TEST(MaintenanceCompare, FindsAWornFanAndCloggedCoolingButNotAStepChangeOrAHotDay) {
    const Baseline b = BaselineOf(Healthy().summaries(), 240);
    const Thresholds t{25, 8};
    MaintenanceState s;
    Window w(20);

    // At step 4 the system fan turns half as fast as at step 20: no notice, and the
    // stalled CPU fan at step 4 has no ratio. A hot day lifts both temperatures alike.
    Fill(w, Minute(4, 1500, 4, 0, 50, 56));
    Compare(b, w, t, s);
    EXPECT_DOUBLE_EQ(s.fan_ratio[0], 1.0);
    EXPECT_TRUE(std::isnan(s.fan_ratio[1]));
    EXPECT_EQ(s.fan_baseline_rpm[0], 1500);  // the line the History window draws
    EXPECT_TRUE(std::isnan(s.fan_baseline_rpm[1]));
    EXPECT_DOUBLE_EQ(s.rise_excess, 0);
    EXPECT_FALSE(s.any_notice());

    // 21 % slower is short of the threshold; 31 % is past it. The CPU fan spends about
    // two thirds of the window at the top step, short of twice its third before.
    const auto cpu_fan = [&](double rpm) {
        Fill(w, Minute(20, 3000, 4, 0, 35, 41), 7);
        Fill(w, Minute(20, 3000, 20, rpm, 35, 45), 13);
        Compare(b, w, t, s);
    };
    cpu_fan(2600);
    EXPECT_FALSE(s.notice[kCpuFan]);
    cpu_fan(2280);
    EXPECT_TRUE(s.notice[kCpuFan]);
    EXPECT_FALSE(s.notice[kSystemFan] || s.notice[kCooling]);
    EXPECT_NEAR(s.fan_ratio[1], 2280.0 / 3300, 1e-9);
    EXPECT_EQ(s.fan_baseline_rpm[1], 3300);
    EXPECT_EQ(s.text[kCpuFan],
              "The CPU fan turns 31 % slower than it did (2,280 rpm at step 20, was 3,300): clean "
              "or replace it.");
    EXPECT_EQ(s.tip[kCpuFan], "The CPU fan turns 31 % slower than it did: clean or replace it.");
    // Hysteresis: 18 % slower still holds it, 9 % ends it.
    cpu_fan(2700);
    EXPECT_TRUE(s.notice[kCpuFan]);
    cpu_fan(3000);
    EXPECT_FALSE(s.notice[kCpuFan]);

    // A clogged heatsink by its rise, at a share of the top step as before...
    Fill(w, Minute(20, 3000, 20, 3300, 35, 45), 7);
    Fill(w, Minute(20, 3000, 4, 0, 35, 50), 13);
    Compare(b, w, t, s);
    EXPECT_DOUBLE_EQ(s.rise_excess, 9);
    EXPECT_TRUE(s.notice[kCooling]);
    EXPECT_EQ(s.text[kCooling],
              "The CPU runs 9 \xB0"
              "C hotter over the case than it did: clean the cooling.");
    Fill(w, Minute(20, 3000, 4, 0, 35, 46), 13);
    Compare(b, w, t, s);
    EXPECT_TRUE(s.notice[kCooling]);  // 5 C over: within the hysteresis
    Fill(w, Minute(20, 3000, 4, 0, 35, 44), 13);
    Compare(b, w, t, s);
    EXPECT_FALSE(s.notice[kCooling]);
    // ...and by its share: the same rise, but the CPU fan at the top step all the time.
    Fill(w, Minute(20, 3000, 20, 3300, 35, 45));
    Compare(b, w, t, s);
    EXPECT_DOUBLE_EQ(s.rise_excess, 0);
    EXPECT_TRUE(s.notice[kCooling]);
    EXPECT_EQ(s.text[kCooling],
              "The CPU fan runs at its top step 100 % of the time, it was 33 %: clean the "
              "cooling.");
}

struct Disk : FileReplacer {
    testing::FakeFiles& files;
    int writes = 0;
    explicit Disk(testing::FakeFiles& f) : files(f) {}
    bool Replace(const std::string& path, std::string_view data) override {
        ++writes;
        files.files[path] = std::string(data);
        return true;
    }
};

constexpr const char* kFolder = "C:\\ProgramData\\Kelvane";

// A running Kelvane over the files that outlive it.
struct Terminal {
    board::Board board;
    testing::Rig rig{board};
    Disk disk;
    const std::string folder = kFolder;
    MaintenanceNotice notice{rig.files, disk, rig.clock, [this] { return &folder; }};
    explicit Terminal(const testing::FakeFiles& kept) : disk(rig.files) {
        rig.files = kept;
        rig.form.settings.g_BaselineMinutes = 3;
        rig.form.settings.g_WindowMinutes = 2;
        notice.BeforeTell(rig.form);
    }
    void Minutes(int n, double cpu_rpm) {
        for (int i = 0; i < n; ++i) {
            notice.TakeMinute(Minute(20, 3000, 20, cpu_rpm, 35, 45));
            notice.BeforeTell(rig.form);
        }
    }
    const MaintenanceState& state() const { return rig.form.maintenance; }
};

TEST(MaintenanceNotice,
     BaselineKeptOnceSurvivesARestartATornFileIsASetupProblemDeletingStartsOver) {
    const std::string baseline = std::string(kFolder) + "\\" + kBaselineFile;
    testing::FakeFiles kept;
    {
        Terminal run(kept);
        run.Minutes(2, 3300);
        EXPECT_FALSE(run.state().baseline_ready);
        EXPECT_EQ(run.rig.files.files.count(baseline), 0u);
        run.notice.BeforeUnload(run.rig.form);  // two minutes learned, kept for the next run
        kept = run.rig.files;
    }
    {
        Terminal run(kept);
        EXPECT_EQ(run.notice.learner().rows(), 2);
        run.Minutes(1, 3300);
        EXPECT_TRUE(run.state().baseline_ready);
        ASSERT_EQ(run.rig.files.files.count(baseline), 1u);
        const int writes = run.disk.writes;
        run.Minutes(3, 3300);
        EXPECT_EQ(run.disk.writes, writes);  // written once
        EXPECT_FALSE(run.state().any_notice());
        kept = run.rig.files;
    }
    {
        Terminal run(kept);
        EXPECT_TRUE(run.state().baseline_ready);
        run.Minutes(2, 2000);
        EXPECT_TRUE(run.state().notice[kCpuFan]);
        EXPECT_EQ(run.state().started_over, 0u);
    }
    // A torn file: nothing compared, nothing learned again, the file left as it is.
    kept.files[baseline].resize(kept.files[baseline].size() - 4);
    {
        Terminal run(kept);
        EXPECT_FALSE(run.state().baseline_ready);
        EXPECT_TRUE(HasSetupProblem(run.rig.form, SetupReason::BaselineUnreadable));
        run.Minutes(5, 2000);
        EXPECT_FALSE(run.state().baseline_ready || run.state().any_notice());
        EXPECT_EQ(run.rig.files.files[baseline], kept.files[baseline]);
        // A file that cannot be opened for a while (its share gone) is not a deleted one.
        const std::string torn = run.rig.files.files[baseline];
        run.rig.files.files.erase(baseline);
        run.rig.files.unreadable[baseline] = true;
        run.Minutes(1, 2000);
        EXPECT_EQ(run.state().started_over, 0u);
        run.rig.files.unreadable.erase(baseline);
        run.rig.files.files[baseline] = torn;
        // The technician deletes it: learning starts over, told once.
        run.rig.files.files.erase(baseline);
        run.Minutes(3, 2000);
        EXPECT_FALSE(HasSetupProblem(run.rig.form, SetupReason::BaselineUnreadable));
        EXPECT_EQ(run.state().started_over, 1u);
        EXPECT_TRUE(run.state().baseline_ready);
        EXPECT_FALSE(run.state().any_notice());  // the new normal is 2,000 rpm
    }
}

}  // namespace
}  // namespace kelvane::maintenance
