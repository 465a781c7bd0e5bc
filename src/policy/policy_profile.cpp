#include "policy/policy_profile.h"

namespace kelvane::policy {

std::int64_t PolicyProfile::GetInt(const std::string& section, const std::string& key,
                                   std::int64_t default_value) {
    // Numbers in force were checked against their range, so they are plain decimals.
    if (const auto v = policy_.Value(section, key)) return std::stoll(*v);
    return file_.GetInt(section, key, default_value);
}

std::string PolicyProfile::GetString(const std::string& section, const std::string& key,
                                     const std::string& default_value) {
    if (const auto v = policy_.Value(section, key)) return *v;
    return file_.GetString(section, key, default_value);
}

std::string PolicyProfile::GetMarkedText(const std::string& section, const std::string& key,
                                         const std::string& default_value) {
    if (const auto v = policy_.Value(section, key)) return *v;
    return file_.GetMarkedText(section, key, default_value);
}

bool PolicyProfile::WriteString(const std::string& section, const std::string& key,
                                const std::string& value) {
    if (policy_.Sets(section, key)) return true;
    return file_.WriteString(section, key, value);
}

}  // namespace kelvane::policy
