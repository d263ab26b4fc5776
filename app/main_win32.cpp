// OrvaneUpdate.exe: the Windows program.
#include "platform/win32/windows_headers.h"

#include "app/update_dlg.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    platform::win32::Win32Window window;
    platform::win32::Win32System system;
    platform::win32::Win32Resources resources;
    platform::win32::SetupApiDeviceProvider devices;
    const platform::Platform p{window, system, resources, devices};
    return theApp.Run(p);
}
