#include "monitor/readout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/board.h"
#include "chip/expression.h"
#include "state/channels.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using Access = board::Board::Access;

struct ReadoutRig {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;
    ReadoutRig() {
        for (int j = 0; j < 3; ++j) f.window.LedPic[static_cast<size_t>(j)].tag = std::to_string(j);
        board.clear_accesses();
    }
    // Register accesses on the index port 0x295 as "W51=38" and "R2B".
    std::vector<std::string> Trace() const {
        std::vector<std::string> trace;
        for (const Access& a : board.accesses()) {
            if (a.port != 0x295) continue;
            char line[16];
            if (a.kind == Access::Kind::WriteReg)
                std::snprintf(line, sizeof line, "W%02X=%02X", a.reg, a.value);
            else
                std::snprintf(line, sizeof line, "R%02X", a.reg);
            trace.push_back(line);
        }
        return trace;
    }
    int Count(Access::Kind kind) const {
        int n = 0;
        for (const Access& a : board.accesses()) n += a.kind == kind;
        return n;
    }
};

TEST(Readout, TemperatureWritesBothRegistersBeforeEveryRead) {
    ReadoutRig r;
    r.board.set_reg(0x2B, 51);
    EXPECT_EQ(ReadTemperature(r.f, 2), 51);
    EXPECT_EQ(r.Trace(), (std::vector<std::string>{"W51=38", "W13=77", "R2B"}));
}

TEST(Readout, TemperatureClampsAndTranslatesThroughTheTaggedRecord) {
    ReadoutRig r;
    r.board.set_reg(0x29, 0x80);
    r.board.set_reg(0x2A, 0x7F);
    EXPECT_EQ(ReadTemperature(r.f, 0), 0);
    EXPECT_EQ(ReadTemperature(r.f, 1), 127);

    // Channel 0 is tied to record 1, whose expression adds 5; record 0 has none.
    r.f.window.LedPic[0].tag = "1";
    r.f.settings.g_DefaultFanCtrl[1].Modulate = ",X=T+5";
    r.f.settings.g_DefaultFanCtrl[0].Modulate = ",X=T*2";
    BuildReadingTables(r.f);
    EXPECT_EQ(ReadTemperature(r.f, 0), 5);  // 0x80 clamps to 0, then entry 0
    r.board.set_reg(0x29, 40);
    EXPECT_EQ(ReadTemperature(r.f, 0), 45);
    r.f.ReadingTable[40 * 3 + 0] = -7;  // the table, not the expression, is consulted
    EXPECT_EQ(ReadTemperature(r.f, 0), -7);
    EXPECT_EQ(ReadTemperature(r.f, 1), 132);  // channel 1 is tied to record 1 as well

    r.f.window.LedPic[0].tag = "9";  // no record: the raw reading
    EXPECT_EQ(ReadTemperature(r.f, 0), 40);
}

TEST(Readout, FanDivisorsFromRegister0B) {
    ReadoutRig r;
    const struct {
        int reg;
        std::array<i16, 3> divisors;
    } cases[] = {{0x09, {2, 2, 2}},
                 {0x5B, {8, 8, 8}},
                 {0x28, {1, 32, 2}},
                 {0x80, {1, 1, 2}},
                 {0x47, {128, 1, 8}}};
    for (const auto& c : cases) {
        r.board.set_reg(0x0B, static_cast<std::uint8_t>(c.reg));
        InitFanDivisors(r.f);
        EXPECT_EQ(r.f.g_FanDivisor, c.divisors) << std::hex << c.reg;
    }
}

TEST(Readout, FanCountIsSixteenBitsOnlyOnTheNewerLayout) {
    ReadoutRig r;
    r.board.set_reg(0x0C, 0x07);
    r.board.set_reg(0x0E, 0x10);
    r.board.set_reg(0x19, 0x02);
    r.f.KelvaneFanFlag = kFalse;
    EXPECT_EQ(ReadFanCount(r.f, 1), 0x10);
    EXPECT_EQ(r.Trace(), std::vector<std::string>{"R0E"});

    r.board.clear_accesses();
    r.f.KelvaneFanFlag = kTrue;
    EXPECT_EQ(ReadFanCount(r.f, 1), 0x0210);
    EXPECT_EQ(r.Trace(), (std::vector<std::string>{"R0E", "R0C", "R19"}));

    r.board.clear_accesses();
    r.board.set_reg(0x0C, 0x05);  // bit 1 clear: fan 1 stays 8 bits
    EXPECT_EQ(ReadFanCount(r.f, 1), 0x10);
    EXPECT_EQ(r.Trace(), (std::vector<std::string>{"R0E", "R0C"}));
}

TEST(Readout, FanSpeed) {
    ReadoutRig r;
    r.f.g_FanDivisor = {2, 1, 0};
    EXPECT_EQ(FanSpeed(r.f, 0, 135), 5000);
    EXPECT_EQ(FanSpeed(r.f, 0, 528), 1278);
    EXPECT_EQ(FanSpeed(r.f, 0, 48), 14062);  // 14062.5: to the even neighbour
    EXPECT_EQ(FanSpeed(r.f, 0, 16), 42188);  // 42187.5
    EXPECT_EQ(FanSpeed(r.f, 1, 1), 1350000);
    for (std::int32_t dead : {0, 255, 65535}) EXPECT_EQ(FanSpeed(r.f, 0, dead), 0) << dead;
    EXPECT_EQ(FanSpeed(r.f, 2, 135), 0);  // no divisor

    // 255 and 65535 from the 16-bit path are dead counters too.
    r.f.KelvaneFanFlag = kTrue;
    r.board.set_reg(0x0C, 0x01);
    r.board.set_reg(0x0D, 0xFF);
    r.board.set_reg(0x18, 0xFF);
    EXPECT_EQ(FanSpeed(r.f, 0, ReadFanCount(r.f, 0)), 0);
    r.board.set_reg(0x18, 0x00);
    EXPECT_EQ(FanSpeed(r.f, 0, ReadFanCount(r.f, 0)), 0);
}

TEST(Readout, LimitRegistersInOrder) {
    ReadoutRig r;
    for (size_t i = 0; i < kSnapshotRegisters.size(); ++i)
        r.board.set_reg(static_cast<std::uint8_t>(kSnapshotRegisters[i]),
                        static_cast<std::uint8_t>(200 + i));
    ReadLimitRegisters(r.f);
    for (size_t i = 0; i < kSnapshotRegisters.size(); ++i)
        EXPECT_EQ(r.f.g_RegSnapshot[i], 200 + int(i));
    EXPECT_EQ(r.Trace(), (std::vector<std::string>{"R60", "R61", "R62", "R63", "R64", "R68", "R69",
                                                   "R6A", "R6B", "R6C"}));
}

TEST(Readout, OneChannelCostsTwoWritesAndAtMostFifteenReads) {
    ReadoutRig r;
    r.f.KelvaneFanFlag = kTrue;
    r.board.set_reg(0x0C, 0x07);
    for (int n = 0; n < 3; ++n) {
        r.board.clear_accesses();
        ReadTemperature(r.f, n);
        FanSpeed(r.f, n, ReadFanCount(r.f, n));
        ReadLimitRegisters(r.f);
        EXPECT_EQ(r.Count(Access::Kind::WriteReg), 2);
        EXPECT_LE(r.Count(Access::Kind::ReadReg), 15);
        EXPECT_EQ(r.Count(Access::Kind::Inb) + r.Count(Access::Kind::Outb), 0);
    }
}

VoltageFactors DefaultFactors() { return {68, 100, 300, 100, 4.096, 120, 56, 4.096, 232, 56}; }

TEST(Readout, VoltageRails) {
    ReadoutRig r;
    r.f.settings.factors = DefaultFactors();
    const i16 nominal[] = {500, 1200, -1200, -500, 330};
    const std::uint8_t raw[] = {200, 150, 100, 100, 100};
    const double volts[] = {5.376, 9.6, (1.6 - 4.096) * 232 / 56 + 1.6,
                            (1.6 - 4.096) * 120 / 56 + 1.6, 1.6};
    for (int v = 0; v < 5; ++v) {
        r.f.settings.g_Vin[static_cast<size_t>(v)].DefaultTemp = nominal[v];
        r.board.set_reg(static_cast<std::uint8_t>(0x20 + v), raw[v]);
        EXPECT_NEAR(ReadVoltage(r.f, v), volts[v], 1e-9) << v;
    }
    EXPECT_NEAR(ReadVoltage(r.f, 2), -8.7406, 1e-4);
    EXPECT_NEAR(ReadVoltage(r.f, 3), -3.7486, 1e-4);

    // A zero divisor factor leaves that rail at its pin voltage.
    r.f.settings.factors.P5VRb = 0;
    r.f.settings.factors.P12VRb = 0;
    r.f.settings.factors.N12VRf = 0;
    r.f.settings.factors.N5VRf = 0;
    for (int v = 0; v < 4; ++v) EXPECT_DOUBLE_EQ(ReadVoltage(r.f, v), raw[v] * 0.016) << v;
    EXPECT_THROW(ReadVoltage(r.f, 9), RuntimeError);
}

}  // namespace
}  // namespace kelvane
