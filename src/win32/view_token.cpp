#include "win32/view_token.h"

#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

link::TokenFacts FactsOf(HANDLE token) {
    link::TokenFacts facts;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &sid))
        return facts;
    const Owned<PSID, FreeSid> administrators(sid);
    // Counts only an enabled membership: the filtered half of a split token has the group
    // for deny only.
    BOOL member = FALSE;
    if (CheckTokenMembership(token, sid, &member)) facts.administrators_member = member;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
        facts.elevated = elevation.TokenIsElevated != 0;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    if (GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size))
        facts.split_admin = type == TokenElevationTypeLimited;
    return facts;
}

}  // namespace

link::TokenFacts ViewTokenFacts(HANDLE pipe) {
    if (!ImpersonateNamedPipeClient(pipe)) return {};
    HANDLE token = nullptr;
    const bool opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    // Back to the owner's own rights before anything else runs on this thread.
    RevertToSelf();
    if (!opened) return {};
    const OwnedHandle owned(token);
    return FactsOf(token);
}

}  // namespace kelvane::win32
