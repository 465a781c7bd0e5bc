#include "win32/owner_lock.h"

namespace kelvane::win32 {

bool OwnerLock::Take() {
    if (handle_) return true;
    OwnedHandle lock(CreateMutexA(nullptr, FALSE, kOwnerLockName));
    // ERROR_ALREADY_EXISTS, or no handle at all (access denied): another process owns it.
    if (!lock || GetLastError() == ERROR_ALREADY_EXISTS) return false;
    handle_ = std::move(lock);
    return true;
}

}  // namespace kelvane::win32
