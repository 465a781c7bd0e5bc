#include "policy/policy_keys.h"

#include <array>
#include <cctype>
#include <stdexcept>

namespace kelvane::policy {
namespace {

constexpr PolicyType N = PolicyType::Number;
constexpr PolicyType T = PolicyType::Text;

// One key per line, {section, key, type, min, max}: scripts/check-policy-templates.py reads
// these lines. The ranges are the options dialog's: points and the alarm 0..100 degrees, PWM
// values 0..127, the delta slider 0..5.
constexpr std::array kKeys = {
    PolicyKey{"Fan Ctrl Option 0", "Mode", N, 0, 1},
    PolicyKey{"Fan Ctrl Option 0", "S0", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 0", "S1", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 0", "S2", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 0", "S3", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 0", "S4", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 0", "DeltaTemp", N, 0, 5},
    PolicyKey{"Fan Ctrl Option 0", "Speed0", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 0", "Speed1", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 0", "Speed2", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 0", "SwFan", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 0", "TmpAlarm", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "Mode", N, 0, 1},
    PolicyKey{"Fan Ctrl Option 1", "S0", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "S1", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "S2", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "S3", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "S4", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 1", "DeltaTemp", N, 0, 5},
    PolicyKey{"Fan Ctrl Option 1", "Speed0", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 1", "Speed1", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 1", "Speed2", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 1", "SwFan", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 1", "TmpAlarm", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "Mode", N, 0, 1},
    PolicyKey{"Fan Ctrl Option 2", "S0", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "S1", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "S2", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "S3", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "S4", N, 0, 100},
    PolicyKey{"Fan Ctrl Option 2", "DeltaTemp", N, 0, 5},
    PolicyKey{"Fan Ctrl Option 2", "Speed0", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 2", "Speed1", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 2", "Speed2", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 2", "SwFan", N, 0, 127},
    PolicyKey{"Fan Ctrl Option 2", "TmpAlarm", N, 0, 100},
    PolicyKey{"Option", "SoundWarnning", N, 0, 3},
    PolicyKey{"Option", "DisplayOnTop", N, 0, 1},
    PolicyKey{"Export", "TextFile", T, 0, 0},
    PolicyKey{"History", "Days", N, 1, 3650},
    PolicyKey{"Maintenance", "Enabled", N, 0, 1},
    PolicyKey{"Maintenance", "BaselineMinutes", N, 2, 43200},
    PolicyKey{"Maintenance", "WindowMinutes", N, 2, 10080},
    PolicyKey{"Maintenance", "FanDropPercent", N, 5, 90},
    PolicyKey{"Maintenance", "RiseDegrees", N, 2, 40},
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::span<const PolicyKey> PolicyKeys() { return kKeys; }

std::optional<std::size_t> FindPolicyKey(std::string_view section, std::string_view key) {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (SameName(kKeys[i].section, section) && SameName(kKeys[i].key, key)) return i;
    return std::nullopt;
}

std::string PolicyKeyName(const PolicyKey& k) { return std::string(k.section) + "\\" + k.key; }

const PolicyKey& FanKeyRule(std::string_view key) {
    const auto i = FindPolicyKey("Fan Ctrl Option 0", key);
    if (!i) throw std::logic_error("no fan key rule");
    return kKeys[*i];
}

}  // namespace kelvane::policy
