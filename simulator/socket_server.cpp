#include "simulator/socket_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

#include "link/protocol.h"

namespace sim {

using namespace protocol;

namespace {

int MakeListener(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    // Bound and listening under a name no client looks for, then renamed: a
    // client that sees the socket can always connect to it.
    const std::string pending = path + ".pending";
    if (pending.size() >= sizeof addr.sun_path) {
        std::cerr << "orvane-writer-sim: socket path too long: " << path << std::endl;
        ::close(fd);
        return -1;
    }
    std::memcpy(addr.sun_path, pending.c_str(), pending.size() + 1);
    ::unlink(pending.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
        ::rename(pending.c_str(), path.c_str()) != 0) {
        std::cerr << "orvane-writer-sim: cannot serve " << path << ": " << std::strerror(errno) << std::endl;
        ::unlink(pending.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int ServeSocket(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop) {
    ::mkdir(options.directory.c_str(), 0700);
    const std::string path = options.directory + "/" + options.name + ".sock";
    std::ostream* trace = options.trace;
    int listener = MakeListener(path);
    if (listener < 0) return 1;
    if (trace) *trace << "serving " << path << std::endl;
    std::vector<int> connections;
    std::vector<uint8_t> buffer(kPacketBufferSize + 1024);
    uint64_t generation = model.Generation();

    auto dropAll = [&]() {
        for (int c : connections) ::close(c);
        connections.clear();
        if (listener >= 0) {
            ::close(listener);
            ::unlink(path.c_str());
            listener = -1;
        }
    };

    while (!stop) {
        if (model.Generation() != generation) {
            // Restart or unplug: the device goes away with its connections.
            generation = model.Generation();
            dropAll();
        }
        if (listener < 0) {
            if (!model.Present()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            listener = MakeListener(path);
            if (listener < 0) return 1;
            if (trace) *trace << "serving " << path << " again" << std::endl;
        }
        std::vector<pollfd> fds;
        fds.push_back({listener, POLLIN, 0});
        for (int c : connections) fds.push_back({c, POLLIN, 0});
        const int ready = ::poll(fds.data(), fds.size(), 100);
        if (ready <= 0) continue;
        if (fds[0].revents & POLLIN) {
            const int c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) connections.push_back(c);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int c = fds[i].fd;
            const ssize_t n = ::recv(c, buffer.data(), buffer.size(), 0);
            if (n <= 0) {
                ::close(c);
                connections.erase(std::find(connections.begin(), connections.end(), c));
                continue;
            }
            Reply reply = model.Handle(Bytes(buffer.begin(), buffer.begin() + n));
            if (reply.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
            if (reply.bytes) ::send(c, reply.bytes->data(), reply.bytes->size(), MSG_NOSIGNAL);
            if (model.Generation() != generation) break;  // the connection list is about to go
        }
    }
    dropAll();
    return 0;
}

int PresentWriter(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop) {
    return ServeSocket(model, options, stop);
}

}  // namespace sim
