#pragma once
// Checked access to the chip for code that computes register numbers, values and ports
// from wider whole numbers (0x15 + n, 0x60 + 8n + k, a setting): each argument passes the
// byte or port range check before the driver is called, so an out-of-range value raises
// the overflow error and touches nothing.
#include <cstdint>

#include "base/byte.h"
#include "base/int16.h"
#include "chip/port_driver.h"

namespace kelvane {

class ChipAccess {
  public:
    ChipAccess(PortDriver& driver, const i16& index_port)
        : driver_(driver), index_port_(index_port) {}

    // Hardware-monitor registers behind the index port g_Address.
    std::uint8_t ReadReg(long long reg) {
        const u8 r = ToByte(reg);
        return driver_.ReadReg(ToPort(index_port_), r);
    }
    void WriteReg(long long reg, long long value) {
        const u8 r = ToByte(reg);
        const u8 v = ToByte(value);
        driver_.WriteReg(ToPort(index_port_), r, v);
    }

    // Any register pair, such as the configuration pair at 0x2E.
    std::uint8_t ReadRegAt(long long index_port, long long reg) {
        const std::uint16_t p = ToPort(index_port);
        return driver_.ReadReg(p, ToByte(reg));
    }

    std::uint8_t Inb(long long port) { return driver_.Inb(ToPort(port)); }
    void Outb(long long port, long long value) {
        const std::uint16_t p = ToPort(port);
        const u8 v = ToByte(value);
        driver_.Outb(p, v);
    }

    PortDriver& driver() { return driver_; }
    i16 index_port() const { return index_port_; }

  private:
    PortDriver& driver_;
    const i16& index_port_;  // follows g_Address as the settings change it
};

}  // namespace kelvane
