// Starts OrvaneUpdate.exe and checks its window from outside, as a user's
// tools would see it: caption, status text, buttons, system menu, About box,
// and that Escape closes the program. The system menu is checked by menu_check.
#include "platform/win32/windows_headers.h"

#include <string>

#include "tests/wine/wine_check.h"

namespace {

std::string ItemText(HWND dialog, int id) {
    char text[2048] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: window_driver PATH-TO-OrvaneUpdate.exe [screenshot-wait-ms]\n");
        return 2;
    }
    PROCESS_INFORMATION pi{};
    HWND main = nullptr;
    // A second start when the first window never shows (a desktop still coming up).
    for (int attempt = 0; attempt < 2 && !main; ++attempt) {
        if (attempt) {
            TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string command = std::string("\"") + argv[1] + "\"";
        CHECK(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        main = WaitForWindow("Orvane Update - Build:  35680", 45000);
    }
    CHECK(main != nullptr);
    if (!main) {
        TerminateProcess(pi.hProcess, 1);
        return CheckSummary("window_driver");
    }
    if (argc > 2) Sleep(DWORD(atoi(argv[2])));  // time for a screenshot

    CHECK_EQ_STR(ItemText(main, 1002),
                 "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine "
                 "software.\n\nOrvane - Build: 35680\n");
    CHECK_EQ_STR(ItemText(main, 1001), "&Go!");
    CHECK_EQ_STR(ItemText(main, 2), "&Quit");
    HWND beta = GetDlgItem(main, 1022);
    CHECK(beta != nullptr);
    CHECK(!IsWindowVisible(beta));
    CHECK(IsWindowVisible(GetDlgItem(main, 1001)));
    CHECK(SendMessageA(GetDlgItem(main, 1001), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);

    // The system menu belongs to the program's process; menu_check reads it
    // from inside, as another process cannot under Wine.

    PostMessageA(main, WM_SYSCOMMAND, 0x10, 0);
    HWND about = WaitForWindow("About Orvane Update", 20000);
    CHECK(about != nullptr);
    if (about) {
        CHECK_EQ_STR(ItemText(about, 1003), "Orvane Update Build:  35680");
        PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(100);
        CHECK(!IsWindow(about));
    }

    // Escape, as the keyboard sends it to the focused control.
    HWND focus = GetDlgItem(main, 1001);
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    const DWORD waited = WaitForSingleObject(pi.hProcess, 20000);
    CHECK(waited == WAIT_OBJECT_0);
    if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return CheckSummary("window_driver");
}
