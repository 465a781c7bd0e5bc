#pragma once
// Checked access to the chip for code that computes register numbers, values and ports
// from wider whole numbers (0x15 + n, 0x60 + 8n + k, a setting): each argument passes the
// byte or port range check before the driver is called, so an out-of-range value raises
// the overflow error and touches nothing.
//
// Two threads share the driver: the window's (start-up, the monitor cycle, apply) and the
// alarm tune's. Every call is taken alone, and a unit of several calls holds Unit() across
// them. driver_lock() is the one lock of the driver, for anyone who must wait on it with a
// bound (try_lock_for). Once the fans are handed back, Close() ends every access from every
// thread: the check is made under the lock, so no call that waited for it slips through.
#include <atomic>
#include <cstdint>
#include <mutex>

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
        const std::uint16_t p = ToPort(index_port_);
        CheckMonitorPort();
        const Lock unit = Unit();
        CheckOpen();
        return driver_.ReadReg(p, r);
    }
    void WriteReg(long long reg, long long value) {
        const u8 r = ToByte(reg);
        const u8 v = ToByte(value);
        const std::uint16_t p = ToPort(index_port_);
        CheckMonitorPort();
        const Lock unit = Unit();
        CheckOpen();
        driver_.WriteReg(p, r, v);
    }
    // Once the chip has said its hardware monitor is elsewhere: every register access at
    // g_Address would write the register number into some other device, so none is made.
    void WithholdMonitor(bool withhold) { monitor_withheld_ = withhold; }
    bool monitor_withheld() const { return monitor_withheld_; }

    // Any register pair, such as the configuration pair at 0x2E.
    std::uint8_t ReadRegAt(long long index_port, long long reg) {
        const std::uint16_t p = ToPort(index_port);
        const u8 r = ToByte(reg);
        const Lock unit = Unit();
        CheckOpen();
        return driver_.ReadReg(p, r);
    }
    void WriteRegAt(long long index_port, long long reg, long long value) {
        const std::uint16_t p = ToPort(index_port);
        const u8 r = ToByte(reg);
        const u8 v = ToByte(value);
        const Lock unit = Unit();
        CheckOpen();
        driver_.WriteReg(p, r, v);
    }

    std::uint8_t Inb(long long port) {
        const std::uint16_t p = ToPort(port);
        const Lock unit = Unit();
        CheckOpen();
        return driver_.Inb(p);
    }
    void Outb(long long port, long long value) {
        const std::uint16_t p = ToPort(port);
        const u8 v = ToByte(value);
        const Lock unit = Unit();
        CheckOpen();
        driver_.Outb(p, v);
    }

    using Lock = std::unique_lock<std::recursive_timed_mutex>;
    // Held across the calls of one unit: a read-modify-write of port 0x61, the timer's
    // control word and count bytes.
    [[nodiscard]] Lock Unit() { return Lock(lock_); }
    std::recursive_timed_mutex& driver_lock() { return lock_; }

    // The fans were handed back: from now on every call raises, and none reaches the driver.
    void Close() { closed_ = true; }
    bool closed() const { return closed_; }

    PortDriver& driver() { return driver_; }
    i16 index_port() const { return index_port_; }

  private:
    void CheckMonitorPort() const {
        if (monitor_withheld_) Raise(ErrorKind::Withheld, "hardware monitor not at its port");
    }
    void CheckOpen() const {
        if (closed_) Raise(ErrorKind::Withheld, "the fans were handed back");
    }

    PortDriver& driver_;
    const i16& index_port_;  // follows g_Address as the settings change it
    bool monitor_withheld_ = false;
    std::atomic<bool> closed_{false};
    std::recursive_timed_mutex lock_;
};

}  // namespace kelvane
