#include <gtest/gtest.h>

#include "board/board.h"

namespace kelvane::board {
namespace {

using Kind = Board::Access::Kind;

TEST(BoardTrace, LineFormats) {
    EXPECT_EQ(TraceLine(12, 36, {Kind::Inb, 0x61, 0, 0x00}), "12 pid=36 Inb 0x0061 = 0x00");
    EXPECT_EQ(TraceLine(0, 0, {Kind::Outb, 0x2E, 0, 0x87}), "0 pid=0 Outb 0x002e 0x87");
    EXPECT_EQ(TraceLine(3600000, 4294967295u, {Kind::ReadReg, 0x295, 0x29, 0x2D}),
              "3600000 pid=4294967295 ReadReg 0x0295 0x29 = 0x2d");
    EXPECT_EQ(TraceLine(7, 1024, {Kind::WriteReg, 0xFFFF, 0xAB, 0xFF}),
              "7 pid=1024 WriteReg 0xffff 0xab 0xff");
}

TEST(BoardTrace, SpeakerLine) {
    EXPECT_EQ(SpeakerLine({1329, 1193180.0 / 1329, 150}),
              "Tone divisor=1329 frequency=897.8 duration=150");
    EXPECT_EQ(SpeakerLine({2983, 1193180.0 / 2983, 0}),
              "Tone divisor=2983 frequency=400.0 duration=0");
    EXPECT_EQ(SpeakerLine({65536, 1193180.0 / 65536, 5}),
              "Tone divisor=65536 frequency=18.2 duration=5");
}

}  // namespace
}  // namespace kelvane::board
