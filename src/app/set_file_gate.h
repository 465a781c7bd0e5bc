#pragma once
// The set-file gate: "auto.set" in the program folder names the active ".set" file of the
// fan control tool; a missing or not-set-up one hands over to the tool's quick.exe.
#include <string>

#include "state/form1.h"

namespace kelvane {

// Looks for `name` (default extension ".set") in `path` only. A name that could reach
// outside that folder (separators, a drive, wildcards, control characters) is never found.
bool FindSetFile(Form1& f, const std::string& path, const std::string& name, std::string& found,
                 std::string& file_part);

// False when the gate fails; quick.exe has then been started and the caller ends the
// process before touching the chip. No auto.set, or an unreadable set file, passes.
bool SetFileGatePasses(Form1& f);

}  // namespace kelvane
