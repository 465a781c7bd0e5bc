#include "win32/services.h"

#include <windows.h>
#include <mmsystem.h>

#include <vector>

#include "app/runtime_error.h"
#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

constexpr DWORD kProfileBuffer = 1024;
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string ModulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ProgramFolder() {
    const std::string path = ModulePath();
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ExecutableBaseName() {
    std::string path = ModulePath();
    const size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) path = path.substr(slash + 1);
    const size_t dot = path.find_last_of('.');
    return dot == std::string::npos ? path : path.substr(0, dot);
}

std::int64_t PrivateProfile::GetInt(const std::string& section, const std::string& key,
                                    std::int64_t default_value) {
    // The API returns the value as an unsigned 32-bit number; as a signed one it keeps the minus.
    const UINT v = GetPrivateProfileIntA(section.c_str(), key.c_str(),
                                         static_cast<INT>(default_value), path_.c_str());
    return static_cast<std::int32_t>(v);
}

std::string PrivateProfile::GetString(const std::string& section, const std::string& key,
                                      const std::string& default_value) {
    std::vector<char> buffer(kProfileBuffer, '\0');
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                             buffer.data(), kProfileBuffer, path_.c_str());
    return std::string(buffer.data(), n);
}

void PrivateProfile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
}

std::optional<std::string> Files::ReadFile(const std::string& path) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    return content;
}

bool Files::CanOpen(const std::string& path) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() != INVALID_HANDLE_VALUE;
}

void Files::AppendFile(const std::string& path, const std::string& data) {
    OwnedHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        Raise(ErrorKind::FileError, path);
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) ||
        written != data.size())
        Raise(ErrorKind::FileError, path);
}

std::optional<std::string> Files::SearchPathIn(const std::string& folder, const std::string& name,
                                               const std::string& extension) {
    char found[MAX_PATH + 1] = {};
    char* file_part = nullptr;
    const DWORD n = SearchPathA(folder.c_str(), name.c_str(), extension.c_str(), MAX_PATH, found,
                                &file_part);
    if (n == 0 || n > MAX_PATH) return std::nullopt;
    return std::string(found, n);
}

bool ProcessStarter::StartMinimized(const std::string& path) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;
    PROCESS_INFORMATION info{};
    std::string command = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

void SystemClock::Sleep(long milliseconds) {
    if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

std::string SystemClock::ShortDate() {
    char buffer[128] = {};
    const int n = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer,
                                 sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

std::string SystemClock::LongTime() {
    char buffer[128] = {};
    const int n = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer) : std::string();
}

void RunKey::SetRunValue(const std::string& name, const std::string& data) {
    HKEY raw = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &raw) != ERROR_SUCCESS) return;
    OwnedKey key(raw);
    RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
}

void RunKey::DeleteRunValue(const std::string& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &raw) != ERROR_SUCCESS) return;
    OwnedKey key(raw);
    RegDeleteValueA(key.get(), name.c_str());
}

void WaveSound::PlayWave(const std::string& path) {
    sndPlaySoundA(path.c_str(), SND_ASYNC | SND_NODEFAULT);
}

}  // namespace kelvane::win32
