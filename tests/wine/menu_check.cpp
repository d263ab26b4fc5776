// Runs the program's own dialog in this process and reads its system menu:
// it must end with a separator and "&About Orvane Update..." (id 16).
#include "platform/win32/windows_headers.h"

#include <string>
#include <thread>

#include "app/update_dlg.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_check.h"

int main() {
    std::thread checker([] {
        HWND main = nullptr;
        for (int i = 0; i < 600 && !main; ++i) {
            Sleep(100);
            main = FindWindowA(nullptr, "Orvane Update - Build:  35680");
        }
        CHECK(main != nullptr);
        if (!main) return;
        HMENU menu = GetSystemMenu(main, FALSE);
        CHECK(menu != nullptr);
        if (menu) {
            const int count = GetMenuItemCount(menu);
            char text[256] = {};
            GetMenuStringA(menu, UINT(count - 1), text, sizeof text, MF_BYPOSITION);
            CHECK_EQ_STR(text, "&About Orvane Update...");
            CHECK(GetMenuItemID(menu, count - 1) == 0x10);
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE;
            CHECK(GetMenuItemInfoA(menu, UINT(count - 2), TRUE, &info));
            CHECK(info.fType & MFT_SEPARATOR);
        }
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    platform::win32::Win32Window window;
    platform::win32::Win32System system;
    platform::win32::Win32Resources resources;
    platform::win32::SetupApiDeviceProvider devices;
    const platform::Platform p{window, system, resources, devices};
    theApp.Run(p);
    checker.join();
    return CheckSummary("menu_check");
}
