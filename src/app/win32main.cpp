// velmora.exe: the program's windows on Windows. The Windows host's services (Win32Host)
// under the Win32 front-end; see main.cpp for the map of the program.
#include "platform/win32/Win32Host.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    velmora::Win32Host host;
    // The Win32 front-end runs the program here.
    return 1;
}
