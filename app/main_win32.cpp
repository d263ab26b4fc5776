// OrvaneUpdate.exe: the Windows program. It finds writers through SetupAPI
// only and reads no command line.
#include "app/update_dlg.h"
#include "app/win32_startup.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PrepareWindowsProcess();
    platform::win32::Win32Window window;
    platform::win32::Win32System system;
    platform::win32::Win32Resources resources;
    platform::win32::SetupApiDeviceProvider devices;
    const platform::Platform p{window, system, resources, devices};
    return theApp.Run(p);
}
