#include "win32/driver_library.h"

#include "base/runtime_error.h"

namespace kelvane::win32 {
namespace {

template <typename Fn>
Fn Resolve(HMODULE library, const char* name) {
    // GetProcAddress hands back a generic pointer; the cast to the export's type is the contract.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

void DriverLibrary::EnsureLoaded() {
    if (library_) return;
    // The altered search path makes the DLL's own dependencies resolve from its folder too.
    HMODULE library = LoadLibraryExA(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) Raise(ErrorKind::LibraryCall, "cannot load " + path_);
    OwnedLibrary owned(library);
    auto inb = Resolve<InbFn>(library, "Inb");
    auto outb = Resolve<OutbFn>(library, "Outb");
    auto read_reg = Resolve<ReadRegFn>(library, "ReadReg");
    auto write_reg = Resolve<WriteRegFn>(library, "WriteReg");
    if (!inb || !outb || !read_reg || !write_reg)
        Raise(ErrorKind::LibraryCall, "missing export in " + path_);
    library_ = std::move(owned);
    inb_ = inb;
    outb_ = outb;
    read_reg_ = read_reg;
    write_reg_ = write_reg;
}

std::uint8_t DriverLibrary::Inb(std::uint16_t port) {
    EnsureLoaded();
    const std::uint8_t v = inb_(port);
    GetLastError();  // fetched and ignored: the driver reports nothing
    return v;
}

void DriverLibrary::Outb(std::uint16_t port, std::uint8_t value) {
    EnsureLoaded();
    outb_(port, value);
    GetLastError();
}

std::uint8_t DriverLibrary::ReadReg(std::uint16_t index_port, std::uint8_t reg) {
    EnsureLoaded();
    const std::uint8_t v = read_reg_(index_port, reg);
    GetLastError();
    return v;
}

void DriverLibrary::WriteReg(std::uint16_t index_port, std::uint8_t reg, std::uint8_t value) {
    EnsureLoaded();
    write_reg_(index_port, reg, value);
    GetLastError();
}

}  // namespace kelvane::win32
