#pragma once

#include <memory>
#include <string>

#include "platform/device.h"

namespace platform::posix {

// Writers are SOCK_SEQPACKET sockets named *.sock in the writer directory;
// member N is the Nth name in byte order.
class SocketDeviceProvider : public DeviceProvider {
public:
    std::unique_ptr<Device> OpenDeviceInterface(const Guid& interfaceClass, uint32_t member,
                                                uint32_t& error) override;
};

// A device over a connected SOCK_SEQPACKET socket (owned).
std::unique_ptr<Device> MakeSocketDevice(int fd, uint32_t readTimeoutMs = kReadTimeoutMs);

}  // namespace platform::posix
