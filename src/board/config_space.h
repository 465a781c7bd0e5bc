#pragma once
// The Super I/O configuration pair at 0x2E/0x2F: silent until the entry key has been
// written to the index port, then a small register file with the chip's id and revision.
#include <array>
#include <cstdint>

namespace kelvane::board {

class ConfigSpace {
  public:
    static constexpr std::uint16_t kIndexPort = 0x2E;
    static constexpr std::uint16_t kDataPort = 0x2F;
    static constexpr std::uint8_t kChipIdRegister = 0x21;
    static constexpr std::uint8_t kRevisionRegister = 0x22;

    ConfigSpace();

    std::uint8_t Read(std::uint16_t port) const;
    void Write(std::uint16_t port, std::uint8_t value);

    void set_chip(std::uint8_t id, std::uint8_t revision);
    std::uint8_t chip_id() const { return regs_[kChipIdRegister]; }
    std::uint8_t revision() const { return regs_[kRevisionRegister]; }
    bool entered() const { return entered_; }

  private:
    std::array<std::uint8_t, 256> regs_{};
    std::uint8_t index_ = 0;
    int key_progress_ = 0;
    bool entered_ = false;
};

}  // namespace kelvane::board
