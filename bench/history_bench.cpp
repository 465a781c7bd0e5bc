// The History window's portable work: the plot data of a full 24-hour ring, opening 31 days
// of day files, and a normal tick with the history told after it (for the tick's share, see
// scripts/tick-cost.sh).
#include <benchmark/benchmark.h>

#include <string>

#include "board/board.h"
#include "history/civil_time.h"
#include "history/history.h"
#include "history/span.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

constexpr std::int64_t kNow = 1781257531;
constexpr int kColumns = 1800;  // a 1920-pixel screen's plot width

double PinVolts(int, double raw) { return raw * 0.016; }

history::Sample Busy(std::int64_t t) {
    history::Sample s;
    s.time = t;
    for (std::size_t n = 0; n < 3; ++n) {
        s.temp[n] = static_cast<std::int16_t>(40 + (t / 7 + n) % 20);
        s.fan[n] = static_cast<std::int32_t>(3000 + (t * 13 + n) % 900);
    }
    for (std::size_t v = 0; v < 9; ++v) s.volt[v] = static_cast<std::uint8_t>(180 + (t + v) % 9);
    s.volt_shown = 0x1FF;
    s.limit = {70, 70};
    s.flags = history::Sample::kReachable | (t % 3600 < 300 ? history::Sample::kLasting : 0);
    return s;
}

void BM_History24hPlotData(benchmark::State& state) {
    history::Ring ring;
    for (std::int64_t t = kNow - 86400; t < kNow; ++t) ring.Push(Busy(t));
    for (auto _ : state) {
        const history::SpanData d =
            history::RingSpan(ring, kNow - 86400, kNow, kColumns, &PinVolts);
        benchmark::DoNotOptimize(d.columns.data());
    }
}
BENCHMARK(BM_History24hPlotData)->Unit(benchmark::kMillisecond);

// 31 full day files, as the recorder writes them; each opening reads and parses them all.
void BM_HistoryOpen31Days(benchmark::State& state) {
    testing::FakeFiles files;
    testing::FakeClock clock;
    history::History writer(files, clock, &PinVolts, "C:\\ProgramData\\Kelvane", 16);
    for (std::int64_t t = kNow - 31 * 86400; t < kNow; t += 60) {
        clock.unix_seconds = t;
        writer.Record(Busy(t));
    }
    std::size_t bytes = 0;
    for (const FileEntry& e : files.ListFiles(writer.folder().days())) bytes += e.size;
    const std::int64_t today = history::LocalDay(kNow, clock.utc_offset_minutes);
    std::size_t held = 0;
    for (auto _ : state) {
        history::DayCache cache;  // a new window reads every file
        const auto& rows = cache.Rows(files, writer.folder(), today - 31, today, today);
        const history::SpanData d = history::MinuteSpan(rows, kNow - 31 * 86400, kNow, kColumns);
        benchmark::DoNotOptimize(d.columns.data());
        held = cache.HeldBytes();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.counters["held_bytes"] = static_cast<double>(held);
}
BENCHMARK(BM_HistoryOpen31Days)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvane
