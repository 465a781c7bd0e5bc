#include <gtest/gtest.h>

#include "base/runtime_error.h"
#include "board/board.h"

namespace kelvane::board {
namespace {

using Kind = Board::Access::Kind;

void EnterConfig(Board& b) {
    for (std::uint8_t k : {0x87, 0x01, 0x55, 0x55}) b.Outb(0x2E, k);
}

TEST(BoardPorts, RegisterFileIsSharedByBothPaths) {
    Board b;
    b.WriteReg(0x295, 0x15, 0x42);
    b.Outb(0x295, 0x15);
    EXPECT_EQ(b.Inb(0x295), 0x15);  // the index port answers the selected register
    EXPECT_EQ(b.Inb(0x296), 0x42);

    b.Outb(0x295, 0x16);
    b.Outb(0x296, 0x33);
    EXPECT_EQ(b.ReadReg(0x295, 0x16), 0x33);
    EXPECT_EQ(b.reg(0x16), 0x33);
    EXPECT_EQ(b.reg(0x15), 0x42);

    b.set_reg(0x40, 0x99);
    EXPECT_EQ(b.ReadReg(0x295, 0x40), 0x99);
}

TEST(BoardPorts, HealthyDefaults) {
    Board b;
    EXPECT_EQ(b.address(), 0x295);
    EXPECT_FALSE(b.thermal_enabled());
    for (std::uint8_t r : {0x29, 0x2A, 0x2B}) {
        EXPECT_GE(b.ReadReg(0x295, r), 35) << int(r);
        EXPECT_LE(b.ReadReg(0x295, r), 45) << int(r);
    }
    const std::uint8_t d = b.ReadReg(0x295, 0x0B);
    const int divisors[3] = {1 << (d & 7), 1 << ((d >> 3) & 7), (d & 0x40) ? 8 : 2};
    for (int n = 0; n < 3; ++n) {
        const int count = b.ReadReg(0x295, static_cast<std::uint8_t>(0x0D + n));
        ASSERT_GT(count, 0);
        ASSERT_LT(count, 255);
        const double rpm = 1350000.0 / (count * divisors[n]);
        EXPECT_GT(rpm, 2000) << n;
        EXPECT_LT(rpm, 8000) << n;
    }
    const int limits[5] = {30, 40, 50, 60, 70};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(b.reg(static_cast<std::uint8_t>(0x60 + k)), limits[k]);
        EXPECT_EQ(b.reg(static_cast<std::uint8_t>(0x68 + k)), limits[k]);
    }
    for (int v = 0; v < 9; ++v) {
        const double volts = b.reg(static_cast<std::uint8_t>(0x20 + v)) * 0.016;
        EXPECT_GT(volts, 0.5);
        EXPECT_LT(volts, 4.08);
    }
}

TEST(BoardPorts, MonitorAnswersOnlyAtItsAddress) {
    Board b("[Chip]\nAddress=0x290\n");
    EXPECT_EQ(b.address(), 0x290);
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 0xFF);
    EXPECT_EQ(b.ReadReg(0x290, 0x29), 38);
    b.WriteReg(0x295, 0x15, 0x01);  // nobody there
    EXPECT_EQ(b.reg(0x15), 0x80);
    EXPECT_TRUE(b.writes_to(0x15).empty());
}

TEST(BoardPorts, OtherPortsReadOpenBus) {
    Board b;
    for (std::uint16_t port : {0x0000, 0x0042, 0x0043, 0x0080, 0x0378, 0xFFFF})
        EXPECT_EQ(b.Inb(port), 0xFF) << port;
    b.Outb(0x0080, 0x12);  // writes nowhere, harmlessly
    EXPECT_EQ(b.Inb(0x0080), 0xFF);
}

TEST(BoardPorts, ConfigurationPairNeedsTheEntryKey) {
    Board b;
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0xFF);
    EXPECT_EQ(b.ReadReg(0x2E, 0x22), 0xFF);
    b.Outb(0x2E, 0x87);
    b.Outb(0x2E, 0x01);
    b.Outb(0x2E, 0x55);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0xFF) << "three bytes of the key are not enough";

    Board c;
    EnterConfig(c);
    EXPECT_EQ(c.ReadReg(0x2E, 0x21), 0x12);
    EXPECT_EQ(c.ReadReg(0x2E, 0x22), 8);
    EXPECT_EQ(c.ReadReg(0x2E, 0x22), 8) << "reads do not leave configuration mode";
    c.Outb(0x2E, 0x21);
    EXPECT_EQ(c.Inb(0x2F), 0x12);
    c.WriteReg(0x2E, 0x21, 0x77);  // identification is read-only
    EXPECT_EQ(c.ReadReg(0x2E, 0x21), 0x12);
}

TEST(BoardPorts, EntryKeyRecoversFromAStrayByte) {
    Board b;
    for (std::uint8_t k : {0x87, 0x87, 0x01, 0x55, 0x55}) b.Outb(0x2E, k);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x12);

    Board c;
    for (std::uint8_t k : {0x87, 0x01, 0x00, 0x55, 0x55}) c.Outb(0x2E, k);
    EXPECT_EQ(c.ReadReg(0x2E, 0x21), 0xFF);
}

TEST(BoardPorts, ConfigurationModeEndsThroughControlRegister) {
    Board b;
    EnterConfig(b);
    b.WriteReg(0x2E, 0x02, 0x02);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0xFF);
    EnterConfig(b);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x12);
}

TEST(BoardPorts, ChipIdentityFromDescription) {
    Board b("[Chip]\nId=0x05\nRevision=3\n");
    EnterConfig(b);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x05);
    EXPECT_EQ(b.ReadReg(0x2E, 0x22), 3);
    EXPECT_FALSE(b.newer_layout());
    EXPECT_TRUE(Board("[Chip]\nId=0x05\nRevision=4\n").newer_layout());
    EXPECT_FALSE(Board("[Chip]\nRevision=5\n").newer_layout());
    EXPECT_TRUE(Board("[Chip]\nRevision=6\n").newer_layout());
    EXPECT_TRUE(Board("[Chip]\nId=0x33\nRevision=0\n").newer_layout());
}

TEST(BoardPorts, AccessLogRecordsEveryCallInOrder) {
    Board b;
    b.Outb(0x61, 0x03);
    EXPECT_EQ(b.Inb(0x61), 0x03);
    b.WriteReg(0x295, 0x13, 0x77);
    EXPECT_EQ(b.ReadReg(0x295, 0x2A), 42);
    const auto& a = b.accesses();
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].kind, Kind::Outb);
    EXPECT_EQ(a[0].port, 0x61);
    EXPECT_EQ(a[0].value, 0x03);
    EXPECT_EQ(a[1].kind, Kind::Inb);
    EXPECT_EQ(a[1].value, 0x03);
    EXPECT_EQ(a[2].kind, Kind::WriteReg);
    EXPECT_EQ(a[2].port, 0x295);
    EXPECT_EQ(a[2].reg, 0x13);
    EXPECT_EQ(a[2].value, 0x77);
    EXPECT_EQ(a[3].kind, Kind::ReadReg);
    EXPECT_EQ(a[3].reg, 0x2A);
    EXPECT_EQ(a[3].value, 42);
    b.clear_accesses();
    EXPECT_TRUE(b.accesses().empty());
    EXPECT_TRUE(b.writes_to(0x13).empty());
}

TEST(BoardPorts, WritesToListsWriteRegValuesOfOneRegister) {
    Board b;
    b.WriteReg(0x295, 0x14, 0x80);
    b.WriteReg(0x295, 0x13, 0x77);
    b.WriteReg(0x295, 0x14, 0x00);
    b.WriteReg(0x2E, 0x14, 0x55);  // not the monitor
    EXPECT_EQ(b.writes_to(0x14), (std::vector<std::uint8_t>{0x80, 0x00}));
    EXPECT_EQ(b.writes_to(0x13), (std::vector<std::uint8_t>{0x77}));
    EXPECT_TRUE(b.writes_to(0x15).empty());
}

TEST(BoardPorts, OpenBusFaultAnswersEveryRead) {
    Board b("[Faults]\nOpenBus=0x00\n");
    EnterConfig(b);
    EXPECT_EQ(b.ReadReg(0x2E, 0x21), 0x00);
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 0x00);
    EXPECT_EQ(b.Inb(0x61), 0x00);
    EXPECT_EQ(b.Inb(0x378), 0x00);
    b.WriteReg(0x295, 0x15, 0x20);  // writes still land
    EXPECT_EQ(b.reg(0x15), 0x20);
    b.Reload("");
    EXPECT_EQ(b.ReadReg(0x295, 0x15), 0x20);
}

TEST(BoardPorts, FailingModeRaisesLibraryCallAndTouchesNothing) {
    Board b;
    b.set_failing(true);
    const auto expect_library_error = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no error raised";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::LibraryCall);
        }
    };
    expect_library_error([&] { b.Inb(0x61); });
    expect_library_error([&] { b.Outb(0x61, 3); });
    expect_library_error([&] { b.ReadReg(0x295, 0x29); });
    expect_library_error([&] { b.WriteReg(0x295, 0x15, 0x7F); });
    EXPECT_TRUE(b.accesses().empty());
    EXPECT_EQ(b.reg(0x15), 0x80);
    b.set_failing(false);
    EXPECT_EQ(b.ReadReg(0x295, 0x29), 38);
}

}  // namespace
}  // namespace kelvane::board
