// System double: a virtual clock that records every wait, a chosen
// documents folder, a chosen time zone, and real log files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace platform::testing {

class VirtualSystem : public System {
public:
    // Milliseconds since the clock started.
    uint64_t NowMs() const { return m_nowMs; }
    void Advance(uint64_t ms) { m_nowMs += ms; }
    std::vector<uint32_t> sleeps;
    void ClearSleeps() { sleeps.clear(); }
    uint64_t TotalSlept() const;
    // Called on every Sleep, after the clock moved.
    std::function<void(uint32_t)> onSleep;

    int64_t utcStart = 1765281600;  // 2025-12-09 12:00:00 UTC
    TimeZoneBias zone;              // UTC by default
    bool daylight = false;
    std::string documentsFolder;    // empty: no documents folder
    char separator = '/';

    void Sleep(uint32_t milliseconds) override;
    bool GetDocumentsFolder(std::string& folder) override;
    std::string JoinPath(const std::string& folder, const char* name) override {
        return folder + separator + name;
    }
    int64_t UtcSeconds() override { return utcStart + int64_t(m_nowMs / 1000); }
    bool LocalTime(int64_t utcSeconds, LocalTimeParts& parts) override;
    TimeZoneBias GetTimeZoneBias() override { return zone; }
    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override;
    std::unique_ptr<PressHold> HoldForPress(void* window) override;
    bool ClaimOnlyCopy() override {
        ++claims;
        return onlyCopy;
    }

    // The holds: how many began, how many are held now, and their windows.
    int holdsBegun = 0;
    int holdsHeld = 0;
    std::vector<void*> holdWindows;
    bool onlyCopy = true;
    int claims = 0;

private:
    uint64_t m_nowMs = 0;
};

}  // namespace platform::testing
