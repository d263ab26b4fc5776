#include "platform/testing/virtual_system.h"

#include <ctime>

#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_system.h"
#endif

namespace platform::testing {

uint64_t VirtualSystem::TotalSlept() const {
    uint64_t total = 0;
    for (uint32_t s : sleeps) total += s;
    return total;
}

void VirtualSystem::Sleep(uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    m_nowMs += milliseconds;
    if (onSleep) onSleep(milliseconds);
}

std::unique_ptr<PressHold> VirtualSystem::HoldForPress(void* window) {
    struct Hold : PressHold {
        explicit Hold(int& held) : m_held(held) { ++m_held; }
        ~Hold() override { --m_held; }
        int& m_held;
    };
    ++holdsBegun;
    holdWindows.push_back(window);
    return std::make_unique<Hold>(holdsHeld);
}

bool VirtualSystem::GetDocumentsFolder(std::string& folder) {
    if (documentsFolder.empty()) return false;
    folder = documentsFolder;
    return true;
}

bool VirtualSystem::LocalTime(int64_t utcSeconds, LocalTimeParts& parts) {
    const int32_t minutes = zone.bias + (daylight ? zone.daylightBias : zone.standardBias);
    const time_t local = time_t(utcSeconds - int64_t(minutes) * 60);
    tm t{};
#ifdef _WIN32
    if (gmtime_s(&t, &local) != 0) return false;
#else
    if (gmtime_r(&local, &t) == nullptr) return false;
#endif
    parts = LocalTimeParts{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                           t.tm_min,         t.tm_sec,     daylight};
    return true;
}

// Real files, held as the platform holds the log: one writer at a time.
std::unique_ptr<LogFile> VirtualSystem::OpenLogFile(const std::string& path) {
#ifdef _WIN32
    // Readable meanwhile, so a test can read what an update has logged so far.
    return win32::OpenAppendingLog(path, true);
#else
    return posix::OpenExclusiveLog(path);
#endif
}

}  // namespace platform::testing
