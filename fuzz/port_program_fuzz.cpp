// Any bytes as kelvane.dat: the interpreter must end, must reach exactly the ports and
// registers the bytes name, in their order, and must carry the accumulator by its rules.
// A decoder of its own, written as a table of operand lengths, predicts every access; the
// simulated board records what really happened.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/runtime_error.h"
#include "board/board.h"
#include "chip/port_program.h"

namespace {

using kelvane::board::Board;
using Kind = Board::Access::Kind;

[[noreturn]] void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "port program: %s (access %zu)\n", what, at);
    std::abort();
}

// Operand bytes behind the opcodes 0x80..0x88; every other byte but 0x00 is skipped alone.
constexpr int kOperands[9] = {3, 2, 1, 0, 1, 1, 2, 4, 3};

constexpr int OperandsOf(std::uint8_t op) {
    return op >= 0x80 && op <= 0x88 ? kOperands[op - 0x80] : -1;
}

class Model {
  public:
    explicit Model(std::string_view bytes) : bytes_(bytes) {}

    // Checks the board's record against the bytes; returns how many accesses they name.
    std::size_t Check(const std::vector<Board::Access>& seen) {
        std::size_t next = 0;
        std::uint8_t acc = 0;
        for (;;) {
            const std::uint8_t op = At(pc_);
            if (op == 0x00) break;
            const int operands = OperandsOf(op);
            if (operands < 0) {
                ++pc_;
                continue;
            }
            const std::uint8_t a = At(pc_ + 1), b = At(pc_ + 2), c = At(pc_ + 3), d = At(pc_ + 4);
            const auto word = static_cast<std::uint16_t>(a | (b << 8));
            pc_ += 1 + static_cast<std::size_t>(operands);
            switch (op) {
                case 0x82:
                    acc = static_cast<std::uint8_t>(acc | a);
                    continue;
                case 0x83:
                    acc = static_cast<std::uint8_t>(~acc);
                    continue;
                case 0x84:
                    acc = static_cast<std::uint8_t>(acc & a);
                    continue;
                case 0x85:
                    acc = static_cast<std::uint8_t>(acc ^ a);
                    continue;
                default:
                    break;
            }
            if (next >= seen.size()) Fail("an access the bytes name is missing", next);
            const Board::Access& x = seen[next];
            switch (op) {
                case 0x80:
                    Expect(x, Kind::Outb, word, 0, c, next);
                    break;
                case 0x81:
                    Expect(x, Kind::Inb, word, 0, x.value, next);
                    acc = x.value;  // whatever the port answered
                    break;
                case 0x86:
                    Expect(x, Kind::Outb, word, 0, acc, next);
                    break;
                case 0x87:
                    Expect(x, Kind::WriteReg, word, c, d, next);
                    break;
                case 0x88:
                    Expect(x, Kind::ReadReg, word, c, x.value, next);
                    break;
            }
            ++next;
        }
        if (next != seen.size()) Fail("an access the bytes do not name", next);
        return next;
    }

  private:
    std::uint8_t At(std::size_t i) const {
        return i < bytes_.size() ? static_cast<std::uint8_t>(bytes_[i]) : 0;
    }
    static void Expect(const Board::Access& x, Kind kind, std::uint16_t port, std::uint8_t reg,
                       std::uint8_t value, std::size_t at) {
        if (x.kind != kind) Fail("wrong kind of access", at);
        if (x.port != port) Fail("wrong port", at);
        if (x.reg != reg) Fail("wrong register", at);
        if (x.value != value) Fail("wrong value (accumulator or operand)", at);
    }

    std::string_view bytes_;
    std::size_t pc_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view program(reinterpret_cast<const char*>(data), size);
    Board board;
    // Something other than 0xFF behind the ports a program is likely to read back.
    board.Outb(0x61, 0x30);
    board.set_reg(0x40, 0x5A);
    board.clear_accesses();
    try {
        kelvane::InterpretPortProgram(board, program);
    } catch (...) {
        Fail("the interpreter raised on a working driver", 0);
    }
    // Each instruction costs at least one byte and makes at most one driver call, so a run
    // that ends can never make more calls than there are bytes.
    if (board.accesses().size() > size) Fail("more driver calls than bytes", size);
    const std::size_t named = Model(program).Check(board.accesses());

    // A library that fails stops the run at its first call, as the loader's policy expects;
    // a program that names no access never notices.
    Board broken;
    broken.set_failing(true);
    bool raised = false;
    try {
        kelvane::InterpretPortProgram(broken, program);
    } catch (const kelvane::RuntimeError& e) {
        if (e.kind() != kelvane::ErrorKind::LibraryCall) Fail("wrong error kind", 0);
        raised = true;
    } catch (...) {
        Fail("a foreign exception", 0);
    }
    if (raised != (named > 0)) Fail("a failing driver was not reported", 0);
    return 0;
}
