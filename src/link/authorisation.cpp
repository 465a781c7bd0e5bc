#include "link/authorisation.h"

namespace kelvane::link {

SettingsDecision DecideSettingsChange(const TokenFacts& t) {
    // Membership counts only where it is enabled: an unelevated administrator is refused
    // like a cashier, but told how to get through.
    if (t.administrators_member && (t.elevated || !t.split_admin)) return SettingsDecision::Allowed;
    if (t.split_admin && !t.elevated) return SettingsDecision::RefusedStartElevated;
    return SettingsDecision::Refused;
}

std::string RefusalText(SettingsDecision d) {
    switch (d) {
        case SettingsDecision::Allowed:
            return {};
        case SettingsDecision::Refused:
            return kRefusalText;
        case SettingsDecision::RefusedStartElevated:
            return std::string(kRefusalText) +
                   " Start Kelvane as administrator (right-click, \"Run as administrator\") to "
                   "change them.";
    }
    return kRefusalText;
}

}  // namespace kelvane::link
