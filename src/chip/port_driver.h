#pragma once
// The four operations of the chip maker's port driver library. On Windows they are backed
// by brantelvio.dll; tests and benchmarks use the in-process simulated board. A missing or
// failing library raises RuntimeError(LibraryCall) from the call.
#include <cstdint>
#include <string>

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

// What the port driver knows of its own library. The Windows driver implements it beside
// PortDriver; a driver without a library (the in-process simulated board) does not.
class DriverLibraryFacts {
  public:
    virtual ~DriverLibraryFacts() = default;
    virtual std::string LibraryPath() const = 0;  // full path
    virtual bool LibraryLoaded() const = 0;
    // The loaded library is the simulated board's stand-in, not the chip maker's driver.
    virtual bool LibrarySimulated() const = 0;
};

// "simulated" (the stand-in library or the in-process board), "vendor" (a loaded library
// that is not the stand-in) or "none" (no library loaded yet).
inline const char* DriverKind(const DriverLibraryFacts* facts) {
    if (!facts || facts->LibrarySimulated()) return "simulated";
    return facts->LibraryLoaded() ? "vendor" : "none";
}
// Cross-cast: the Windows driver also describes its library. A caller asking on every tick
// keeps the cast's result, which never changes for a driver.
inline const DriverLibraryFacts* LibraryFactsOf(const PortDriver& driver) {
    return dynamic_cast<const DriverLibraryFacts*>(&driver);
}
inline const char* DriverKind(const PortDriver& driver) {
    return DriverKind(LibraryFactsOf(driver));
}

}  // namespace kelvane
