// What the Windows program does first, in the shipped exe and its test build.
#pragma once

#include "platform/win32/windows_headers.h"

inline void PrepareWindowsProcess() {
    // The program usually runs from a downloads folder: any DLL loaded from
    // here on comes from the system folder only, never from beside the exe.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    if (auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"))))
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A long transfer keeps the one thread busy; Windows must not swap the
    // window for a frozen "(Not Responding)" copy meanwhile.
    DisableProcessWindowsGhosting();
}
