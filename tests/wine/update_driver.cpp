// Takes the Windows test build (OrvaneUpdateSim.exe) through a whole update
// from outside, as a user would: presses Go!, follows the status box, reads
// and answers each message box, and waits for the program to end by itself.
#include "platform/win32/windows_headers.h"

#include <shlobj.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/wine_check.h"

namespace {

struct Box {
    HWND hwnd;
    std::string caption, text;
};

DWORD g_processId = 0;
HWND g_main = nullptr;

// The texts of a window, read without waiting on its (busy) thread.
std::string WindowText(HWND hwnd) {
    wchar_t text[2048] = {};
    InternalGetWindowText(hwnd, text, 2048);
    char out[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == g_processId && hwnd != g_main && IsWindowVisible(hwnd) && std::string(cls) == "#32770") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: update_driver PATH-TO-OrvaneUpdateSim.exe\n");
        return 2;
    }
    char documents[MAX_PATH] = {};
    CHECK(SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE));
    const std::string logPath = std::string(documents) + "\\QXUpdate.log";
    DeleteFileA(logPath.c_str());

    // An out-of-date writer an hour off; slow display answers let every status text be seen.
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string command = std::string("\"") + argv[1] +
                          "\" --clock-offset 3600 --restart-delay 300 --fault slow=150@cmd:0x0007*0";
    CHECK(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    g_processId = pi.dwProcessId;
    for (int waited = 0; waited < 45000 && !g_main; waited += 100) {
        g_main = FindWindowA(nullptr, "Orvane Update - Build:  35680");
        if (!g_main) Sleep(100);
    }
    CHECK(g_main != nullptr);
    if (!g_main) {
        TerminateProcess(pi.hProcess, 1);
        return CheckSummary("update_driver");
    }
    HWND status = GetDlgItem(g_main, 1002);
    PostMessageA(g_main, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), LPARAM(GetDlgItem(g_main, 1001)));

    std::vector<std::string> statuses;
    std::vector<Box> boxes;
    bool ended = false;
    for (int waited = 0; waited < 180000 && !ended; waited += 5) {
        const std::string text = WindowText(status);
        if (statuses.empty() || statuses.back() != text) statuses.push_back(text);
        HWND found = nullptr;
        EnumWindows(FindBox, LPARAM(&found));
        if (found) {
            char caption[256] = {}, body[2048] = {};
            GetWindowTextA(found, caption, sizeof caption);
            GetDlgItemTextA(found, 0xFFFF, body, sizeof body);
            boxes.push_back({found, caption, body});
            std::printf("box [%s] %s\n", caption, body);
            const bool question = std::string(body).find("Do you want") != std::string::npos;
            PostMessageA(found, WM_COMMAND, question ? IDYES : IDOK, 0);
            for (int i = 0; i < 200 && IsWindow(found); ++i) Sleep(10);
        }
        ended = WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0;
    }
    CHECK(ended);
    if (!ended) TerminateProcess(pi.hProcess, 1);

    auto seen = [&](const std::string& text) {
        for (const std::string& s : statuses)
            if (s == text) return true;
        return false;
    };
    for (const std::string& s : statuses) std::printf("status: %s\n", s.c_str());
    CHECK(seen("\n\nSending Sensor Board Code to Orvane..."));
    CHECK(seen("\n\nSending Fonts to Orvane..."));
    CHECK(seen("\n\nChecking Fonts. from Orvane..."));
    CHECK(seen("\n\nSending Build 35680 to Orvane..."));
    CHECK(boxes.size() == 2);
    if (boxes.size() == 2) {
        CHECK_EQ_STR(boxes[0].caption, "Orvane Update");
        CHECK_EQ_STR(boxes[0].text,
                     "Your Steno Machine's date/time doesn't match the PC date/time.\nDo you want it to match "
                     "the PC date/time?");
        CHECK_EQ_STR(boxes[1].caption, "Orvane Update");
        CHECK_EQ_STR(boxes[1].text, "Successfully updated the Orvane.\n           Click OK to Exit.");
    }
    const std::string log = ReadFileText(logPath);
    const size_t success = log.find(" - Successfully updated the Orvane.\n");
    CHECK(success != std::string::npos);
    CHECK(log.size() > 11 && log.substr(log.size() - 11) == " - Exiting\n");
    CHECK(log.find('\n', log.find('\n', success) + 1) == log.size() - 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return CheckSummary("update_driver");
}
