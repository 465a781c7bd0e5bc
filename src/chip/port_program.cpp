#include "chip/port_program.h"

#include <cstdint>

namespace kelvane {
namespace {

class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

    std::uint8_t Byte() {
        if (pos_ >= bytes_.size()) return 0;
        return static_cast<std::uint8_t>(bytes_[pos_++]);
    }
    std::uint16_t Word() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

  private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

// The interpreter's calls, each taken alone under the driver's lock.
class ThroughChipAccess final : public PortDriver {
  public:
    explicit ThroughChipAccess(ChipAccess& chip) : chip_(chip) {}
    std::uint8_t Inb(std::uint16_t port) override { return chip_.Inb(port); }
    void Outb(std::uint16_t port, std::uint8_t value) override { chip_.Outb(port, value); }
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) override {
        return chip_.ReadRegAt(index_port, reg);
    }
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) override {
        chip_.WriteRegAt(index_port, reg, value);
    }

  private:
    ChipAccess& chip_;
};

}  // namespace

void InterpretPortProgram(PortDriver& driver, std::string_view program) {
    ByteReader in(program);
    std::uint8_t acc = 0;
    for (;;) {
        switch (in.Byte()) {
            case kOpEnd:
                return;
            case kOpOut: {
                const std::uint16_t port = in.Word();
                driver.Outb(port, in.Byte());
                break;
            }
            case kOpIn:
                acc = driver.Inb(in.Word());
                break;
            case kOpOr:
                acc |= in.Byte();
                break;
            case kOpNot:
                acc = static_cast<std::uint8_t>(~acc);
                break;
            case kOpAnd:
                acc &= in.Byte();
                break;
            case kOpXor:
                acc ^= in.Byte();
                break;
            case kOpOutAcc:
                driver.Outb(in.Word(), acc);
                break;
            case kOpWriteReg: {
                const std::uint16_t index = in.Word();
                const std::uint8_t reg = in.Byte();
                driver.WriteReg(index, reg, in.Byte());
                break;
            }
            case kOpReadReg: {
                const std::uint16_t index = in.Word();
                driver.ReadReg(index, in.Byte());
                break;
            }
            default:
                break;
        }
    }
}

void RunPortProgram(FileSystem& files, ChipAccess& chip, const std::string& path) {
    // Only a missing program is skipped; one that is there but cannot be read stops the loader.
    const auto program = files.ReadIfPresent(path);
    if (!program) return;
    ThroughChipAccess driver(chip);
    InterpretPortProgram(driver, *program);
}

}  // namespace kelvane
