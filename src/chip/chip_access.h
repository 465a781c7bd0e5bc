#pragma once
// Checked access to the chip for code that computes register numbers, values and ports
// from wider whole numbers (0x15 + n, 0x60 + 8n + k, a setting): each argument passes the
// byte or port range check before the driver is called, so an out-of-range value raises
// the overflow error and touches nothing.
#include <cstdint>

#include "base/byte.h"
#include "base/int16.h"
#include "base/runtime_error.h"
#include "chip/port_driver.h"

namespace kelvane {

class ChipAccess {
  public:
    ChipAccess(PortDriver& driver, const i16& index_port)
        : driver_(driver), index_port_(index_port) {}

    // Hardware-monitor registers behind the index port g_Address.
    std::uint8_t ReadReg(long long reg) {
        const u8 r = ToByte(reg);
        CheckMonitorPort();
        return driver_.ReadReg(ToPort(index_port_), r);
    }
    void WriteReg(long long reg, long long value) {
        const u8 r = ToByte(reg);
        const u8 v = ToByte(value);
        CheckMonitorPort();
        driver_.WriteReg(ToPort(index_port_), r, v);
    }
    // Once the chip has said its hardware monitor is elsewhere: every register access at
    // g_Address would write the register number into some other device, so none is made.
    void WithholdMonitor(bool withhold) { monitor_withheld_ = withhold; }
    bool monitor_withheld() const { return monitor_withheld_; }

    // Any register pair, such as the configuration pair at 0x2E.
    std::uint8_t ReadRegAt(long long index_port, long long reg) {
        const std::uint16_t p = ToPort(index_port);
        return driver_.ReadReg(p, ToByte(reg));
    }
    void WriteRegAt(long long index_port, long long reg, long long value) {
        const std::uint16_t p = ToPort(index_port);
        const u8 r = ToByte(reg);
        const u8 v = ToByte(value);
        driver_.WriteReg(p, r, v);
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
    void CheckMonitorPort() const {
        if (monitor_withheld_) Raise(ErrorKind::Withheld, "hardware monitor not at its port");
    }

    PortDriver& driver_;
    const i16& index_port_;  // follows g_Address as the settings change it
    bool monitor_withheld_ = false;
};

}  // namespace kelvane
