#include "app/policy_change.h"

#include <algorithm>
#include <string>
#include <utility>

#include "app/load_settings.h"
#include "base/runtime_error.h"
#include "policy/policy_keys.h"
#include "state/chip_views.h"

namespace kelvane {

std::vector<std::size_t> PutPolicyInForce(Form1& f, policy::InForce next) {
    const std::vector<std::size_t> changed = policy::ChangedKeys(f.policy, next);
    // A value refused anew is a set-up problem even when nothing in force changed.
    f.policy = std::move(next);
    if (changed.empty()) return changed;
    ReloadPolicyKeys(f);
    auto touched = [&](const std::string& section) {
        for (const std::size_t i : changed)
            if (section == policy::PolicyKeys()[i].section) return true;
        return false;
    };
    // As a dialog Apply, for what changed; but a fan the chip keeps its own settings for stays
    // so unless the settings now describe it in full: a policy that sets one key must not
    // program the others from built-in zeros.
    ApplyScope scope = ScopeOfLoadedSettings(f.findings);
    bool any = false;
    for (std::size_t n = 0; n < 3; ++n) {
        scope.fans[n] = (scope.fans[n] || f.last_apply.fans[n].covered) &&
                        touched("Fan Ctrl Option " + std::to_string(n));
        any = any || scope.fans[n];
    }
    const auto on_top = policy::FindPolicyKey("Option", "DisplayOnTop");
    scope.topmost =
        scope.topmost && std::find(changed.begin(), changed.end(), on_top) != changed.end();
    scope.autostart = false;
    if (any || scope.topmost) ApplySettings(ApplyContextOf(f), kFalse, scope);
    return changed;
}

void PolicyInbox::Offer(policy::InForce next) {
    std::lock_guard lock(mutex_);
    waiting_ = std::move(next);
}

void PolicyInbox::BeforeTick(Form1& f) {
    std::optional<policy::InForce> next;
    {
        std::lock_guard lock(mutex_);
        next.swap(waiting_);
    }
    if (!next) return;
    const std::vector<std::size_t> changed = policy::ChangedKeys(f.policy, *next);
    try {
        PutPolicyInForce(f, std::move(*next));
    } catch (const RuntimeError&) {
        // A value a fan's registers refuse leaves that fan as it was, as a dialog Apply
        // would; the new values are in force and told all the same.
    }
    if (changed.empty()) return;
    // The views' dialogs show the values now in force.
    TellApplied(f);
    changed_(f, changed);
}

}  // namespace kelvane
