// In-process device: each request goes to a C++ callback, whose answer is
// the reply. The simulated writer plugs in here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/device.h"

namespace platform::testing {

using Bytes = std::vector<uint8_t>;

class CallbackEndpoint {
public:
    virtual ~CallbackEndpoint() = default;
    // Whether a device can be opened now (a restarting writer is absent).
    virtual bool Present() { return true; }
    // A request arrived; the return is the reply, or nothing for no reply.
    virtual std::optional<Bytes> Exchange(const Bytes& request) = 0;
    // Whether an open connection still works (a restart drops it).
    virtual bool ConnectionAlive(uint64_t /*connection*/) { return true; }
    virtual uint64_t OnOpen() { return 0; }
    virtual void OnClose(uint64_t /*connection*/) {}
};

// Scripted endpoint: a function for the replies, plus counters.
class ScriptedEndpoint : public CallbackEndpoint {
public:
    std::function<std::optional<Bytes>(const Bytes&)> reply;
    bool present = true;
    std::vector<Bytes> requests;
    bool Present() override { return present; }
    std::optional<Bytes> Exchange(const Bytes& request) override {
        requests.push_back(request);
        return reply ? reply(request) : std::nullopt;
    }
};

class CallbackDeviceProvider : public DeviceProvider {
public:
    explicit CallbackDeviceProvider(CallbackEndpoint& endpoint) : m_endpoint(endpoint) {}
    std::unique_ptr<Device> OpenDeviceInterface(const Guid& interfaceClass, uint32_t member,
                                                uint32_t& error) override;

    // Writes to fail (return 0) before one goes through, per request.
    int failWrites = 0;
    int controlRequests = 0;
    int opens = 0;
    int closes = 0;
    uint32_t closeError = 0;
    Guid lastInterfaceClass{};

private:
    CallbackEndpoint& m_endpoint;
};

}  // namespace platform::testing
