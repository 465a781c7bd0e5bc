// Stand-in for the installation's quick.exe, which Kelvane starts when the terminal's fan
// set-up is missing or not done.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr,
                "The fan set-up of this terminal is missing or not set up.\r\n"
                "Kelvane will not start until a set file is installed.",
                "Fan control set-up", MB_OK | MB_ICONINFORMATION);
    return 0;
}
