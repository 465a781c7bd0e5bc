// The package's own step, a DLL that Windows Installer runs from inside the package: it sets
// kelvane.ini's ExecuteAtStartup as the AUTOSTART property asks and makes the Run value follow
// it, as a start of the program would, so that the terminal starts Kelvane at the next logon.
#include <windows.h>
// After windows.h, which they need.
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>

#include "chip/autostart.h"
#include "win32/services.h"

namespace {

std::string Property(MSIHANDLE install, const char* name) {
    char none[1] = "";
    DWORD size = 0;
    if (MsiGetPropertyA(install, name, none, &size) != ERROR_MORE_DATA) return {};
    std::string value(size + 1, '\0');
    size = static_cast<DWORD>(value.size());
    if (MsiGetPropertyA(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
    value.resize(size);
    return value;
}

}  // namespace

// Deferred and not impersonated, so it may write the program folder. Its only data is
// "<program folder>|<AUTOSTART>", the folder with its trailing backslash and AUTOSTART empty
// when not given. Never fails the installation: a terminal without autostart still protects.
extern "C" __declspec(dllexport) UINT __stdcall WriteAutostart(MSIHANDLE install) {
    const std::string data = Property(install, "CustomActionData");
    const size_t bar = data.find('|');
    if (bar == std::string::npos) return ERROR_SUCCESS;
    const std::string folder = data.substr(0, bar);
    const std::string given = data.substr(bar + 1);
    std::optional<bool> asked;
    if (!given.empty()) asked = given != "0";
    kelvane::win32::PrivateProfile settings(folder + "kelvane.ini");
    kelvane::win32::RunKey registry;
    kelvane::ApplyAutostart(registry, kelvane::InstallAutostart(settings, asked),
                            folder + "kelvane.exe");
    return ERROR_SUCCESS;
}
