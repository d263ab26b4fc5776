#include "simulator/in_process_writer.h"

#include "platform/device.h"

namespace sim {

std::optional<platform::testing::Bytes> InProcessWriter::Exchange(
    const platform::testing::Bytes& request) {
    Reply reply = m_model.Handle(request);
    if (reply.delayMs > 0) {
        // The link gives up after its read bound.
        if (reply.delayMs >= platform::kReadTimeoutMs) {
            if (m_wait) m_wait(platform::kReadTimeoutMs);
            return std::nullopt;
        }
        if (m_wait) m_wait(reply.delayMs);
    }
    return reply.bytes;
}

}  // namespace sim
