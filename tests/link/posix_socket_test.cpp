// The POSIX device backend over real SOCK_SEQPACKET sockets.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "link/quon_usb.h"
#include "platform/posix/posix_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "tests/support/packets.h"
#include "tests/support/writer_fixture.h"

using namespace testsupport;

TEST(PosixSocket, SocketPairCarriesWholePacketsAndTheBoundEndsASilentPeer) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
    auto device = platform::posix::MakeSocketDevice(fds[0], 200);
    const Bytes request = ReplyPacket(7, {1, 2}, Bytes(100, 9));
    EXPECT_EQ(device->Write(request.data(), uint32_t(request.size())), request.size());
    uint8_t buffer[protocol::kPacketBufferSize];
    ASSERT_EQ(::recv(fds[1], buffer, sizeof buffer, 0), ssize_t(request.size()));
    const Bytes reply = ReplyPacket(7, {}, Bytes(65536, 1));
    ::send(fds[1], reply.data(), reply.size(), 0);
    EXPECT_EQ(device->Read(buffer, sizeof buffer), reply.size());
    EXPECT_EQ(device->Read(buffer, sizeof buffer), 0u);  // nothing comes: the bound ends it
    device->Control(1);
    EXPECT_EQ(device->Close(), 0u);
    ::close(fds[1]);
}

TEST(PosixSocket, DiscoveryPicksTheFirstSocketByNameAndReportsNoWriter) {
    TempDir dir;
    ::setenv("ORVANE_WRITER_DIR", dir.Path().c_str(), 1);
    platform::posix::SocketDeviceProvider provider;
    uint32_t error = 0;
    EXPECT_EQ(provider.OpenDeviceInterface(WRITER_INTERFACE_GUID, 0, error), nullptr);
    EXPECT_NE(error, 0u);

    auto listen = [&](const std::string& name) {
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s/%s", dir.Path().c_str(), name.c_str());
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::listen(fd, 2);
        return fd;
    };
    const int b = listen("b.sock"), a = listen("a.sock"), other = listen("c.notsock");
    auto device = provider.OpenDeviceInterface(WRITER_INTERFACE_GUID, 0, error);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(error, 0u);
    const int accepted = ::accept(a, nullptr, nullptr);
    EXPECT_GE(accepted, 0);  // the connection went to a.sock
    EXPECT_EQ(provider.OpenDeviceInterface(WRITER_INTERFACE_GUID, 2, error), nullptr);

    // A whole exchange through the link over the socket.
    platform::testing::VirtualSystem system;
    platform::testing::ScriptedWindow window;
    CQuonUsb link(provider, system, &window);
    ASSERT_EQ(link.Connect(), 0u);
    std::thread peer([&] {
        const int c = ::accept(a, nullptr, nullptr);
        uint8_t buffer[128];
        const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
        EXPECT_EQ(n, 32);
        const Bytes reply = ReplyPacket(1, {22, 0x01000000, 0, 35680}, U32s({0, 14760}));
        ::send(c, reply.data(), reply.size(), 0);
        ::close(c);
    });
    EXPECT_EQ(link.Identify(nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(link.m_scannerVersion, 14760u);
    peer.join();
    EXPECT_FALSE(link.ShowText(nullptr));  // the peer has gone
    link.Close();
    for (int fd : {a, b, other, accepted}) ::close(fd);
    ::unsetenv("ORVANE_WRITER_DIR");
}
