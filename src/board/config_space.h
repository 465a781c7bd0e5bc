#pragma once
// The Super I/O configuration pair at 0x2E/0x2F: silent until the entry key has been
// written to the index port, then a small register file with the chip's id and revision
// (0x00..0x2F, shared) and one bank per logical device (0x30..0xFF, chosen by 0x07). Logical
// device 4 is the hardware monitor: its 0x60 (high) and 0x61 (low) hold the base address,
// whose index port is the base + 5.
#include <array>
#include <cstdint>

namespace kelvane::board {

class ConfigSpace {
  public:
    static constexpr std::uint16_t kIndexPort = 0x2E;
    static constexpr std::uint16_t kDataPort = 0x2F;
    static constexpr std::uint8_t kChipIdRegister = 0x21;
    static constexpr std::uint8_t kRevisionRegister = 0x22;
    static constexpr std::uint8_t kDeviceSelect = 0x07;
    static constexpr std::uint8_t kMonitorDevice = 4;
    static constexpr std::uint16_t kMonitorIndexOffset = 5;

    ConfigSpace();

    std::uint8_t Read(std::uint16_t port) const;
    void Write(std::uint16_t port, std::uint8_t value);

    void set_chip(std::uint8_t id, std::uint8_t revision);
    std::uint8_t chip_id() const { return regs_[kChipIdRegister]; }
    std::uint8_t revision() const { return regs_[kRevisionRegister]; }
    bool entered() const { return entered_; }
    // The hardware monitor's index port as the chip's base address puts it.
    std::uint16_t monitor_index_port() const;
    void set_monitor_index_port(std::uint16_t port);

  private:
    static constexpr int kDevices = 16;
    std::uint8_t& Reg(std::uint8_t device, std::uint8_t index);
    std::uint8_t Reg(std::uint8_t device, std::uint8_t index) const;

    std::array<std::uint8_t, 256> regs_{};
    std::array<std::array<std::uint8_t, 256>, kDevices> devices_{};
    std::uint8_t index_ = 0;
    int key_progress_ = 0;
    bool entered_ = false;
};

}  // namespace kelvane::board
