#include <cstdio>

#include "board/board.h"

namespace kelvane::board {
namespace {

std::string Hex(unsigned value, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s = "0x";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) s += kDigits[(value >> shift) & 0xF];
    return s;
}

}  // namespace

std::string TraceLine(long long ms, std::uint32_t pid, const Board::Access& a) {
    std::string line = std::to_string(ms) + " pid=" + std::to_string(pid) + " ";
    switch (a.kind) {
        case Board::Access::Kind::Inb:
            return line + "Inb " + Hex(a.port, 4) + " = " + Hex(a.value, 2);
        case Board::Access::Kind::Outb:
            return line + "Outb " + Hex(a.port, 4) + " " + Hex(a.value, 2);
        case Board::Access::Kind::ReadReg:
            return line + "ReadReg " + Hex(a.port, 4) + " " + Hex(a.reg, 2) + " = " +
                   Hex(a.value, 2);
        case Board::Access::Kind::WriteReg:
            return line + "WriteReg " + Hex(a.port, 4) + " " + Hex(a.reg, 2) + " " +
                   Hex(a.value, 2);
    }
    return line;
}

std::string SpeakerLine(const Tone& tone) {
    char frequency[32];
    std::snprintf(frequency, sizeof frequency, "%.1f", tone.frequency_hz);
    return "Tone divisor=" + std::to_string(tone.divisor) + " frequency=" + frequency +
           " duration=" + std::to_string(tone.duration_ms);
}

}  // namespace kelvane::board
