// System seam: waits, the documents folder, local time and the log file.
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
};

}  // namespace platform
