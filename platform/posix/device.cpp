#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/posix_device.h"
#include "platform/posix/posix_system.h"

namespace platform::posix {
namespace {

class SocketDevice : public Device {
public:
    SocketDevice(int fd, uint32_t timeoutMs) : m_fd(fd), m_timeoutMs(timeoutMs) {}
    ~SocketDevice() override { Close(); }

    uint32_t Write(const uint8_t* data, uint32_t size) override {
        if (m_fd < 0) return 0;
        ssize_t n;
        do n = ::send(m_fd, data, size, MSG_NOSIGNAL); while (n < 0 && errno == EINTR);
        return n > 0 ? uint32_t(n) : 0;
    }

    uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
        if (m_fd < 0) return 0;
        pollfd p{m_fd, POLLIN, 0};
        int ready;
        do ready = ::poll(&p, 1, int(m_timeoutMs)); while (ready < 0 && errno == EINTR);
        if (ready <= 0) return 0;  // the bound ran out: no reply
        ssize_t n;
        do n = ::recv(m_fd, buffer, capacity, MSG_TRUNC); while (n < 0 && errno == EINTR);
        // MSG_TRUNC gives the message's real length: a longer one is no reply.
        return n > 0 && size_t(n) <= capacity ? uint32_t(n) : 0;
    }

    // The driver's control request has no counterpart on a socket.
    void Control(uint32_t) override {}

    uint32_t Close() override {
        if (m_fd < 0) return 0;
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : uint32_t(errno);
    }

private:
    int m_fd;
    uint32_t m_timeoutMs;
};

}  // namespace

std::unique_ptr<Device> MakeSocketDevice(int fd, uint32_t readTimeoutMs) {
    // A writer that stops reading must not hold a write forever either.
    timeval bound{time_t(readTimeoutMs / 1000), suseconds_t(readTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    return std::make_unique<SocketDevice>(fd, readTimeoutMs);
}

std::unique_ptr<Device> SocketDeviceProvider::OpenDeviceInterface(const Guid&, uint32_t member,
                                                                  uint32_t& error) {
    const std::string dir = WriterDirectory();
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        error = uint32_t(errno);
        return nullptr;
    }
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0) names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    if (member >= names.size()) {
        error = ENODEV;  // no such member: no writer present
        return nullptr;
    }
    const std::string path = dir + "/" + names[member];
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = uint32_t(errno);
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = uint32_t(errno);
        ::close(fd);
        return nullptr;
    }
    error = 0;
    return MakeSocketDevice(fd);
}

}  // namespace platform::posix
