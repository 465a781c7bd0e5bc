#pragma once
// The policy values under HKLM\SOFTWARE\Policies\Kelvane\<Section>, and a thread that watches
// HKLM\SOFTWARE\Policies as a whole: Kelvane's own key may not exist yet, a service gets no
// WM_SETTINGCHANGE, and Group Policy deletes and rewrites its keys on every refresh. Each
// notification is followed by a fresh read, offered only when it differs from the last one.
#include <windows.h>

#include <functional>
#include <thread>
#include <vector>

#include "policy/policy_values.h"
#include "win32/handles.h"

namespace kelvane::win32 {

// The 64-bit view, so that a 32-bit Kelvane sees what a 64-bit policy engine wrote.
std::vector<policy::PolicyReading> ReadPolicyRegistry();

class PolicyWatch {
  public:
    using Offer = std::function<void(policy::InForce)>;
    // `in_force` is what the program read at start; `offer` runs on the watch's thread.
    PolicyWatch(policy::InForce in_force, Offer offer);
    ~PolicyWatch();  // stops and joins the thread
    PolicyWatch(const PolicyWatch&) = delete;
    PolicyWatch& operator=(const PolicyWatch&) = delete;

  private:
    void Run();

    policy::InForce last_;
    Offer offer_;
    OwnedHandle stop_;
    std::thread thread_;
};

}  // namespace kelvane::win32
