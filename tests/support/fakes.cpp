#include "support/fakes.h"

#include <algorithm>

#include "base/runtime_error.h"

namespace kelvane::testing {

std::optional<std::string> FakeFiles::ReadFile(const std::string& path) {
    auto it = files.find(path);
    if (it == files.end() || unreadable[path]) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeFiles::ReadIfPresent(const std::string& path) {
    if (unreadable[path]) Raise(ErrorKind::FileError, path);
    return ReadFile(path);
}

void FakeFiles::AppendFile(const std::string& path, const std::string& data) {
    if (unwritable[path]) Raise(ErrorKind::FileError, path);
    files[path] += data;
    appended_paths.push_back(path);
}

std::optional<std::string> FakeFiles::SearchPathIn(const std::string& folder,
                                                   const std::string& name,
                                                   const std::string& extension) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    for (const std::string& candidate : {base + name, base + name + extension})
        if (files.count(candidate) != 0) return candidate;
    return std::nullopt;
}

std::vector<FileEntry> FakeFiles::ListFiles(const std::string& folder) {
    std::vector<FileEntry> out;
    const std::string prefix = folder + "\\";
    for (auto it = files.lower_bound(prefix); it != files.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        const std::string name = it->first.substr(prefix.size());
        if (name.find('\\') == std::string::npos) out.push_back({name, it->second.size()});
    }
    return out;
}

bool FakeFiles::RemoveFile(const std::string& path) {
    if (unwritable[path]) return false;
    files.erase(path);
    return true;
}

bool FakeFiles::MakeFolder(const std::string& path) {
    auto it = folders.find(path);
    if (it != folders.end()) return it->second;
    folders[path] = true;
    return true;
}

bool FakeProcesses::StartMinimized(const std::string& path) {
    started.push_back(path);
    return can_start;
}

bool FakeRegistry::SetRunValue(const std::string& name, const std::string& data) {
    if (refuse) return false;
    run[name] = data;
    ++writes;
    return true;
}

bool FakeRegistry::DeleteRunValue(const std::string& name) {
    if (refuse) return false;
    run.erase(name);
    ++deletes;
    return true;
}

bool FakeHost::LoadPicture(const std::string& path) {
    const bool ok = std::find(loadable_pictures.begin(), loadable_pictures.end(), path) !=
                    loadable_pictures.end();
    if (ok) loaded_pictures.push_back(path);
    return ok;
}

FakeSurfaces::FakeSurfaces() {
    for (int i = 0; i < 3; ++i) {
        led_pic.push_back(std::make_unique<PixelSurface>(73, 22));
        fan_led.push_back(std::make_unique<PixelSurface>(75, 22));
        led_font.push_back(std::make_unique<PixelSurface>(255, 20));
    }
}

Rig::Rig(PortDriver& driver, const std::string& ini)
    : profile(ini),
      services{driver, profile, files,   processes, clock,  registry,
               sound,  host,    windows, surfaces,  threads},
      form(services, kProgramFolder, "kelvane") {}

}  // namespace kelvane::testing
