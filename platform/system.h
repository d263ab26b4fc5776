// System seam: waits, the documents folder, local time, the log file, the
// hold that keeps the PC up during a press, and the one-copy check.
// Every wait of the program goes through Sleep, so tests run on a virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// The file is open for appending, in binary, and nobody else may open it
// while this object lives. Destruction closes it.
class LogFile {
public:
    virtual ~LogFile() = default;
    virtual bool Write(const char* data, size_t size) = 0;
    virtual void Flush() = 0;
};

// Minutes, positive west of Greenwich, as the Windows time-zone record holds them.
struct TimeZoneBias {
    int32_t bias = 0;
    int32_t standardBias = 0;
    int32_t daylightBias = 0;
};

struct LocalTimeParts {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool daylight = false;
};

// Keeps the PC up while it lives: no sleep, the display on, shutdown held
// with a reason, where the platform has such things.
class PressHold {
public:
    virtual ~PressHold() = default;
};

class System {
public:
    virtual ~System() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // False when the folder cannot be found.
    virtual bool GetDocumentsFolder(std::string& folder) = 0;
    // Folder + separator + name, in the platform's form.
    virtual std::string JoinPath(const std::string& folder, const char* name) = 0;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual int64_t UtcSeconds() = 0;
    virtual bool LocalTime(int64_t utcSeconds, LocalTimeParts& parts) = 0;
    virtual TimeZoneBias GetTimeZoneBias() = 0;
    // Null when the file cannot be opened or is in use.
    virtual std::unique_ptr<LogFile> OpenLogFile(const std::string& path) = 0;
    // "Keep the PC up while this press runs"; `window` is the main window's
    // native handle, which a shutdown reason belongs to.
    virtual std::unique_ptr<PressHold> HoldForPress(void* window) = 0;
    // Taken once at start-up, before any window: true when this is the only
    // copy of the program (it then holds the claim for its life). False when
    // another runs; the backend has then done what its platform does about it
    // (brought the other's window forward, or said so on the terminal).
    virtual bool ClaimOnlyCopy() = 0;
};

}  // namespace platform
