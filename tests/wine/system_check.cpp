// The win32 system backend: the log file is exclusive while open and
// appended to, the documents folder is found, paths use backslashes.
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
    return CheckSummary("system_check");
}
