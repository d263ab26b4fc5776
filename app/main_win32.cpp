// OrvaneUpdate.exe: the Windows program.
#include "platform/win32/windows_headers.h"

#include "app/update_dlg.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The program usually runs from a downloads folder: any DLL loaded from
    // here on comes from the system folder only, never from beside the exe.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    if (auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"))))
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A long transfer keeps the one thread busy; Windows must not swap the
    // window for a frozen "(Not Responding)" copy meanwhile.
    DisableProcessWindowsGhosting();
    platform::win32::Win32Window window;
    platform::win32::Win32System system;
    platform::win32::Win32Resources resources;
    platform::win32::SetupApiDeviceProvider devices;
    const platform::Platform p{window, system, resources, devices};
    return theApp.Run(p);
}
