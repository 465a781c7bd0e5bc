#include "app/set_file_gate.h"

namespace kelvane {
namespace {

constexpr const char* kTool = "\\Vorlind\\Vorlind Fan control Tool\\";

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

bool Fail(Form1& f) {
    f.sys.processes.StartMinimized(f.g_ProgramRoot + kTool + "quick.exe");
    return false;
}

}  // namespace

bool FindSetFile(Form1& f, const std::string& path, const std::string& name, std::string& found,
                 std::string& file_part) {
    found.clear();
    file_part.clear();
    if (!SafeFileName(name)) return false;
    const auto hit = f.sys.files.SearchPathIn(path, name, ".set");
    if (!hit) return false;
    found = *hit;
    const size_t sep = found.find_last_of("\\/");
    file_part = sep == std::string::npos ? found : found.substr(sep + 1);
    return true;
}

bool SetFileGatePasses(Form1& f) {
    const auto content = f.sys.files.ReadFile(f.ProgramFile("auto.set"));
    if (!content) return true;
    const std::string name = NamedSetFile(*content);
    if (name.empty()) return true;
    const std::string base = name.substr(0, name.find('.'));
    std::string found, file_part;
    if (!FindSetFile(f, f.g_ProgramRoot + kTool, base, found, file_part) || file_part.empty())
        return Fail(f);
    const auto set_file = f.sys.files.ReadFile(found);
    if (set_file && !set_file->empty() && (*set_file)[0] == '0') return Fail(f);
    return true;
}

}  // namespace kelvane
