#pragma once
// A change of the policy values, put in force on the thread that owns the program state, as
// an Apply from the options dialog would: the settings the change touches are read again
// (policy, then kelvane.ini, then the default), the fans programmed, the topmost state set.
// Nothing is saved to kelvane.ini.
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "policy/policy_values.h"
#include "state/form1.h"

namespace kelvane {

// The table indices of the keys whose values changed; empty, and nothing applied, when only
// the rewriting of an unchanged policy was seen. A run-time error of the apply propagates
// after the new values are in force.
std::vector<std::size_t> PutPolicyInForce(Form1& f, policy::InForce next);

// Where the thread that watches the policy leaves what it read; the tick, on the thread that
// owns the program state, puts the latest in force before it reads the chip. A tick comes
// every second, so a change takes effect within about one.
class PolicyInbox final : public TickListener {
  public:
    // Told on the owner's thread after a change was put in force (and its apply ran).
    using Changed = std::function<void(Form1&, const std::vector<std::size_t>&)>;
    explicit PolicyInbox(Changed changed) : changed_(std::move(changed)) {}

    void Offer(policy::InForce next);  // from any thread; a later offer replaces one waiting
    void BeforeTick(Form1& f) override;
    void AfterTick(const Form1&) override {}

  private:
    Changed changed_;
    std::mutex mutex_;
    std::optional<policy::InForce> waiting_;
};

}  // namespace kelvane
