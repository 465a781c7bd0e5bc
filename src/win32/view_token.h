#pragma once
// What the owner learns of a view's token by impersonating it on the pipe, for the decision
// whether it may change the settings.
#include <windows.h>

#include "link/authorisation.h"

namespace kelvane::win32 {

// Impersonates the client of `pipe` (which must have sent something already), reads its
// token and reverts. A client that cannot be impersonated is nobody: every fact is false.
link::TokenFacts ViewTokenFacts(HANDLE pipe);

}  // namespace kelvane::win32
