#include "chip/port_program.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "board/board.h"
#include "failsafe/reprogram.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using board::Board;
using Kind = Board::Access::Kind;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// The board after a program ran from a clean access record.
struct Program {
    explicit Program(std::initializer_list<int> program) {
        board.Outb(0x61, 0x37);
        board.set_reg(0x40, 0x5A);
        board.clear_accesses();
        InterpretPortProgram(board, Bytes(program));
    }
    Board board;
    const std::vector<Board::Access>& accesses() const { return board.accesses(); }
};

void ExpectOut(const Board::Access& a, std::uint16_t port, std::uint8_t value) {
    EXPECT_EQ(a.kind, Kind::Outb);
    EXPECT_EQ(a.port, port);
    EXPECT_EQ(a.value, value);
}

TEST(PortProgram, ReadModifyWriteOfTheSpeakerPort) {
    Program run({0x81, 0x61, 0x00, 0x84, 0xFC, 0x86, 0x61, 0x00, 0x00});
    ASSERT_EQ(run.accesses().size(), 2u);
    EXPECT_EQ(run.accesses()[0].kind, Kind::Inb);
    EXPECT_EQ(run.accesses()[0].port, 0x61);
    EXPECT_EQ(run.accesses()[0].value, 0x37);
    ExpectOut(run.accesses()[1], 0x61, 0x34);
}

TEST(PortProgram, AccumulatorArithmetic) {
    // OR 0x0F, complement -> 0xF0; XOR 0x3C -> 0xCC; AND 0x0F -> 0x0C.
    Program run({0x82, 0x0F, 0x83, 0x86, 0x80, 0x00, 0x85, 0x3C, 0x86, 0x80, 0x00, 0x84, 0x0F, 0x86,
                 0x80, 0x00});
    ASSERT_EQ(run.accesses().size(), 3u);
    ExpectOut(run.accesses()[0], 0x80, 0xF0);
    ExpectOut(run.accesses()[1], 0x80, 0xCC);
    ExpectOut(run.accesses()[2], 0x80, 0x0C);
}

TEST(PortProgram, RegisterReadLeavesTheAccumulatorAlone) {
    Program run({0x82, 0x33, 0x88, 0x95, 0x02, 0x40, 0x86, 0x80, 0x00});
    ASSERT_EQ(run.accesses().size(), 2u);
    EXPECT_EQ(run.accesses()[0].kind, Kind::ReadReg);
    EXPECT_EQ(run.accesses()[0].port, 0x295);
    EXPECT_EQ(run.accesses()[0].reg, 0x40);
    EXPECT_EQ(run.accesses()[0].value, 0x5A);
    ExpectOut(run.accesses()[1], 0x80, 0x33);
}

TEST(PortProgram, RegisterWriteAndPortWriteTakeFileBytesAsTheyAre) {
    Program run({0x87, 0x95, 0x02, 0x30, 0xFF, 0x80, 0x34, 0x12, 0x81});
    EXPECT_EQ(run.board.writes_to(0x30), std::vector<std::uint8_t>{0xFF});
    ASSERT_EQ(run.accesses().size(), 2u);
    ExpectOut(run.accesses()[1], 0x1234, 0x81);
}

TEST(PortProgram, UnknownOpcodeIsSkippedWithoutItsOperands) {
    // 0x7F consumes nothing, so 0x80 is the next opcode and 0x80 0x00 is its port.
    Program run({0x7F, 0x80, 0x80, 0x00, 0x11, 0xFF, 0x01});
    ASSERT_EQ(run.accesses().size(), 1u);
    ExpectOut(run.accesses()[0], 0x80, 0x11);
}

TEST(PortProgram, TruncatedOperandsReadZeroAndTheEndStops) {
    {
        Program run({0x87, 0x95, 0x02});
        ASSERT_EQ(run.accesses().size(), 1u);
        EXPECT_EQ(run.accesses()[0].kind, Kind::WriteReg);
        EXPECT_EQ(run.accesses()[0].port, 0x295);
        EXPECT_EQ(run.accesses()[0].reg, 0);
        EXPECT_EQ(run.accesses()[0].value, 0);
    }
    {
        Program run({0x80, 0x61});
        ASSERT_EQ(run.accesses().size(), 1u);
        ExpectOut(run.accesses()[0], 0x61, 0x00);
    }
}

TEST(PortProgram, EmptyOrEndFirstTouchesNoPort) {
    EXPECT_TRUE(Program({}).accesses().empty());
    EXPECT_TRUE(Program({0x00, 0x80, 0x61, 0x00, 0x01}).accesses().empty());
}

// Counts the calls that reach the board while no thread holds the driver's lock: a tune's
// thread could put its own between them.
struct LockWitness : Board {
    std::recursive_timed_mutex* lock = nullptr;
    int unlocked = 0;
    void Witness() {
        if (lock == nullptr) return;
        const bool free = std::async(std::launch::async, [this] {
                              const bool got = lock->try_lock();
                              if (got) lock->unlock();
                              return got;
                          }).get();
        if (free) ++unlocked;
    }
    std::uint8_t Inb(std::uint16_t port) override { return Witness(), Board::Inb(port); }
    void Outb(std::uint16_t port, std::uint8_t value) override {
        Witness();
        Board::Outb(port, value);
    }
    std::uint8_t ReadReg(std::uint16_t index, std::uint8_t reg) override {
        return Witness(), Board::ReadReg(index, reg);
    }
    void WriteReg(std::uint16_t index, std::uint8_t reg, std::uint8_t value) override {
        Witness();
        Board::WriteReg(index, reg, value);
    }
};

TEST(PortProgram, RunsTheProgramFileAndCreatesNoneWhenMissing) {
    LockWitness board;
    testing::Rig rig(board);
    board.lock = &rig.form.chip.driver_lock();
    const std::string dat = rig.form.ProgramFile("kelvane.dat");
    RunPortProgram(rig.form.sys.files, rig.form.chip, rig.form.ProgramFile("kelvane.dat"));
    EXPECT_TRUE(board.accesses().empty());
    EXPECT_EQ(rig.files.files.count(dat), 0u);
    EXPECT_TRUE(rig.files.appended_paths.empty());

    rig.files.files[dat] = Bytes({0x80, 0x80, 0x00, 0x42, 0x00});
    RunPortProgram(rig.form.sys.files, rig.form.chip, rig.form.ProgramFile("kelvane.dat"));
    ASSERT_EQ(board.accesses().size(), 1u);
    ExpectOut(board.accesses()[0], 0x80, 0x42);

    // A restore runs it again, as every driver call, under the driver's lock.
    rig.files.files[dat] = Bytes({0x81, 0x61, 0x00, 0x82, 0x03, 0x86, 0x61, 0x00, 0x87, 0x95,
                                  0x02, 0x14, 0x44, 0x88, 0x2E, 0x00, 0x20, 0x00});
    ReprogramChip(rig.form);
    EXPECT_EQ(board.accesses().size(), 5u);
    EXPECT_EQ(board.unlocked, 0);
}

TEST(PortProgram, DriverFailureIsARunTimeError) {
    Board board;
    board.set_failing(true);
    try {
        InterpretPortProgram(board, Bytes({0x81, 0x61, 0x00}));
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::LibraryCall);
    }
}

}  // namespace
}  // namespace kelvane
