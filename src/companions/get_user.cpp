// Stand-in for the installation's GetUser.exe: the real one belongs to the terminal's
// installation; Kelvane only starts it. This one has nothing to do.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
