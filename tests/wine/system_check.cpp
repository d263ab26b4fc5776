// The win32 system backend: the log file is exclusive while open and
// appended to, the documents folder is found, paths use backslashes; the
// press hold keeps the system and display on and lets go afterwards.
#include "platform/win32/windows_headers.h"

#include <fstream>
#include <sstream>

#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_check.h"

int main() {
    platform::win32::Win32System system;
    std::string documents;
    CHECK(system.GetDocumentsFolder(documents));
    CHECK(!documents.empty());
    CHECK_EQ_STR(system.JoinPath("C:\\Users\\me\\Documents", "QXUpdate.log"),
                 "C:\\Users\\me\\Documents\\QXUpdate.log");

    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string path = system.JoinPath(std::string(temp).substr(0, std::string(temp).size() - 1),
                                             "orvane-log-check.log");
    DeleteFileA(path.c_str());
    {
        auto first = system.OpenLogFile(path);
        CHECK(first != nullptr);
        CHECK(system.OpenLogFile(path) == nullptr);  // no sharing while open
        CHECK(first->Write("one\n", 4));
        first->Flush();
    }
    {
        auto again = system.OpenLogFile(path);
        CHECK(again != nullptr);
        CHECK(again->Write("two\n", 4));
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    CHECK_EQ_STR(text.str(), "one\ntwo\n");
    DeleteFileA(path.c_str());

    platform::LocalTimeParts parts;
    CHECK(system.LocalTime(system.UtcSeconds(), parts));
    CHECK(parts.year >= 2024 && parts.month >= 1 && parts.month <= 12);
    const platform::TimeZoneBias zone = system.GetTimeZoneBias();
    CHECK(zone.bias >= -14 * 60 && zone.bias <= 12 * 60);

    // Where no power request can be made (Wine 8: error 120), the hold is
    // the thread's execution state. A probe that sets the state it reads
    // back, so that it changes nothing.
    const EXECUTION_STATE kOn = ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED;
    REASON_CONTEXT reason{};
    reason.Version = POWER_REQUEST_CONTEXT_VERSION;
    reason.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
    reason.Reason.SimpleReasonString = const_cast<LPWSTR>(L"probe");
    const HANDLE request = PowerCreateRequest(&reason);
    std::printf("PowerCreateRequest: %s (error %lu)\n", request == INVALID_HANDLE_VALUE ? "fails" : "works",
                request == INVALID_HANDLE_VALUE ? GetLastError() : 0ul);
    if (request == INVALID_HANDLE_VALUE) {
        SetThreadExecutionState(ES_CONTINUOUS);
        CHECK((SetThreadExecutionState(ES_CONTINUOUS) & kOn) == 0);
        {
            const auto hold = system.HoldForPress(nullptr);
            const EXECUTION_STATE held = SetThreadExecutionState(ES_CONTINUOUS | kOn);
            CHECK((held & kOn) == kOn);
            CHECK((held & ES_CONTINUOUS) != 0);
        }
        CHECK((SetThreadExecutionState(ES_CONTINUOUS) & kOn) == 0);
    } else {
        CloseHandle(request);
    }
    // A press hold with a window holds shutdown too, and lets it go.
    HWND window = CreateWindowA("STATIC", "hold", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    // (Wine cannot say what reason it holds.)
    { const auto hold = system.HoldForPress(window); }
    DestroyWindow(window);
    return CheckSummary("system_check");
}
