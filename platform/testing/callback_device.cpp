#include "platform/testing/callback_device.h"

#include <algorithm>
#include <cstring>

namespace platform::testing {
namespace {

constexpr uint32_t kErrorNoMoreItems = 259;  // what enumeration reports with no writer

class CallbackDevice : public Device {
public:
    CallbackDevice(CallbackEndpoint& endpoint, CallbackDeviceProvider& provider, uint64_t connection)
        : m_endpoint(endpoint), m_provider(provider), m_connection(connection) {}
    ~CallbackDevice() override { Close(); }

    uint32_t Write(const uint8_t* data, uint32_t size) override {
        if (m_closed || !m_endpoint.ConnectionAlive(m_connection)) return 0;
        if (m_provider.failWrites > 0) {
            --m_provider.failWrites;
            return 0;
        }
        EndpointReply reply = m_endpoint.Exchange(Bytes(data, data + size));
        if (reply.late)
            m_late = std::move(reply.bytes);
        else if (reply.bytes)
            m_arrived.push_back(std::move(*reply.bytes));
        return size;
    }

    // Replies are read in the order they arrived, as from a real device: a
    // late one that nobody read waits for the next read.
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
        if (m_closed) return 0;
        if (m_arrived.empty()) {
            // The read gives up at its bound; a late reply comes after that.
            if (m_late && m_endpoint.ConnectionAlive(m_connection)) m_arrived.push_back(std::move(*m_late));
            m_late.reset();
            return 0;
        }
        const Bytes reply = std::move(m_arrived.front());
        m_arrived.pop_front();
        if (reply.size() > capacity) return 0;  // as the device backends: no usable reply
        if (!reply.empty()) std::memcpy(buffer, reply.data(), reply.size());
        return uint32_t(reply.size());
    }

    void Control(uint32_t) override { ++m_provider.controlRequests; }

    uint32_t Close() override {
        if (m_closed) return 0;
        m_closed = true;
        ++m_provider.closes;
        m_endpoint.OnClose(m_connection);
        return m_provider.closeError;
    }

private:
    CallbackEndpoint& m_endpoint;
    CallbackDeviceProvider& m_provider;
    uint64_t m_connection;
    std::deque<Bytes> m_arrived;
    std::optional<Bytes> m_late;
    bool m_closed = false;
};

}  // namespace

std::unique_ptr<Device> CallbackDeviceProvider::OpenDeviceInterface(const Guid& interfaceClass,
                                                                    uint32_t member,
                                                                    uint32_t& error) {
    lastInterfaceClass = interfaceClass;
    if (member != 0 || !m_endpoint.Present()) {
        error = kErrorNoMoreItems;
        return nullptr;
    }
    ++opens;
    error = 0;
    return std::make_unique<CallbackDevice>(m_endpoint, *this, m_endpoint.OnOpen());
}

}  // namespace platform::testing
