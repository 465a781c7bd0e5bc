#pragma once
// The settings file as the program reads and writes it once policies count: a value a policy
// sets wins over the file's, and is never written to the file. An Apply that saves such a key
// leaves the file's own value in place, so removing the policy brings that value back.
#include "base/profile.h"
#include "policy/policy_values.h"

namespace kelvane::policy {

class PolicyProfile final : public Profile {
  public:
    PolicyProfile(Profile& file, const InForce& policy) : file_(file), policy_(policy) {}

    std::int64_t GetInt(const std::string& section, const std::string& key,
                        std::int64_t default_value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& default_value) override;
    std::string GetMarkedText(const std::string& section, const std::string& key,
                              const std::string& default_value) override;
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;

  private:
    Profile& file_;
    const InForce& policy_;
};

}  // namespace kelvane::policy
