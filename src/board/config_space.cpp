#include "board/config_space.h"

namespace kelvane::board {
namespace {

constexpr std::array<std::uint8_t, 4> kEntryKey{0x87, 0x01, 0x55, 0x55};
constexpr std::uint8_t kConfigControl = 0x02;  // bit 1 written: leave configuration mode

constexpr std::uint8_t kFirstDeviceRegister = 0x30;
constexpr std::uint8_t kBaseHigh = 0x60, kBaseLow = 0x61;

}  // namespace

ConfigSpace::ConfigSpace() {
    set_chip(0x12, 8);
    set_monitor_index_port(0x295);
}

// A device number beyond the banks reads as the last one; real chips ignore the high bits.
std::uint8_t& ConfigSpace::Reg(std::uint8_t device, std::uint8_t index) {
    if (index < kFirstDeviceRegister) return regs_[index];
    return devices_[static_cast<std::size_t>(device % kDevices)][index];
}

std::uint8_t ConfigSpace::Reg(std::uint8_t device, std::uint8_t index) const {
    return const_cast<ConfigSpace*>(this)->Reg(device, index);
}

std::uint16_t ConfigSpace::monitor_index_port() const {
    const int base = Reg(kMonitorDevice, kBaseHigh) * 256 + Reg(kMonitorDevice, kBaseLow);
    return static_cast<std::uint16_t>(base + kMonitorIndexOffset);
}

void ConfigSpace::set_monitor_index_port(std::uint16_t port) {
    const auto base = static_cast<std::uint16_t>(port - kMonitorIndexOffset);
    Reg(kMonitorDevice, kBaseHigh) = static_cast<std::uint8_t>(base >> 8);
    Reg(kMonitorDevice, kBaseLow) = static_cast<std::uint8_t>(base & 0xFF);
}

void ConfigSpace::set_chip(std::uint8_t id, std::uint8_t revision) {
    regs_[kChipIdRegister] = id;
    regs_[kRevisionRegister] = revision;
}

std::uint8_t ConfigSpace::Read(std::uint16_t port) const {
    if (!entered_) return 0xFF;
    return port == kIndexPort ? index_ : Reg(regs_[kDeviceSelect], index_);
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
    if (index_ != kChipIdRegister && index_ != kRevisionRegister)
        Reg(regs_[kDeviceSelect], index_) = value;
}

}  // namespace kelvane::board
