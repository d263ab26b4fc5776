// Device seam: the writer's device interface class, one request per write,
// one reply per read.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// A read that has waited this long counts as no reply.
constexpr uint32_t kReadTimeoutMs = 30000;

class Device {
public:
    virtual ~Device() = default;
    // Bytes written; 0 when nothing went out.
    virtual uint32_t Write(const uint8_t* data, uint32_t size) = 0;
    // Bytes of one reply; 0 for nothing (also after kReadTimeoutMs, and for
    // a reply longer than `capacity`). The link closes the device after 0.
    virtual uint32_t Read(uint8_t* buffer, uint32_t capacity) = 0;
    // The driver's control request; its result is not used.
    virtual void Control(uint32_t code) = 0;
    // 0, or the system's error code of the close.
    virtual uint32_t Close() = 0;
};

class DeviceProvider {
public:
    virtual ~DeviceProvider() = default;
    // Opens member `member` of the interface class; null on failure with
    // the system's error code in `error`, else `error` = 0.
    virtual std::unique_ptr<Device> OpenDeviceInterface(const Guid& interfaceClass, uint32_t member,
                                                        uint32_t& error) = 0;
};

}  // namespace platform
