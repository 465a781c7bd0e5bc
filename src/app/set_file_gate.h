#pragma once
// The set-file gate: "auto.set" in the program folder names the active ".set" file of the
// fan control tool; a missing or not-set-up one hands over to the tool's quick.exe.
#include <string>

#include "base/platform.h"
#include "state/form1.h"

namespace kelvane {

// Looks for `name` (default extension ".set") in `path` only. A name that could reach
// outside that folder (separators, a drive, wildcards, control characters) is never found.
bool FindSetFile(FileSystem& files, const std::string& path, const std::string& name,
                 std::string& found, std::string& file_part);
inline bool FindSetFile(Form1& f, const std::string& path, const std::string& name,
                        std::string& found, std::string& file_part) {
    return FindSetFile(f.sys.files, path, name, found, file_part);
}

// The gate's decision from the files alone. No auto.set, or an unreadable set file, passes.
bool SetFileReady(FileSystem& files, const std::string& program_folder,
                  const std::string& program_root);

// False when the gate fails; quick.exe has then been started, if `start_quick`, and the
// caller ends the process before touching the chip.
bool SetFileGatePasses(Form1& f, bool start_quick = true);

// The fan tool's program `exe` under the program root.
std::string ToolProgram(const std::string& program_root, const std::string& exe);

}  // namespace kelvane
