#pragma once
// The policy values in force: what the registry's policy key holds for the keys of the table,
// each checked against its type and range. A value that fails is not used, and says why.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::policy {

// One value found under the policy key, for a key of the table.
struct PolicyReading {
    enum class Kind { Number, Text, Other };  // REG_DWORD, REG_SZ (or REG_EXPAND_SZ), other
    std::size_t key = 0;                      // index into PolicyKeys()
    Kind kind = Kind::Other;
    std::uint32_t number = 0;
    std::string text;
};

class InForce {
  public:
    InForce() = default;
    explicit InForce(const std::vector<PolicyReading>& readings);
    // A view's: which keys the owner's policy sets, without their values.
    static InForce OfKeys(const std::vector<std::size_t>& keys);

    // The value as the profile would give it (a number in decimal), when a policy sets it.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    bool Sets(std::string_view section, std::string_view key) const {
        return Value(section, key).has_value();
    }
    std::size_t count() const { return values_.size(); }
    // "Fan Ctrl Option 1\S2=60" per key set, in the table's order.
    std::vector<std::string> Lines() const;
    // The table indices of the keys set, in order.
    std::vector<std::size_t> Keys() const;
    // Why a value is not used, one sentence each, such as "Policy Fan Ctrl Option 1\S2=300
    // is outside 0..100; kelvane.ini's value is used".
    const std::vector<std::string>& problems() const { return problems_; }

    bool operator==(const InForce&) const = default;

  private:
    std::map<std::size_t, std::string> values_;
    std::vector<std::string> problems_;
};

// The table indices of the keys whose value differs between the two: set, removed or
// changed. Group Policy rewrites its keys on every refresh; only this counts as a change.
std::vector<std::size_t> ChangedKeys(const InForce& before, const InForce& after);

// "Option\DisplayOnTop, Fan Ctrl Option 1\S2" for the table indices given.
std::string KeyNames(const std::vector<std::size_t>& keys);

}  // namespace kelvane::policy
