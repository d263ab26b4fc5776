#include "platform/win32/windows_headers.h"
#include <shlobj.h>

#include <cstring>
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

const wchar_t kPowerReason[] = L"Orvane Update is updating the writer's firmware.";
const wchar_t kShutdownReason[] = L"Updating the writer's firmware. Do not turn off the PC until it has finished.";

// A power request with a reason where Windows has them (7 and later), else
// the thread's execution state; and shutdown held with a reason (Vista and
// later). Looked up at run time, so that older systems still start the exe.
class Win32PressHold : public PressHold {
public:
    explicit Win32PressHold(HWND window) : m_window(window) {
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        const auto create = Find<decltype(&PowerCreateRequest)>(kernel, "PowerCreateRequest");
        const auto set = Find<decltype(&PowerSetRequest)>(kernel, "PowerSetRequest");
        m_clear = Find<decltype(&PowerClearRequest)>(kernel, "PowerClearRequest");
        if (create && set && m_clear) {
            REASON_CONTEXT reason{};
            reason.Version = POWER_REQUEST_CONTEXT_VERSION;
            reason.Flags = POWER_REQUEST_CONTEXT_SIMPLE_STRING;
            reason.Reason.SimpleReasonString = const_cast<LPWSTR>(kPowerReason);
            const HANDLE request = create(&reason);  // Wine 8: error 120
            if (request != INVALID_HANDLE_VALUE && request != nullptr) {
                const bool system = set(request, PowerRequestSystemRequired) != FALSE;
                const bool display = system && set(request, PowerRequestDisplayRequired) != FALSE;
                if (display) {
                    m_request = request;
                } else {
                    if (system) m_clear(request, PowerRequestSystemRequired);
                    CloseHandle(request);
                }
            }
        }
        if (!m_request) SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
        const HMODULE user = GetModuleHandleA("user32.dll");
        const auto block = Find<decltype(&ShutdownBlockReasonCreate)>(user, "ShutdownBlockReasonCreate");
        m_unblock = Find<decltype(&ShutdownBlockReasonDestroy)>(user, "ShutdownBlockReasonDestroy");
        m_blocked = window && block && m_unblock && block(window, kShutdownReason);
    }
    ~Win32PressHold() override {
        if (m_blocked) m_unblock(m_window);
        if (m_request) {
            m_clear(m_request, PowerRequestDisplayRequired);
            m_clear(m_request, PowerRequestSystemRequired);
            CloseHandle(m_request);
        } else {
            SetThreadExecutionState(ES_CONTINUOUS);
        }
    }
    Win32PressHold(const Win32PressHold&) = delete;
    Win32PressHold& operator=(const Win32PressHold&) = delete;

private:
    template <typename F>
    static F Find(HMODULE module, const char* name) {
        return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
    HWND m_window;
    HANDLE m_request = nullptr;
    decltype(&PowerClearRequest) m_clear = nullptr;
    decltype(&ShutdownBlockReasonDestroy) m_unblock = nullptr;
    bool m_blocked = false;
};

// The main window of another copy (of any release): a dialog whose caption
// begins as the program's does.
BOOL CALLBACK FindOtherCopy(HWND hwnd, LPARAM found) {
    static const char kCaption[] = "Orvane Update - Build:";
    char caption[64] = {}, cls[16] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() || !GetClassNameA(hwnd, cls, sizeof cls) || std::strcmp(cls, "#32770") != 0)
        return TRUE;
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::strncmp(caption, kCaption, sizeof kCaption - 1) != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

}  // namespace

std::unique_ptr<PressHold> Win32System::HoldForPress(void* window) {
    return std::make_unique<Win32PressHold>(static_cast<HWND>(window));
}

bool Win32System::ClaimOnlyCopy() {
    // No version in the name: every release excludes every other. The
    // global name reaches across user sessions; where it cannot be made, the
    // session's own does. One that exists but is not ours to open belongs to
    // a copy in another session.
    static HANDLE claim = nullptr;
    if (claim) return true;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "Global\\OrvaneUpdate.OneCopy");
    DWORD error = GetLastError();
    if (!mutex && error == ERROR_ACCESS_DENIED) return false;
    if (!mutex) {
        mutex = CreateMutexA(nullptr, FALSE, "Local\\OrvaneUpdate.OneCopy");
        error = GetLastError();
    }
    if (mutex && error != ERROR_ALREADY_EXISTS) {
        claim = mutex;  // held until the process ends
        return true;
    }
    if (mutex) CloseHandle(mutex);
    HWND other = nullptr;
    for (int tries = 0; tries < 5 && !other; ++tries) {
        EnumWindows(FindOtherCopy, LPARAM(&other));
        if (!other) ::Sleep(100);  // it may be making its window just now
    }
    if (other) {
        if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
        SetForegroundWindow(GetLastActivePopup(other));
    }
    return false;
}

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
