#include "platform/testing/virtual_system.h"

#include <ctime>

#include "platform/posix/posix_system.h"

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

bool VirtualSystem::GetDocumentsFolder(std::string& folder) {
    if (documentsFolder.empty()) return false;
    folder = documentsFolder;
    return true;
}

bool VirtualSystem::LocalTime(int64_t utcSeconds, LocalTimeParts& parts) {
    const int32_t minutes = zone.bias + (daylight ? zone.daylightBias : zone.standardBias);
    const time_t local = time_t(utcSeconds - int64_t(minutes) * 60);
    tm t{};
    if (gmtime_r(&local, &t) == nullptr) return false;
    parts = LocalTimeParts{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                           t.tm_min,         t.tm_sec,     daylight};
    return true;
}

std::unique_ptr<LogFile> VirtualSystem::OpenLogFile(const std::string& path) {
    return posix::OpenExclusiveLog(path);
}

}  // namespace platform::testing
