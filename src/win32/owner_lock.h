#pragma once
// The machine-wide lock that names the one process that drives the chip: the service where it
// runs, otherwise the first window program. A lock made by LocalSystem answers a user's open
// with access denied, which also says that an owner exists.
#include <windows.h>

#include "win32/handles.h"

namespace kelvane::win32 {

inline constexpr const char* kOwnerLockName = "Global\\Kelvane.Owner";
inline constexpr const char* kServiceName = "Kelvane";

// Whether the Kelvane service is installed, running or not: then it alone drives the chip.
bool ServiceInstalled();

class OwnerLock {
  public:
    // True when this process now owns the chip (or already did).
    bool Take();
    bool owned() const { return static_cast<bool>(handle_); }
    void Release() { handle_.reset(); }

  private:
    OwnedHandle handle_;
};

}  // namespace kelvane::win32
