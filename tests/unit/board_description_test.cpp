#include <gtest/gtest.h>

#include "board/board.h"

namespace kelvane::board {
namespace {

TEST(BoardNumbers, DecimalAndHex) {
    EXPECT_EQ(ParseBoardNumber("45"), 45);
    EXPECT_EQ(ParseBoardNumber("0x2d"), 45);
    EXPECT_EQ(ParseBoardNumber("0X2D"), 45);
    EXPECT_EQ(ParseBoardNumber("-10"), -10);
    EXPECT_EQ(ParseBoardNumber("-0x10"), -16);
    EXPECT_EQ(ParseBoardNumber("2d"), std::nullopt) << "hex needs its prefix in values";
    for (const char* bad : {"", "-", "0x", "12abc", "1.5", "0x1g", " 7"})
        EXPECT_EQ(ParseBoardNumber(bad), std::nullopt) << bad;
}

TEST(BoardNumbers, RegisterNamesAreHex) {
    EXPECT_EQ(ParseRegisterName("29"), 0x29);
    EXPECT_EQ(ParseRegisterName("0x29"), 0x29);
    EXPECT_EQ(ParseRegisterName("6C"), 0x6C);
    EXPECT_EQ(ParseRegisterName("ff"), 0xFF);
    for (const char* bad : {"", "0x", "100", "0x1FF", "g1", "-1"})
        EXPECT_EQ(ParseRegisterName(bad), std::nullopt) << bad;
}

TEST(BoardDescriptionParse, AllSections) {
    const BoardDescription d = ParseBoardDescription(
        "[chip]\nid=5\nRevision=0x03 ; the older layout\nAddress=0x290\n"
        "[Registers]    ; hex register numbers\n29=0x50\t; 80 C\n0x2a=66\n0B=0x5B\n"
        "[Hold]\n0e=255;stalled\n"
        "[Thermal]\nEnabled=1\nAmbient=-5\nHeat1=60\nCooling=50\nMaxRpm2=2000\n"
        "[Speaker]\nPort61=0x20\n"
        "[Faults]\nOpenBus=0\nCrashAtCall=12\n");
    EXPECT_TRUE(d.problems.empty()) << d.problems.front();
    EXPECT_EQ(d.chip_id, 5);
    EXPECT_EQ(d.revision, 3);
    EXPECT_EQ(d.address, 0x290);
    using P = std::pair<std::uint8_t, std::uint8_t>;
    EXPECT_EQ(d.registers, (std::vector<P>{{0x29, 0x50}, {0x2A, 66}, {0x0B, 0x5B}}));
    EXPECT_EQ(d.holds, (std::vector<P>{{0x0E, 255}}));
    EXPECT_TRUE(d.thermal.enabled);
    EXPECT_DOUBLE_EQ(d.thermal.ambient_c, -5);
    EXPECT_DOUBLE_EQ(d.thermal.heat_c[1], 60);
    EXPECT_DOUBLE_EQ(d.thermal.cooling, 0.5);
    EXPECT_EQ(d.thermal.max_rpm[2], 2000);
    EXPECT_EQ(d.port61, 0x20);
    EXPECT_EQ(d.open_bus, 0);
    EXPECT_EQ(d.crash_at_call, 12);
}

TEST(BoardDescriptionParse, MistakesAreReportedAndSkipped) {
    const BoardDescription d = ParseBoardDescription(
        "[Chip]\nId=300\nColour=blue\nRevision=7\n"
        "[Registers]\nzz=1\n100=1\n29=0x100\n2A=50\n"
        "[Thermal]\nEnabled=2\nCooling=0.6\n"
        "[Faults]\nSmoke=1\n");
    EXPECT_EQ(d.problems.size(), 8u);
    EXPECT_FALSE(d.chip_id.has_value());
    EXPECT_EQ(d.revision, 7);
    ASSERT_EQ(d.registers.size(), 1u);
    EXPECT_EQ(d.registers[0].first, 0x2A);
    EXPECT_FALSE(d.thermal.enabled);
}

TEST(BoardDescriptionParse, NoThermalSectionMeansModelOff) {
    EXPECT_FALSE(ParseBoardDescription("[Registers]\n29=40\n").thermal.enabled);
    EXPECT_TRUE(ParseBoardDescription(Board::DemoDescription()).thermal.enabled);
    EXPECT_TRUE(ParseBoardDescription(Board::DemoDescription()).problems.empty());
}

TEST(BoardDescription, RegistersStartWithTheDescribedValues) {
    Board b("[Registers]\n29=0x50\n0x2B=20\n");
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 0x50);
    EXPECT_EQ(b.ReadReg(0x295, 0x2A), 42) << "undescribed registers keep the healthy value";
    EXPECT_EQ(b.ReadReg(0x295, 0x2B), 20);
}

TEST(BoardDescription, HoldWinsOverWritesButWritesAreKept) {
    Board b("[Hold]\n2A=90\n");
    EXPECT_EQ(b.ReadReg(0x295, 0x2A), 90);
    b.WriteReg(0x295, 0x2A, 10);
    EXPECT_EQ(b.reg(0x2A), 10);
    EXPECT_EQ(b.ReadReg(0x295, 0x2A), 90);
    b.Outb(0x295, 0x2A);
    EXPECT_EQ(b.Inb(0x296), 90);
    b.hold(0x29, 1);
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 1);
    b.release(0x29);
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 38);
}

TEST(BoardDescription, ReloadWritesRegistersAndReplacesHolds) {
    Board b("[Registers]\n29=50\n[Hold]\n2A=90\n0E=255\n");
    b.WriteReg(0x295, 0x15, 0x7F);
    b.Reload("[Registers]\n2B=61\n[Hold]\n0E=0\n");
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 50) << "a reload only writes what it lists";
    EXPECT_EQ(b.ReadReg(0x295, 0x2B), 61);
    EXPECT_EQ(b.ReadReg(0x295, 0x2A), 42) << "the old hold is gone";
    EXPECT_EQ(b.ReadReg(0x295, 0x0E), 0);
    EXPECT_EQ(b.reg(0x15), 0x7F);
}

TEST(BoardDescription, ReloadKeepsConfigurationModeAndChangesIdentity) {
    Board b;
    for (std::uint8_t k : {0x87, 0x01, 0x55, 0x55}) b.Outb(0x2E, k);
    b.Reload("[Chip]\nId=0x05\nRevision=2\nAddress=0x2A0\n");
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x05);
    EXPECT_EQ(b.ReadReg(0x2E, 0x22), 2);
    EXPECT_EQ(b.address(), 0x2A0);
    b.Reload("");
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x12) << "an undescribed identity is the default one";
    EXPECT_EQ(b.address(), 0x295);
}

TEST(BoardDescription, ProblemsOfTheLastDescription) {
    Board b("[Registers]\nxyz=1\n");
    EXPECT_EQ(b.problems().size(), 1u);
    b.Reload("[Registers]\n29=1\n");
    EXPECT_TRUE(b.problems().empty());
}

// The thermal model, driven by the test's clock.
struct ThermalRig {
    long long now = 0;
    Board board;
    explicit ThermalRig(const std::string& description) : board(description) {
        board.set_clock([this] { return now; });
    }
    int Temp(int n) { return board.ReadReg(0x295, static_cast<std::uint8_t>(0x29 + n)); }
    int Count(int n) { return board.ReadReg(0x295, static_cast<std::uint8_t>(0x0D + n)); }
    void Run(long long seconds) {
        for (long long s = 0; s < seconds; ++s) {
            now += 1000;
            Temp(0);
        }
    }
};

const char* kQuietThermal =
    "[Thermal]\nEnabled=1\nAmbient=30\nHeat0=40\nHeat1=40\nHeat2=40\nCooling=50\n"
    "TimeConstant=10\nWave=0\nMaxRpm0=5000\nMaxRpm1=5000\nMaxRpm2=5000\nStallPwm=10\nSpin=0\n";

TEST(BoardThermal, SoftwarePwmSetsTheEquilibriumAndTheFanCount) {
    ThermalRig rig(std::string(kQuietThermal) + "[Registers]\n15=0x7F\n16=0x00\n17=0x05\n");
    EXPECT_EQ(rig.Temp(0), 38) << "starts from the described registers";
    rig.Run(200);
    EXPECT_EQ(rig.Temp(0), 50);    // 30 + 40 * (1 - 0.5)
    EXPECT_EQ(rig.Temp(1), 70);    // fan stopped
    EXPECT_EQ(rig.Temp(2), 70);    // below the stall PWM
    EXPECT_EQ(rig.Count(0), 135);  // 5000 rpm, divisor 2
    EXPECT_EQ(rig.Count(1), 255);
    EXPECT_EQ(rig.Count(2), 255);
}

TEST(BoardThermal, TemperatureMovesGraduallyWithTime) {
    ThermalRig rig(std::string(kQuietThermal) + "[Registers]\n15=0x00\n29=30\n");
    rig.now = 10000;  // one time constant after the first look
    EXPECT_EQ(rig.Temp(0), 30);
    rig.now += 10000;
    EXPECT_EQ(rig.Temp(0), 55);  // 70 - 40 / e
    const int before = rig.Temp(0);
    EXPECT_EQ(rig.Temp(0), before) << "no time, no change";
}

TEST(BoardThermal, FanCountFollowsDivisorAndSixteenBitMode) {
    ThermalRig rig(std::string(kQuietThermal) +
                   "[Registers]\n15=0x7F\n0B=0x5B\n0C=0x02\n16=0x3F\n");
    rig.Run(1);
    EXPECT_EQ(rig.Count(0), 34);  // 1350000 / (5000 * 8)
    // Fan 1 at PWM 0x3F: 2480 rpm, divisor 8 -> 68; 16-bit mode keeps the high byte apart.
    EXPECT_EQ(rig.Count(1), 68);
    EXPECT_EQ(rig.board.ReadReg(0x295, 0x19), 0);
    rig.board.WriteReg(0x295, 0x16, 0x00);
    rig.Run(1);
    EXPECT_EQ(rig.Count(1), 0xFF);
    EXPECT_EQ(rig.board.ReadReg(0x295, 0x19), 0xFF) << "a stopped fan counts 0xFFFF";
}

TEST(BoardThermal, AutomaticModeNewerLayoutRampsBetweenItsLimits) {
    RegisterFile r{};
    r[0x15] = 0x80;
    r[0x60] = 30;
    r[0x61] = 40;
    r[0x62] = 50;
    r[0x63] = 0x80 | 60;  // bit 7 belongs to the slope
    EXPECT_EQ(ThermalModel::FanPwm(r, true, 0, 29), 0);
    EXPECT_EQ(ThermalModel::FanPwm(r, true, 0, 35), 60);
    EXPECT_EQ(ThermalModel::FanPwm(r, true, 0, 45), 93);
    EXPECT_EQ(ThermalModel::FanPwm(r, true, 0, 50), 127);
    r[0x15] = 0x25;
    EXPECT_EQ(ThermalModel::FanPwm(r, true, 0, 45), 0x25);
}

TEST(BoardThermal, AutomaticModeOlderLayoutSteps) {
    RegisterFile r{};
    r[0x16] = 0x81;
    const std::uint8_t block[8] = {30, 40, 50, 60, 70, 20, 60, 100};
    for (int k = 0; k < 8; ++k) r[0x68 + k] = block[k];
    EXPECT_EQ(ThermalModel::FanPwm(r, false, 1, 25), 0);
    EXPECT_EQ(ThermalModel::FanPwm(r, false, 1, 30), 20);
    EXPECT_EQ(ThermalModel::FanPwm(r, false, 1, 45), 60);
    EXPECT_EQ(ThermalModel::FanPwm(r, false, 1, 55), 100);
    EXPECT_EQ(ThermalModel::FanPwm(r, false, 1, 65), 127);
}

TEST(BoardThermal, AutomaticFanHoldsTheDemoMachineBelowItsLimit) {
    ThermalRig rig(Board::DemoDescription());
    rig.Run(600);
    for (int n = 0; n < 3; ++n) {
        EXPECT_GT(rig.Temp(n), 28) << n;
        EXPECT_LT(rig.Temp(n), 70) << n;
        EXPECT_LT(rig.Count(n), 255) << n;
    }
}

TEST(BoardThermal, WrittenTemperatureRestartsTheChannel) {
    ThermalRig rig(std::string(kQuietThermal) + "[Registers]\n15=0x7F\n");
    rig.Run(200);
    rig.board.set_reg(0x29, 90);
    EXPECT_EQ(rig.Temp(0), 90);
    rig.Run(200);
    EXPECT_EQ(rig.Temp(0), 50);
}

TEST(BoardThermal, BelowZeroIsTwosComplement) {
    ThermalRig rig("[Thermal]\nEnabled=1\nAmbient=-10\nHeat0=0\nTimeConstant=1\nWave=0\n");
    rig.Run(30);
    EXPECT_EQ(rig.Temp(0), 0xF6);
}

TEST(BoardThermal, OffMeansRegistersStayPut) {
    ThermalRig rig("[Registers]\n15=0x00\n");
    rig.Run(100);
    EXPECT_EQ(rig.Temp(0), 38);
    EXPECT_EQ(rig.Count(0), 135);
}

}  // namespace
}  // namespace kelvane::board
