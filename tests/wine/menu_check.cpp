// Runs the program's own dialog in this process and reads its system menu:
// it must end with a separator and "&About Orvane Update..." (id 16). Also
// reads the seven firmware containers through the resources seam, as the
// image steps do.
#include "platform/win32/windows_headers.h"

#include <string>
#include <thread>

#include "app/update_dlg.h"
#include "firmware/image_loader.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_check.h"

int main() {
    std::thread checker([] {
        HWND main = nullptr;
        for (int i = 0; i < 1200 && !main; ++i) {
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
    const struct { uint32_t id, length; } kImages[] = {{169, 3037340}, {170, 475388}, {171, 768128}, {172, 1154944},
                                                      {173, 505152},  {174, 122152}, {189, 32712}};
    for (const auto& image : kImages) {
        DecodedImage decoded;
        CHECK(LoadCarriedImage(resources, image.id, kApplicationDecodeSlack, decoded) == ImageLoadResult::kOk);
        CHECK(decoded.length == image.length);
    }
    CHECK_EQ_STR(resources.LoadString(101), "&About Orvane Update...");
    uint32_t ms = 0, ls = 0;
    resources.ReadProductVersion(ms, ls);
    CHECK(ms == ((1u << 16) | 35680) && ls == 0);

    window.SetApplicationName("Orvane Update");
    intptr_t result = -1;
    for (int attempt = 0; attempt < 2 && result == -1; ++attempt) {
        CQuonUpdate100Dlg dialog(p);
        result = dialog.DoModal();
        if (result == -1) std::printf("the dialog could not be created (error %lu)\n", GetLastError());
    }
    CHECK(result == IDCANCEL);
    checker.join();
    return CheckSummary("menu_check");
}
