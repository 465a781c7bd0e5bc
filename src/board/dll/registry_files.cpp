#include "board/dll/registry_files.h"

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace kelvane::board {
namespace {

constexpr char kKey[] = "SOFTWARE\\Kelvane\\SimulatedBoard";

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::string StringValue(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size == 0)
        return {};
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    // The stored string may or may not carry its terminator.
    return std::string(data.data());
}

}  // namespace

HostFiles RegistryFiles() {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return {};
    const Key key(opened);
    HostFiles files;
    files.description = StringValue(key.get(), "Description");
    files.trace = StringValue(key.get(), "Trace");
    files.speaker = StringValue(key.get(), "Speaker");
    files.wav = StringValue(key.get(), "SpeakerWav");
    return files;
}

}  // namespace kelvane::board
