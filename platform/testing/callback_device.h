// In-process device: each request goes to a C++ callback, whose answer is
// the reply. The simulated writer plugs in here.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/device.h"

namespace platform::testing {

using Bytes = std::vector<uint8_t>;

// An endpoint's answer to one request.
struct EndpointReply {
    EndpointReply() = default;
    EndpointReply(std::nullopt_t) {}
    EndpointReply(std::optional<Bytes> reply, bool isLate = false) : bytes(std::move(reply)), late(isLate) {}
    std::optional<Bytes> bytes;  // nothing: no reply at all
    // It comes only after the read bound: the read waiting for it gets
    // nothing, and the reply then waits on the connection for the next read.
    bool late = false;
};

class CallbackEndpoint {
public:
    virtual ~CallbackEndpoint() = default;
    // Whether a device can be opened now (a restarting writer is absent).
    virtual bool Present() { return true; }
    // A request arrived; the return is the reply, or nothing for no reply.
    virtual EndpointReply Exchange(const Bytes& request) = 0;
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
    EndpointReply Exchange(const Bytes& request) override {
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
