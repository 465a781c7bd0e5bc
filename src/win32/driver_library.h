#pragma once
// The port driver backed by brantelvio.dll, loaded by its full path from the program's own
// folder only: a copy planted in the current directory or on the search path is never used.
#include <windows.h>

#include <string>

#include "app/about_details.h"
#include "chip/port_driver.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class DriverLibrary : public PortDriver, public DriverLibraryFacts {
  public:
    explicit DriverLibrary(std::string dll_path) : path_(std::move(dll_path)) {}

    std::string LibraryPath() const override { return path_; }
    bool LibraryLoaded() const override { return static_cast<bool>(library_); }
    bool LibrarySimulated() const override { return simulated_; }

    std::uint8_t Inb(std::uint16_t port) override;
    void Outb(std::uint16_t port, std::uint8_t value) override;
    std::uint8_t ReadReg(std::uint16_t index_port, std::uint8_t reg) override;
    void WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) override;

  private:
    using InbFn = unsigned char(__stdcall*)(unsigned short);
    using OutbFn = void(__stdcall*)(unsigned short, unsigned char);
    using ReadRegFn = unsigned char(__stdcall*)(unsigned short, unsigned char);
    using WriteRegFn = void(__stdcall*)(unsigned short, unsigned char, unsigned char);

    // Loads on first use; a library that cannot be loaded is tried again on the next call,
    // so a driver installed while the program runs is picked up.
    void EnsureLoaded();

    std::string path_;
    OwnedLibrary library_;
    InbFn inb_ = nullptr;
    OutbFn outb_ = nullptr;
    ReadRegFn read_reg_ = nullptr;
    WriteRegFn write_reg_ = nullptr;
    bool simulated_ = false;
};

}  // namespace kelvane::win32
