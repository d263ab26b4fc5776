#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

#include "platform/posix/posix_system.h"

namespace platform::posix {
namespace {

class PosixLogFile : public LogFile {
public:
    explicit PosixLogFile(int fd) : m_fd(fd) {}
    ~PosixLogFile() override { ::close(m_fd); }
    bool Write(const char* data, size_t size) override {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }
    // write() hands every line to the kernel at once; nothing is buffered here.
    void Flush() override {}

private:
    int m_fd;
};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

std::unique_ptr<LogFile> OpenExclusiveLog(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    ::lseek(fd, 0, SEEK_END);
    return std::make_unique<PosixLogFile>(fd);
}

bool FindDocumentsFolder(std::string& folder) {
    std::string dir = Env("XDG_DOCUMENTS_DIR");
    const std::string home = Env("HOME");
    if (dir.empty()) {
        std::string config = Env("XDG_CONFIG_HOME");
        if (config.empty() && !home.empty()) config = home + "/.config";
        std::ifstream dirs(config + "/user-dirs.dirs");
        std::string line;
        while (std::getline(dirs, line)) {
            const std::string key = "XDG_DOCUMENTS_DIR=";
            if (line.compare(0, key.size(), key) != 0) continue;
            std::string value = line.substr(key.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
            dir = value;
        }
    }
    if (dir.empty() && !home.empty()) dir = home + "/Documents";
    if (dir.empty()) return false;
    folder = dir;
    return true;
}

std::string WriterDirectory() {
    std::string dir = Env("ORVANE_WRITER_DIR");
    if (!dir.empty()) return dir;
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (!runtime.empty()) return runtime + "/orvane-writers";
    return "/tmp/orvane-writers-" + std::to_string(::getuid());
}

bool PosixSystem::ClaimOnlyCopy() {
    // The writer directory itself is locked: two copies looking at the same
    // writers would drive one of them from both. The lock goes with the
    // process.
    static int claim = -1;
    if (claim >= 0) return true;
    const std::string dir = WriterDirectory();
    ::mkdir(dir.c_str(), 0700);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;  // no folder, no writers to share
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::cerr << "orvane-update: another copy is already running for the writers in " << dir << std::endl;
        ::close(fd);
        return false;
    }
    claim = fd;
    return true;
}

void PosixSystem::Sleep(uint32_t milliseconds) {
    timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int64_t PosixSystem::UtcSeconds() { return int64_t(std::time(nullptr)); }

bool PosixSystem::LocalTime(int64_t utcSeconds, LocalTimeParts& parts) {
    const time_t t = time_t(utcSeconds);
    tm local{};
    if (::localtime_r(&t, &local) == nullptr) return false;
    parts = LocalTimeParts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min,         local.tm_sec,     local.tm_isdst > 0};
    return true;
}

TimeZoneBias PosixSystem::GetTimeZoneBias() {
    // The C library's offset already includes daylight saving, so it all goes
    // into the main bias.
    const time_t t = std::time(nullptr);
    tm local{};
    ::localtime_r(&t, &local);
    TimeZoneBias bias;
    bias.bias = int32_t(-local.tm_gmtoff / 60);
    return bias;
}

}  // namespace platform::posix
