#include "platform/win32/windows_headers.h"
#include <shlobj.h>

#include <ctime>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

class Win32LogFile : public LogFile {
public:
    explicit Win32LogFile(HANDLE h) : m_handle(h) {}
    ~Win32LogFile() override { CloseHandle(m_handle); }
    bool Write(const char* data, size_t size) override {
        DWORD written = 0;
        return WriteFile(m_handle, data, DWORD(size), &written, nullptr) && written == size;
    }
    void Flush() override { FlushFileBuffers(m_handle); }

private:
    HANDLE m_handle;
};

}  // namespace

void Win32System::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

bool Win32System::GetDocumentsFolder(std::string& folder) {
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_PERSONAL, FALSE)) return false;
    folder = path;
    return true;
}

int64_t Win32System::UtcSeconds() { return int64_t(_time64(nullptr)); }

bool Win32System::LocalTime(int64_t utcSeconds, LocalTimeParts& parts) {
    const __time64_t t = utcSeconds;
    tm local{};
    if (_localtime64_s(&local, &t) != 0) return false;
    parts = LocalTimeParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min,         local.tm_sec,     local.tm_isdst > 0};
    return true;
}

TimeZoneBias Win32System::GetTimeZoneBias() {
    TIME_ZONE_INFORMATION tz{};
    GetTimeZoneInformation(&tz);  // its result is not needed: the biases are what count
    return TimeZoneBias{int32_t(tz.Bias), int32_t(tz.StandardBias), int32_t(tz.DaylightBias)};
}

std::unique_ptr<LogFile> OpenAppendingLog(const std::string& path, bool shareReads) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, shareReads ? FILE_SHARE_READ : 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    SetFilePointer(h, 0, nullptr, FILE_END);
    return std::make_unique<Win32LogFile>(h);
}

std::unique_ptr<LogFile> Win32System::OpenLogFile(const std::string& path) {
    // No sharing: nobody else may open the log while an update writes it.
    return OpenAppendingLog(path, false);
}

}  // namespace platform::win32
