#pragma once
// The four operations of the chip maker's port driver library. On Windows they are backed
// by brantelvio.dll; tests and benchmarks use the in-process simulated board. A missing or
// failing library raises RuntimeError(LibraryCall) from the call.
#include <cstdint>

namespace kelvane {

class PortDriver {
  public:
    virtual ~PortDriver() = default;
    virtual std::uint8_t Inb(std::uint16_t port) = 0;
    virtual void Outb(std::uint16_t port, std::uint8_t value) = 0;
    // Writes reg to index_port and reads the data port index_port + 1.
    virtual std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) = 0;
    virtual void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) = 0;
};

}  // namespace kelvane
