#pragma once
// Who may change the owner's settings, decided from what the owner learnt about the view's
// token while impersonating it.
#include <string>

namespace kelvane::link {

struct TokenFacts {
    bool administrators_member = false;  // Administrators is enabled in the token
    bool elevated = false;
    // The filtered half of an administrator's split token: Administrators is there, for
    // deny only, and an elevated start would have it.
    bool split_admin = false;
};

enum class SettingsDecision { Allowed, Refused, RefusedStartElevated };

SettingsDecision DecideSettingsChange(const TokenFacts& t);
// The dialog's message for a refusal; empty for Allowed.
std::string RefusalText(SettingsDecision d);

inline constexpr const char* kRefusalText = "Only an administrator can change Kelvane's settings.";

}  // namespace kelvane::link
