// The stand-in for the chip maker's port driver: the same four stdcall entry points, backed
// by the simulated board. The board description, the access trace and the speaker record
// are files named by the environment or the registry (see the CMakeLists of this folder).
#include <windows.h>

#include <cstdio>
#include <string>

#include "board/board_host.h"
#include "board/dll/registry_files.h"

namespace {

// What the loader tells us once; everything else is built on the first call, outside the
// loader lock.
struct LoadInfo {
    HMODULE module = nullptr;
    LARGE_INTEGER loaded{};
    LARGE_INTEGER frequency{};
};
LoadInfo g_load;

std::string Environment(const char* name) {
    char value[32768];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string OwnFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(g_load.module, path, MAX_PATH);
    const std::string p(path, n > 0 && n < MAX_PATH ? n : 0);
    const size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

long long MsSinceLoad() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (now.QuadPart - g_load.loaded.QuadPart) * 1000 / g_load.frequency.QuadPart;
}

void Report(const std::string& problem) {
    const std::string line = "brantelvio: " + problem + "\n";
    OutputDebugStringA(line.c_str());
    std::fputs(line.c_str(), stderr);
}

kelvane::board::BoardHost& Host() {
    static kelvane::board::BoardHost host(
        [] {
            kelvane::board::HostFiles environment;
            environment.description = Environment("KELVANE_BOARD");
            environment.trace = Environment("KELVANE_TRACE");
            environment.speaker = Environment("KELVANE_SPEAKER");
            environment.wav = Environment("KELVANE_SPEAKER_WAV");
            return kelvane::board::ChooseHostFiles(environment, kelvane::board::RegistryFiles(),
                                                   OwnFolder() + "board.ini");
        }(),
        GetCurrentProcessId(), MsSinceLoad, Report);
    return host;
}

// A faulty vendor library: the fault happens in the caller's thread before any lock is taken.
kelvane::board::BoardHost& Checked(unsigned short port) {
    kelvane::board::BoardHost& host = Host();
    if (host.CrashDue(port))
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return host;
}

}  // namespace

extern "C" {

__declspec(dllexport) unsigned char __stdcall Inb(unsigned short port) {
    return Checked(port).Inb(port);
}

__declspec(dllexport) void __stdcall Outb(unsigned short port, unsigned char value) {
    Checked(port).Outb(port, value);
}

__declspec(dllexport) unsigned char __stdcall ReadReg(unsigned short index_port,
                                                      unsigned char reg) {
    return Checked(index_port).ReadReg(index_port, reg);
}

__declspec(dllexport) void __stdcall WriteReg(unsigned short index_port, unsigned char reg,
                                              unsigned char value) {
    Checked(index_port).WriteReg(index_port, reg, value);
}

// Not in the chip maker's library: lets Kelvane tell a demonstration library left on a
// terminal from the real driver.
__declspec(dllexport) int __stdcall KelvaneSimulatedBoard() { return 1; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_load.module = instance;
        QueryPerformanceFrequency(&g_load.frequency);
        QueryPerformanceCounter(&g_load.loaded);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

}  // extern "C"
