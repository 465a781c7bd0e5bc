// A long run of the monitor cycle on a machine that misbehaves in every way the cycle has
// to survive: readings, fan counts and limits that change at random, driver calls that fail
// (also in the middle of a tick), log files that stop and start accepting writes, and the
// history file coming and going. Seeded, so a failure names a tick that can be replayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>

#include "app/load_settings.h"
#include "board/board.h"
#include "chip/chip_identification.h"
#include "chip/expression.h"
#include "monitor/alarm_log.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "state/channels.h"
#include "state/chip_views.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// About 6 us a tick in a Release build and 100 us under AddressSanitizer: the full run
// stays well inside the sanitizer tier's budget.
constexpr int kTicks = 100000;
constexpr std::uint32_t kSeed = 20061207;

constexpr std::uint16_t kMonitorPort = 0x295;

// The registers the cycle may write, and the ports of the speaker tune.
const std::set<int> kWritableRegisters = {0x13, 0x14, 0x15, 0x16, 0x17, 0x51,
                                          0x65, 0x66, 0x67, 0x6D, 0x6E, 0x6F};
const std::set<int> kSpeakerPorts = {0x42, 0x43, 0x61};

// The board behind a driver that can start failing at a chosen call of the coming tick.
class FlakyDriver : public PortDriver {
  public:
    explicit FlakyDriver(board::Board& b) : board_(b) {}

    // Calls from now until the board fails; negative: no failure planned.
    void FailAfter(int calls) { fail_after_ = calls; }
    bool failed() const { return failed_; }
    void StartTick() { failed_ = false; }

    std::uint8_t Inb(std::uint16_t port) override {
        return Call([&] { return board_.Inb(port); });
    }
    void Outb(std::uint16_t port, std::uint8_t value) override {
        Call([&] {
            board_.Outb(port, value);
            return 0;
        });
    }
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) override {
        return Call([&] { return board_.ReadReg(index_port, reg); });
    }
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) override {
        Call([&] {
            board_.WriteReg(index_port, reg, value);
            return 0;
        });
    }

  private:
    template <typename F>
    std::uint8_t Call(F call) {
        if (fail_after_ == 0) board_.set_failing(true);
        if (fail_after_ >= 0) --fail_after_;
        try {
            return static_cast<std::uint8_t>(call());
        } catch (const RuntimeError&) {
            failed_ = true;
            throw;
        }
    }
    board::Board& board_;
    int fail_after_ = -1;
    bool failed_ = false;
};

// What the run did, so that the test can show the faults it injected really happened.
struct Tally {
    int failing_ticks = 0, mid_tick_failures = 0, unwritable_ticks = 0, history_toggles = 0;
    int critical_ticks = 0, error_windows = 0, records = 0, tones = 0, waves = 0;
    std::array<int, 5> codes{};
    int max_counter = 0, speaker_left_on = 0;
};

// Total text the form holds; a cycle that appends instead of replacing would grow it.
std::size_t Footprint(const Form1& f) {
    std::size_t n = f.monitor.g_ErrorMsg.size();
    const MainWindowModel& w = f.window;
    auto add = [&n](const Control& c) { n += c.caption.size() + c.tag.size(); };
    for (const auto& c : w.KelvaneLabel) add(c);
    for (const auto& c : w.TempLabel) add(c);
    for (const auto& c : w.Text) add(c);
    for (const auto& c : w.LedPic) add(c);
    for (const auto& c : w.FanLed) add(c);
    add(w.Label1);
    add(w.Label3);
    return n;
}

constexpr const char* kSoakIni =
    "[Option]\n"
    "SoundWarnning=2\n"
    "BeepWaitTimes=3\n"
    "[Default Fan Ctrl 0]\n"
    "Mode=1\nTmpAlarm=70\n"
    "[Default Fan Ctrl 1]\n"
    "Mode=0\nS0=30\nS1=40\nS2=60\nSpeed0=40\n"
    "[Default Fan Ctrl 2]\n"
    "Mode=1\nTmpAlarm=60\n"
    // The panel channel goes through ReadingTable; readings above 109 overflow there and
    // keep their entry.
    "Modulate=?T>100,X=T*300\n";

class Soak {
  public:
    explicit Soak(const std::string& board)
        : rng_(kSeed), board_(board), driver_(board_), rig_(driver_, kSoakIni) {
        Form1& f = rig_.form;
        // The board's speaker keeps time by the tick and the tune's sleeps, not the wall clock,
        // so that a rerun sees the same tones.
        board_.set_clock([this] {
            long long slept = 0;
            for (const long ms : rig_.clock.sleeps) slept += ms;
            return now_ms_ + slept;
        });
        IdentifyChip(f);
        LoadSettings(f);
        InitFanDivisors(f);
        BuildReadingTables(f);
        board_.clear_accesses();
        footprint_limit_ = Footprint(f) + 1024;
    }

    void Run(int ticks) {
        for (int tick = 0; tick < ticks && !::testing::Test::HasFailure(); ++tick) {
            now_ms_ = 1000LL * tick;
            Disturb();
            Tick(tick);
        }
    }
    const Tally& tally() const { return tally_; }

  private:
    int Random(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
    bool Chance(int percent) { return Random(100) < percent; }
    void Set(int reg, int value) {
        board_.set_reg(static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
    }

    // A scenario lasts for a while, so that episodes grow long enough to reach the label, the
    // error window and the alarm; chaos sets every register at random every tick.
    void Disturb() {
        Form1& f = rig_.form;
        if (--scenario_left_ <= 0) {
            scenario_ = Random(6);
            scenario_left_ = 1 + Random(80);
            for (int r = 0x60; r <= 0x6C; ++r)
                if (r < 0x65 || r > 0x67) Set(r, 30 + 10 * ((r & 7) % 5) + Random(5));
            Set(0x0C, 0);  // 8-bit fan counts again after chaos
        }
        const int r64 = board_.reg(0x64), r6c = board_.reg(0x6C);
        const int r61 = board_.reg(0x61), r69 = board_.reg(0x69);
        int system = 30 + Random(10), cpu = 35 + Random(10), panel = 30 + Random(20);
        int system_count = 120 + Random(60), cpu_count = 120 + Random(60);
        switch (scenario_) {
            case 1:
                cpu = r6c + 1 + Random(30);
                break;
            case 2:
                system = r64 + 1 + Random(30);
                break;
            case 3:
                cpu = std::min(r6c, r69 + 2 + Random(10));
                cpu_count = Chance(50) ? 0 : 255;
                break;
            case 4:
                system = std::min(r64, r61 + 2 + Random(10));
                system_count = 0;
                break;
            case 5:
                system = Random(256), cpu = Random(256), panel = Random(256);
                system_count = Random(256), cpu_count = Random(256);
                for (int r = 0x60; r <= 0x6C; ++r) Set(r, Random(256));
                Set(0x0C, Random(256));
                for (int r = 0x18; r <= 0x1A; ++r) Set(r, Random(256));
                break;
            default:
                break;
        }
        Set(0x29, system);
        Set(0x2A, cpu);
        Set(0x2B, panel);
        Set(0x0D, system_count);
        Set(0x0E, cpu_count);
        Set(0x0F, 100 + Random(156));
        if (Chance(1)) f.settings.g_SoundWarnning = static_cast<i16>(Random(4));

        auto& files = rig_.files;
        if (Chance(2)) {
            ++tally_.history_toggles;
            if (files.files.count(kHistoryLog) != 0)
                files.files.erase(kHistoryLog);
            else
                files.files[kHistoryLog] = "";
        }
        // A log stops accepting writes now and then and soon accepts them again.
        for (const char* log : {kHistoryLog, kFaultLog}) {
            bool& unwritable = files.unwritable[log];
            if (Chance(unwritable ? 10 : 1)) unwritable = !unwritable;
        }
        if (files.unwritable[kHistoryLog] || files.unwritable[kFaultLog]) ++tally_.unwritable_ticks;

        // An outage lasts a few ticks; one in three starts in the middle of a tick.
        if (outage_left_ > 0 && --outage_left_ == 0) {
            driver_.FailAfter(-1);
            board_.set_failing(false);
        }
        if (outage_left_ == 0 && Chance(2)) {
            outage_left_ = 1 + Random(5);
            if (Chance(33)) {
                driver_.FailAfter(Random(80));
                ++tally_.mid_tick_failures;
            } else {
                board_.set_failing(true);
            }
        }
    }

    void Tick(int tick) {
        Form1& f = rig_.form;
        const std::array<std::int32_t, 4> before = Counters();
        const std::int32_t delay = f.g_Delay;
        driver_.StartTick();
        try {
            Form1_Timer1_Timer(f);
        } catch (...) {
            ADD_FAILURE() << "an exception escaped the tick " << tick;
            return;
        }
        const bool failed = driver_.failed();
        tally_.failing_ticks += failed;

        const std::array<std::int32_t, 4> after = Counters();
        int advanced = 0;
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_TRUE(after[i] == 0 || after[i] == before[i] || after[i] == before[i] + 1)
                << "counter " << i << " went from " << before[i] << " to " << after[i]
                << " on tick " << tick;
            advanced += after[i] == before[i] + 1;
            tally_.max_counter = std::max(tally_.max_counter, after[i]);
        }
        EXPECT_LE(advanced, 1) << "two episode counters advanced on tick " << tick;
        EXPECT_EQ(f.g_Delay, delay >= 9998 ? 6 : delay + 1) << "tick " << tick;
        EXPECT_TRUE(f.g_Delay >= 0 && f.g_Delay <= 9998) << f.g_Delay;
        EXPECT_TRUE(f.monitor.g_ErrorCode >= 0 && f.monitor.g_ErrorCode <= 4);
        ++tally_.codes[static_cast<std::size_t>(f.monitor.g_ErrorCode)];
        EXPECT_EQ(f.window.Label1.caption == kUnreachableText, failed)
            << "Label1 \"" << f.window.Label1.caption << "\" on tick " << tick;
        tally_.critical_ticks += f.monitor.g_Critical == 1;

        CheckAccesses(tick);
        CheckSpeaker(failed, tick);
        CheckAndDropRecords(tick);
        EXPECT_LE(Footprint(f), footprint_limit_) << "the form's texts grow, tick " << tick;
    }

    std::array<std::int32_t, 4> Counters() const {
        const Form1& f = rig_.form;
        return {f.monitor.g_CPUOverCnt, f.monitor.g_SYSOverCnt, f.g_CPUOrderCnt, f.g_SYSOrderCnt};
    }

    void CheckAccesses(int tick) {
        for (const board::Board::Access& a : board_.accesses()) {
            using Kind = board::Board::Access::Kind;
            switch (a.kind) {
                case Kind::WriteReg:
                    EXPECT_TRUE(a.port == kMonitorPort && kWritableRegisters.count(a.reg) != 0)
                        << "WriteReg " << a.port << " register " << int{a.reg} << " tick " << tick;
                    break;
                case Kind::ReadReg:
                    EXPECT_EQ(a.port, kMonitorPort) << "tick " << tick;
                    break;
                case Kind::Outb:
                case Kind::Inb:
                    EXPECT_EQ(kSpeakerPorts.count(a.port), 1u)
                        << "port " << a.port << " tick " << tick;
                    break;
            }
        }
        board_.clear_accesses();
    }

    // A tune ends with the speaker off. Only a driver that fails in the middle of a note can
    // leave it on, and the first tick that reaches the driver again switches it off.
    void CheckSpeaker(bool failed, int tick) {
        tally_.tones += static_cast<int>(board_.tones().size());
        board_.clear_tones();
        if (!board_.sounding()) return;
        ++tally_.speaker_left_on;
        EXPECT_TRUE(failed) << "speaker left on by a working tick " << tick;
    }

    // Records are bounded and the fakes are emptied, so the run's memory stays flat.
    void CheckAndDropRecords(int tick) {
        auto& files = rig_.files;
        for (const char* log : {kHistoryLog, kFaultLog}) {
            auto it = files.files.find(log);
            if (it == files.files.end()) continue;
            EXPECT_LE(it->second.size(), 512u) << log << " tick " << tick;
            it->second.clear();
        }
        tally_.records += static_cast<int>(files.appended_paths.size());
        EXPECT_LE(files.appended_paths.size(), 2u) << "tick " << tick;
        files.appended_paths.clear();
        for (const std::string& call : rig_.windows.calls)
            tally_.error_windows += call == "ShowErrorWindow";
        rig_.windows.calls.clear();
        tally_.waves += static_cast<int>(rig_.sound.played.size());
        rig_.sound.played.clear();
        rig_.host.topmost_calls.clear();
        rig_.clock.sleeps.clear();
    }

    std::mt19937 rng_;
    board::Board board_;
    FlakyDriver driver_;
    testing::Rig rig_;
    std::size_t footprint_limit_ = 0;
    long long now_ms_ = 0;
    int scenario_ = 0, scenario_left_ = 0, outage_left_ = 0;
    Tally tally_;
};

// Both register layouts: the newer one reads 16-bit fan counts and compares with S(2), the
// older one with S(4).
class SoakOnChip : public ::testing::TestWithParam<const char*> {};

TEST_P(SoakOnChip, MonitorCycleSurvivesAMisbehavingMachine) {
    Soak soak(GetParam());
    soak.Run(kTicks);
    const Tally& t = soak.tally();
    std::printf(
        "soak: %d ticks; driver failing on %d ticks (%d outages begun mid-tick); a log "
        "unwritable on %d ticks; history file toggled %d times; %d critical ticks; %d log "
        "records; %d error windows; %d tones, %d waves; codes 0..4: %d %d %d %d %d; "
        "longest episode %d; speaker left on after a failure on %d ticks\n",
        kTicks, t.failing_ticks, t.mid_tick_failures, t.unwritable_ticks, t.history_toggles,
        t.critical_ticks, t.records, t.error_windows, t.tones, t.waves, t.codes[0], t.codes[1],
        t.codes[2], t.codes[3], t.codes[4], t.max_counter, t.speaker_left_on);
    // The run is only worth something if every fault and every alarm path really happened.
    EXPECT_GT(t.failing_ticks, 0);
    EXPECT_GT(t.mid_tick_failures, 0);
    EXPECT_GT(t.unwritable_ticks, 0);
    EXPECT_GT(t.critical_ticks, 0);
    EXPECT_GT(t.records, 0);
    EXPECT_GT(t.error_windows, 0);
    EXPECT_GT(t.tones, 0);
    EXPECT_GT(t.waves, 0);
    for (int code = 1; code <= 4; ++code) EXPECT_GT(t.codes[static_cast<std::size_t>(code)], 0);
    EXPECT_GT(t.max_counter, 20);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SoakOnChip,
                         ::testing::Values("[Chip]\nId=0x12\nRevision=8\n",
                                           "[Chip]\nId=0x12\nRevision=5\n"));

}  // namespace
}  // namespace kelvane
