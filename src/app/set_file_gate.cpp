#include "app/set_file_gate.h"

namespace kelvane {
namespace {

bool SafeFileName(const std::string& name) {
    if (name.empty()) return false;
    for (const unsigned char c : name)
        if (c < 0x20 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return false;
    return true;
}

// The name auto.set holds: up to three characters behind its last dot, so a line end or
// anything else after the extension is cut off.
std::string NamedSetFile(const std::string& content) {
    const std::string head = content.substr(0, 20);
    const size_t dot = head.rfind('.');
    const size_t p = dot == std::string::npos ? 0 : dot + 1;
    return head.substr(0, p + 3);
}

}  // namespace

std::string ToolProgram(const std::string& program_root, const std::string& exe) {
    return program_root + kToolFolder + exe;
}

bool FindSetFile(FileSystem& files, const std::string& path, const std::string& name,
                 std::string& found, std::string& file_part) {
    found.clear();
    file_part.clear();
    if (!SafeFileName(name)) return false;
    const auto hit = files.SearchPathIn(path, name, ".set");
    if (!hit) return false;
    found = *hit;
    const size_t sep = found.find_last_of("\\/");
    file_part = sep == std::string::npos ? found : found.substr(sep + 1);
    return true;
}

bool SetFileReady(FileSystem& files, const std::string& program_folder,
                  const std::string& program_root) {
    const auto content = files.ReadFile(program_folder + "\\auto.set");
    if (!content) return true;
    const std::string name = NamedSetFile(*content);
    if (name.empty()) return true;
    const std::string base = name.substr(0, name.find('.'));
    std::string found, file_part;
    if (!FindSetFile(files, program_root + kToolFolder, base, found, file_part) ||
        file_part.empty())
        return false;
    const auto set_file = files.ReadFile(found);
    return !(set_file && !set_file->empty() && (*set_file)[0] == '0');
}

bool SetFileGatePasses(Form1& f, bool start_quick) {
    if (SetFileReady(f.sys.files, f.program_folder, f.g_ProgramRoot)) return true;
    if (start_quick) f.sys.processes.StartMinimized(ToolProgram(f.g_ProgramRoot, "quick.exe"));
    return false;
}

}  // namespace kelvane
