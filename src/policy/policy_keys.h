#pragma once
// The keys of kelvane.ini an administrator may set by policy, with the type and range each
// takes. The options dialog takes its ranges from here, and the administrative templates are
// checked against this table, so a range has no other home.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kelvane::policy {

enum class PolicyType { Number, Text };

struct PolicyKey {
    const char* section;
    const char* key;
    PolicyType type;
    int min;  // a number's range; unused for text
    int max;
};

std::span<const PolicyKey> PolicyKeys();

// The table's entry for a key, its names compared as the profile compares them (ASCII letters
// in either case).
std::optional<std::size_t> FindPolicyKey(std::string_view section, std::string_view key);

// "Fan Ctrl Option 1\S2": how a key is named under the policy key and in every message.
std::string PolicyKeyName(const PolicyKey& k);

// The range of a fan-record key, the same for every fan ("S2", "Speed0", "DeltaTemp", ...).
const PolicyKey& FanKeyRule(std::string_view key);

}  // namespace kelvane::policy
