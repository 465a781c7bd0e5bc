#include "policy/policy_values.h"

#include <algorithm>

#include "policy/policy_keys.h"

namespace kelvane::policy {
namespace {

std::string Rejected(const PolicyKey& k, const std::string& why) {
    return "Policy " + PolicyKeyName(k) + why + "; kelvane.ini's value is used";
}

// As the profile gives a text: without surrounding blanks, at most 1023 characters.
std::string ProfileText(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, std::min<std::size_t>(last + 1 - first, 1023));
}

}  // namespace

InForce::InForce(const std::vector<PolicyReading>& readings) {
    const auto table = PolicyKeys();
    for (const PolicyReading& r : readings) {
        if (r.key >= table.size()) continue;
        const PolicyKey& k = table[r.key];
        if (k.type == PolicyType::Text) {
            if (r.kind == PolicyReading::Kind::Text)
                values_[r.key] = ProfileText(r.text);
            else
                problems_.push_back(Rejected(k, " is not a text (REG_SZ)"));
            continue;
        }
        if (r.kind != PolicyReading::Kind::Number) {
            problems_.push_back(Rejected(k, " is not a number (REG_DWORD)"));
            continue;
        }
        // A DWORD is unsigned: 0xFFFFFFFF is far above the range, not -1.
        const std::string text = std::to_string(r.number);
        if (static_cast<std::int64_t>(r.number) < k.min ||
            static_cast<std::int64_t>(r.number) > k.max)
            problems_.push_back(Rejected(k, "=" + text + " is outside " + std::to_string(k.min) +
                                                ".." + std::to_string(k.max)));
        else
            values_[r.key] = text;
    }
}

InForce InForce::OfKeys(const std::vector<std::size_t>& keys) {
    InForce in_force;
    for (const std::size_t key : keys)
        if (key < PolicyKeys().size()) in_force.values_[key];
    return in_force;
}

std::optional<std::string> InForce::Value(std::string_view section, std::string_view key) const {
    // Every settings read asks: without a policy, as on most terminals, the table is not searched.
    if (values_.empty()) return std::nullopt;
    const auto i = FindPolicyKey(section, key);
    if (!i) return std::nullopt;
    const auto found = values_.find(*i);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::vector<std::string> InForce::Lines() const {
    std::vector<std::string> lines;
    for (const auto& [key, value] : values_)
        lines.push_back(PolicyKeyName(PolicyKeys()[key]) + "=" + value);
    return lines;
}

std::vector<std::size_t> InForce::Keys() const {
    std::vector<std::size_t> keys;
    for (const auto& entry : values_) keys.push_back(entry.first);
    return keys;
}

std::vector<std::size_t> ChangedKeys(const InForce& before, const InForce& after) {
    std::vector<std::size_t> changed;
    const auto table = PolicyKeys();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (before.Value(table[i].section, table[i].key) !=
            after.Value(table[i].section, table[i].key))
            changed.push_back(i);
    return changed;
}

std::string KeyNames(const std::vector<std::size_t>& keys) {
    std::string names;
    for (const std::size_t i : keys)
        names += (names.empty() ? "" : ", ") + PolicyKeyName(PolicyKeys()[i]);
    return names;
}

}  // namespace kelvane::policy
