// Start-up cost of the reading tables, and the per-tick cost of one channel's readout.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "board/board.h"
#include "chip/expression.h"
#include "monitor/readout.h"
#include "state/channels.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// A conditional expression of about 60 characters with every kind of fold.
constexpr const char* kExpression = "?T>20AT<120OT$200,X=T*9/5+32-T/4+100/3-12*2+T*3/2-7";

void BM_BuildReadingTables(benchmark::State& state) {
    board::Board board;
    testing::Rig rig(board);
    Form1& f = rig.form;
    for (int j = 0; j < 3; ++j) {
        f.window.LedPic[static_cast<size_t>(j)].tag = std::to_string(j);
        f.settings.g_DefaultFanCtrl[static_cast<size_t>(j)].Modulate = kExpression;
    }
    for (auto _ : state) {
        BuildReadingTables(f);
        benchmark::DoNotOptimize(f.ReadingTable.data());
    }
    state.counters["evaluations"] = benchmark::Counter(
        3 * 256 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildReadingTables);

// Passes every call on to the board and counts it.
class CountingDriver : public PortDriver {
  public:
    explicit CountingDriver(PortDriver& inner) : inner_(inner) {}
    std::uint8_t Inb(std::uint16_t port) override { return ++calls, inner_.Inb(port); }
    void Outb(std::uint16_t port, std::uint8_t value) override {
        ++calls;
        inner_.Outb(port, value);
    }
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) override {
        return ++calls, inner_.ReadReg(index_port, reg);
    }
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) override {
        ++calls;
        inner_.WriteReg(index_port, reg, value);
    }
    std::int64_t calls = 0;

  private:
    PortDriver& inner_;
};

void BM_ChannelReadout(benchmark::State& state) {
    board::Board board;
    CountingDriver driver(board);
    testing::Rig rig(driver);
    Form1& f = rig.form;
    f.KelvaneFanFlag = kTrue;
    board.set_reg(0x0C, 0x07);  // 16-bit counts: the longest path
    for (int j = 0; j < 3; ++j) f.window.LedPic[static_cast<size_t>(j)].tag = std::to_string(j);
    f.settings.g_DefaultFanCtrl[1].Modulate = kExpression;
    BuildReadingTables(f);
    InitFanDivisors(f);
    driver.calls = 0;
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadTemperature(f, 1));
        benchmark::DoNotOptimize(FanSpeed(f, 1, ReadFanCount(f, 1)));
        ReadLimitRegisters(f);
        if ((++n & 1023) == 0) board.clear_accesses();  // the board keeps a trace
    }
    state.counters["driver_calls"] =
        static_cast<double>(driver.calls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ChannelReadout);

}  // namespace
}  // namespace kelvane
