#include "board/config_space.h"

namespace kelvane::board {
namespace {

constexpr std::array<std::uint8_t, 4> kEntryKey{0x87, 0x01, 0x55, 0x55};
constexpr std::uint8_t kConfigControl = 0x02;  // bit 1 written: leave configuration mode

}  // namespace

ConfigSpace::ConfigSpace() { set_chip(0x12, 8); }

void ConfigSpace::set_chip(std::uint8_t id, std::uint8_t revision) {
    regs_[kChipIdRegister] = id;
    regs_[kRevisionRegister] = revision;
}

std::uint8_t ConfigSpace::Read(std::uint16_t port) const {
    if (!entered_) return 0xFF;
    return port == kIndexPort ? index_ : regs_[index_];
}

void ConfigSpace::Write(std::uint16_t port, std::uint8_t value) {
    if (port == kIndexPort) {
        if (entered_) {
            index_ = value;
        } else if (value == kEntryKey[key_progress_]) {
            entered_ = ++key_progress_ == static_cast<int>(kEntryKey.size());
        } else {
            key_progress_ = value == kEntryKey[0] ? 1 : 0;
        }
        return;
    }
    if (!entered_) return;
    if (index_ == kConfigControl && (value & 0x02) != 0) {
        entered_ = false;
        key_progress_ = 0;
        return;
    }
    // The identification registers are read-only on the chip.
    if (index_ != kChipIdRegister && index_ != kRevisionRegister) regs_[index_] = value;
}

}  // namespace kelvane::board
