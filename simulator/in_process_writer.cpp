#include "simulator/in_process_writer.h"

#include "platform/device.h"

namespace sim {

platform::testing::EndpointReply InProcessWriter::Exchange(const platform::testing::Bytes& request) {
    Reply reply = m_model.Handle(request);
    if (reply.delayMs >= platform::kReadTimeoutMs) {
        // The read gives up first; the reply still comes, after the bound.
        if (m_wait) m_wait(platform::kReadTimeoutMs);
        return {std::move(reply.bytes), true};
    }
    if (reply.delayMs > 0 && m_wait) m_wait(reply.delayMs);
    return {std::move(reply.bytes)};
}

}  // namespace sim
