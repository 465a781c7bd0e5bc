// Any text as auto.set: the gate must not crash, must look only in the tool folder (never
// outside it, whatever the name says), must start quick.exe exactly when it fails, and must
// decide as the naming rules say for a handful of set files that exist.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/set_file_gate.h"
#include "board/board.h"
#include "support/fakes.h"

namespace {

constexpr const char* kRoot = "D:\\Till";
const std::string kTool = std::string(kRoot) + "\\Vorlind\\Vorlind Fan control Tool\\";
const std::string kQuick = kTool + "quick.exe";

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "set-file gate: %s\n", what.c_str());
    std::abort();
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The set files beside the tool, by base name, with their contents. Files outside the tool
// folder that a crafted name could reach are planted too: reading one is a failure.
const std::map<std::string, std::string> kSetFiles = {
    {"store12", "1 configured"}, {"pos", "0"}, {"abc", ""}, {"a", "01"}, {"ABC", "0 upper"},
};
const std::vector<std::string> kOutside = {
    std::string(kRoot) + "\\outside.set",
    std::string(kRoot) + "\\Vorlind\\up.set",
    "C:\\Windows\\win.set",
};

class WatchedFiles : public kelvane::testing::FakeFiles {
  public:
    std::vector<std::string> read;
    struct Search {
        std::string folder, name, extension;
    };
    std::vector<Search> searches;

    std::optional<std::string> ReadFile(const std::string& path) override {
        read.push_back(path);
        return FakeFiles::ReadFile(path);
    }
    std::optional<std::string> SearchPathIn(const std::string& folder, const std::string& name,
                                            const std::string& extension) override {
        searches.push_back({folder, name, extension});
        return FakeFiles::SearchPathIn(folder, name, extension);
    }
};

// The gate's verdict from the naming rules: the first 20 characters, up to three behind the
// last dot, the base before the first dot; the set file's first character "0" fails.
bool ExpectedPass(const std::string& text) {
    const std::string head = text.substr(0, 20);
    const std::size_t dot = head.rfind('.');
    const std::string name = head.substr(0, dot == std::string::npos ? 3 : dot + 4);
    if (name.empty()) return true;
    const auto it = kSetFiles.find(name.substr(0, name.find('.')));
    if (it == kSetFiles.end()) return false;
    return it->second.empty() || it->second[0] != '0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Only the files and the processes matter; the rest is built once.
    static kelvane::board::Board board;
    static kelvane::IniText profile;
    static kelvane::testing::FakeClock clock;
    static kelvane::testing::FakeRegistry registry;
    static kelvane::testing::FakeSound sound;
    static kelvane::testing::FakeHost host;
    static kelvane::testing::FakeWindows windows;
    static kelvane::testing::FakeSurfaces surfaces;
    static kelvane::testing::InlineThreads threads;
    WatchedFiles files;
    kelvane::testing::FakeProcesses processes;
    kelvane::Services services{board, profile, files,   processes, clock,  registry,
                               sound, host,    windows, surfaces,  threads};
    kelvane::Form1 form(services, kelvane::testing::kProgramFolder, "kelvane");
    form.g_ProgramRoot = kRoot;
    const std::string auto_set = form.ProgramFile("auto.set");
    files.files[auto_set] = text;
    for (const auto& [base, content] : kSetFiles) files.files[kTool + base + ".set"] = content;
    for (const std::string& path : kOutside) files.files[path] = "0";

    bool passes = false;
    try {
        passes = kelvane::SetFileGatePasses(form);
    } catch (...) {
        Fail("an exception escaped");
    }

    const auto& started = processes.started;
    if (passes && !started.empty()) Fail("passed but started a program");
    if (!passes && started != std::vector<std::string>{kQuick}) Fail("failed without quick.exe");
    if (passes != ExpectedPass(text)) Fail(passes ? "passed wrongly" : "failed wrongly");

    if (files.searches.size() > 1) Fail("searched more than once");
    for (const auto& s : files.searches) {
        if (s.folder != kTool) Fail("searched outside the tool folder: " + s.folder);
        if (s.extension != ".set") Fail("searched without the .set extension");
        if (s.name.find_first_of("\\/:") != std::string::npos) Fail("searched for a path");
    }
    // Whatever is read besides auto.set lies directly in the tool folder.
    for (const std::string& path : files.read) {
        if (path == auto_set) continue;
        if (!StartsWith(path, kTool) ||
            path.find_first_of("\\/:", kTool.size()) != std::string::npos)
            Fail("read outside the tool folder: " + path);
    }
    if (!files.appended_paths.empty()) Fail("wrote a file");
    return 0;
}
