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

bool ServiceInstalled() {
    const Owned<SC_HANDLE, CloseServiceHandle> manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    const Owned<SC_HANDLE, CloseServiceHandle> service(
        OpenServiceA(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
    // Access denied: it is there, and not ours to look at.
    return service || GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace kelvane::win32
