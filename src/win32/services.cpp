#include "win32/services.h"

#include <windows.h>
// After windows.h, which they need.
#include <mmsystem.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "app/about_text.h"
#include "base/runtime_error.h"
#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

constexpr DWORD kProfileBuffer = 1024;
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string ModulePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
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

std::string DefaultDataFolder() {
    char folder[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
        S_OK)
        return ProgramFolder() + "\\data";
    return std::string(folder) + "\\Kelvane";
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

namespace {

// Whether the file starts with a byte-order mark (UTF-8 or UTF-16): the profile functions
// then decode it, and the ANSI ones hand on a best fit for characters the code page lacks.
bool IsUnicodeFile(const std::string& path) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return false;
    }
    unsigned char head[3] = {};
    DWORD got = 0;
    if (!::ReadFile(file.get(), head, sizeof head, &got, nullptr)) return false;
    if (got >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        return true;
    return got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
}

std::string ToAnsi(const wchar_t* text, int length) {
    if (length <= 0) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ToWide(const std::string& text) {
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The ANSI code page's own "∞", or nothing when it has none (best fits do not count).
std::string CodePageInfinity() {
    const wchar_t infinity = 0x221E;
    char bytes[8] = {};
    BOOL defaulted = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &infinity, 1, bytes,
                                      sizeof bytes, nullptr, &defaulted);
    if (n <= 0 || defaulted) return {};
    return std::string(bytes, static_cast<size_t>(n));
}

bool IsAnsiLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

}  // namespace

std::string PrivateProfile::GetMarkedText(const std::string& section, const std::string& key,
                                          const std::string& default_value) {
    if (!IsUnicodeFile(path_))
        return CodePageInfinityToMarker(GetString(section, key, default_value), CodePageInfinity(),
                                        IsAnsiLeadByte);
    // The default is the program's own (ANSI, marker included): a missing key answers with a
    // control character no value can hold, and the default is used as it is.
    const wchar_t missing[] = L"\x01";
    std::vector<wchar_t> buffer(kProfileBuffer, L'\0');
    const DWORD n = GetPrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), missing,
                                             buffer.data(), kProfileBuffer, ToWide(path_).c_str());
    if (n == 1 && buffer[0] == missing[0]) return default_value;
    // Each "∞" becomes the marker; everything else reads as the ANSI function gives it.
    std::string out;
    const wchar_t* text = buffer.data();
    int run = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (text[i] != 0x221E) {
            ++run;
            continue;
        }
        out += ToAnsi(text + i - run, run);
        out += kAboutLineBreak;
        run = 0;
    }
    out += ToAnsi(text + n - run, run);
    return out;
}

bool PrivateProfile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) !=
           FALSE;
}

namespace {

std::optional<std::string> ReadWhole(const std::string& path, bool raise_unless_missing) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        file.release();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        if (raise_unless_missing && !missing) Raise(ErrorKind::FileError, path);
        return std::nullopt;
    }
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        content.append(chunk, got);
    return content;
}

}  // namespace

std::optional<std::string> Files::ReadFile(const std::string& path) {
    return ReadWhole(path, false);
}

std::optional<std::string> Files::ReadIfPresent(const std::string& path) {
    return ReadWhole(path, true);
}

bool Files::CanOpen(const std::string& path) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.get() != INVALID_HANDLE_VALUE;
}

void AppendWhole(const std::string& path, const std::string& data, const WriteChunk& write) {
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        Raise(ErrorKind::FileError, path);
    }
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER end{};
    DWORD written = 0;
    if (SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END) &&
        write(file.get(), data.data(), static_cast<DWORD>(data.size()), &written) &&
        written == data.size())
        return;
    // A full disk may take part of the data: a reader would find half a row, or an empty
    // file standing for rows that were never written.
    if (created) {
        file.reset();
        DeleteFileA(path.c_str());
    } else if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) {
        SetEndOfFile(file.get());
    }
    Raise(ErrorKind::FileError, path);
}

void Files::AppendFile(const std::string& path, const std::string& data) {
    AppendWhole(path, data, [](HANDLE file, const char* bytes, DWORD size, DWORD* written) {
        return WriteFile(file, bytes, size, written, nullptr) != FALSE;
    });
}

std::optional<std::string> Files::SearchPathIn(const std::string& folder, const std::string& name,
                                               const std::string& extension) {
    char found[MAX_PATH + 1] = {};
    char* file_part = nullptr;
    const DWORD n =
        SearchPathA(folder.c_str(), name.c_str(), extension.c_str(), MAX_PATH, found, &file_part);
    if (n == 0 || n > MAX_PATH) return std::nullopt;
    return std::string(found, n);
}

std::vector<FileEntry> Files::ListFiles(const std::string& folder) {
    std::vector<FileEntry> found;
    WIN32_FIND_DATAA data{};
    HANDLE first = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (first == INVALID_HANDLE_VALUE) return found;
    OwnedFind find(first);
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        found.push_back({data.cFileName, (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                             data.nFileSizeLow});
    } while (FindNextFileA(find.get(), &data));
    return found;
}

bool Files::RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool Files::MakeFolder(const std::string& path) {
    // Each missing parent first; "C:\" and "\\server\share" are never made.
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

std::int64_t SystemClock::UnixSeconds() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000000ull) - 11644473600ll;
}

// The tick count is on every supported Windows and needs no rights. It runs from boot
// through sleep and hibernation and no clock setting moves it, so only the wall clock's
// corrections move the boot's start, within the tolerance the logic allows. With fast
// start-up a shut-down keeps the boot (the kernel hibernates); the firmware then sets the
// chip up as before, so the values noted earlier still hold. Under Wine the tick count is the
// host's time since boot, the same for every Wine process and server.
BootStamp SystemBootClock::Now() {
    const auto uptime = static_cast<std::int64_t>(GetTickCount64() / 1000);
    return {SystemClock().UnixSeconds() - uptime, uptime};
}

int SystemClock::UtcOffsetMinutes(std::int64_t unix_seconds) {
    // The rules of the time zone for that date, daylight saving included.
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(unix_seconds + 11644473600ll) * 10000000ull;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc_time{}, local_time{};
    if (!FileTimeToSystemTime(&utc, &utc_time) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc_time, &local_time))
        return 0;
    FILETIME local{};
    if (!SystemTimeToFileTime(&local_time, &local)) return 0;
    const std::uint64_t local_ticks =
        (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return static_cast<int>(
        (static_cast<std::int64_t>(local_ticks) - static_cast<std::int64_t>(ticks)) / 600000000ll);
}

bool RunKey::SetRunValue(const std::string& name, const std::string& data) {
    HKEY raw = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &raw) != ERROR_SUCCESS) return false;
    OwnedKey key(raw);
    return RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool RunKey::DeleteRunValue(const std::string& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kRunKey, &raw) != ERROR_SUCCESS) return false;
    OwnedKey key(raw);
    const LONG result = RegDeleteValueA(key.get(), name.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::string RunKey::RememberedMetricsFile() {
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kelvane", "MetricsFile", RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

void WaveSound::PlayWave(const std::string& path) {
    sndPlaySoundA(path.c_str(), SND_ASYNC | SND_NODEFAULT);
}

}  // namespace kelvane::win32
