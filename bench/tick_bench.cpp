// One whole monitor tick through the in-process board, in the normal state and in a critical
// episode that logs and plays the speaker tune (the fake clock does not sleep).
#include <benchmark/benchmark.h>

#include <string>

#include "board/board.h"
#include "chip/speaker.h"
#include "export/textfile_export.h"
#include "history/history.h"
#include "link/state_publisher.h"
#include "maintenance/maintenance_notice.h"
#include "monitor/alarm_log.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

struct TickRig {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;

    explicit TickRig(bool critical) {
        for (int n = 0; n < 3; ++n) {
            f.window.LedPic[static_cast<size_t>(n)].tag = std::to_string(n);
            f.settings.g_FanCtrl[static_cast<size_t>(n)].Mode = 1;
            f.settings.g_FanCtrl[static_cast<size_t>(n)].TmpAlarm = 60;
        }
        f.window.visible = true;
        f.AlarmTune = StandardAlarmTune();
        f.settings.g_BeepWaitTimes = f.BeepCountDown = 3;
        InitFanDivisors(f);
        if (critical) {
            rig.files.files[kHistoryLog] = "";
            f.settings.g_SoundWarnning = 2;
            board.set_reg(0x2A, 85);
        }
        for (int i = 0; i < 30; ++i) Form1_Timer1_Timer(f);  // past warm-up and count-down
        Trim();
    }
    // Keeps the records of the fakes and the board from growing without bound.
    void Trim() {
        board.clear_accesses();
        board.clear_tones();
        rig.clock.sleeps.clear();
        rig.files.appended_paths.clear();
        for (auto& [path, content] : rig.files.files) content.clear();
    }
};

// Out of line so a profiler can count the measured ticks apart from the set-up ones.
[[gnu::noinline]] void MeasuredTick(TickRig& r) {
    Form1_Timer1_Timer(r.f);
    r.Trim();
}

void RunTicks(benchmark::State& state, bool critical) {
    TickRig r(critical);
    Form1_Timer1_Timer(r.f);
    const double calls = static_cast<double>(r.board.accesses().size());
    for (auto _ : state) MeasuredTick(r);
    state.counters["driver_calls_per_tick"] = calls;
    state.counters["error_code"] = r.f.monitor.g_ErrorCode;
}

void BM_TickNormal(benchmark::State& state) { RunTicks(state, false); }
void BM_TickCritical(benchmark::State& state) { RunTicks(state, true); }
BENCHMARK(BM_TickNormal);
BENCHMARK(BM_TickCritical);

// The same normal tick with the fleet's metrics file built after it; the file system is left
// out (the replace only takes the text), so the difference is the export's own work.
struct NoFiles : FileReplacer {
    std::size_t bytes = 0;
    bool Replace(const std::string&, std::string_view data) override {
        bytes = data.size();
        return true;
    }
};
struct FixedClock : WallClock {
    double UnixSeconds() override { return 1765000000.0; }
};

void BM_TickNormalWithExport(benchmark::State& state) {
    TickRig r(false);
    NoFiles files;
    FixedClock clock;
    TextFileExport textfile(files, clock);
    r.f.settings.g_ExportTextFile = "C:\\metrics\\kelvane.prom";
    r.f.tick_listeners.push_back(&textfile);
    Form1_Timer1_Timer(r.f);
    for (auto _ : state) MeasuredTick(r);
    state.counters["file_bytes"] = static_cast<double>(files.bytes);
}
BENCHMARK(BM_TickNormalWithExport);

// The same normal tick with the history told after it, one second of the clock per tick, so
// the once-a-minute row is counted in its share; the ring is full, as after a day.
void BM_TickNormalWithHistory(benchmark::State& state) {
    TickRig r(false);
    history::History history(
        r.rig.files, r.rig.clock,
        [&r](int v, double raw) { return VoltsFromRaw(r.f.settings, v, raw); },
        "C:\\ProgramData\\Kelvane");
    r.f.tick_listeners.push_back(&history);
    // The maintenance notice as the program wires it: told each finished minute by the
    // history, comparing once a minute with a baseline learned in the first hour.
    struct Disk : FileReplacer {
        testing::FakeFiles& files;
        explicit Disk(testing::FakeFiles& f) : files(f) {}
        bool Replace(const std::string& path, std::string_view data) override {
            files.files[path] = std::string(data);
            return true;
        }
    } replacer(r.rig.files);
    const std::string folder = "C:\\ProgramData\\Kelvane";
    maintenance::MaintenanceNotice notice(r.rig.files, replacer, r.rig.clock,
                                          [&folder] { return &folder; });
    r.f.settings.g_BaselineMinutes = 60;
    r.f.tick_listeners.push_back(&notice);
    history.TellMinutesTo([&notice](const history::MinuteRow& row) { notice.TakeMinute(row); });
    notice.BeforeTell(r.f);
    for (int i = 0; i < 90000; ++i) {
        ++r.rig.clock.unix_seconds;
        history.Record(history::SampleOf(r.f, r.rig.clock.unix_seconds));
    }
    r.Trim();
    for (auto _ : state) {
        ++r.rig.clock.unix_seconds;
        MeasuredTick(r);
    }
    state.counters["ring_samples"] = static_cast<double>(history.ring().size());
    state.counters["baseline_ready"] = r.f.maintenance.baseline_ready ? 1 : 0;
}
BENCHMARK(BM_TickNormalWithHistory);

// The same normal tick with the state built and framed for the views after it; the pipe is
// left out, so the difference is the publisher's own work.
void BM_TickNormalWithPublisher(benchmark::State& state) {
    TickRig r(false);
    std::size_t bytes = 0;
    link::StatePublisher publisher([&bytes](std::string_view frame) { bytes = frame.size(); });
    // Serving, as an owner is: the About details are compared after every tick.
    publisher.Start(r.f, "this window program");
    r.f.tick_listeners.push_back(&publisher);
    Form1_Timer1_Timer(r.f);
    for (auto _ : state) MeasuredTick(r);
    state.counters["state_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_TickNormalWithPublisher);

}  // namespace
}  // namespace kelvane
