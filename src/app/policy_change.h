#pragma once
// A change of the policy values, put in force on the thread that owns the program state, as
// an Apply from the options dialog would: the settings the change touches are read again
// (policy, then kelvane.ini, then the default), the fans programmed, the topmost state set.
// Nothing is saved to kelvane.ini.
#include <cstddef>
#include <vector>

#include "policy/policy_values.h"
#include "state/form1.h"

namespace kelvane {

// The table indices of the keys whose values changed; empty, and nothing applied, when only
// the rewriting of an unchanged policy was seen. A run-time error of the apply propagates
// after the new values are in force.
std::vector<std::size_t> PutPolicyInForce(Form1& f, policy::InForce next);

}  // namespace kelvane
