// Moving packets: one write per request, one read per reply.
#include <cstring>

#include "link/quon_usb.h"

using namespace protocol;

namespace {
constexpr int kWriteAttempts = 3;
constexpr uint32_t kControlResetPipe = 1;
}  // namespace

void CQuonUsb::BeginRequest(uint16_t command, uint32_t length) {
    Put16(m_requestBuffer + kOffCommand, command);
    Put32(m_requestBuffer + kOffLength, length);
    std::memset(m_requestBuffer + kOffParam, 0, 20);
}

void CQuonUsb::SetParam(int index, uint32_t value) {
    Put32(m_requestBuffer + kOffParam + 4 * index, value);
}

uint32_t CQuonUsb::SendRequest() {
    Put16(m_requestBuffer + kOffMagic, kMagic);
    Put32(m_requestBuffer + kOffSequence, m_sequence);
    if (!IsOpen()) return 0;
    uint32_t length = Get32(m_requestBuffer + kOffLength);
    if (length > kMaxPayload) length = kMaxPayload;  // never past the buffer
    const uint32_t size = kHeaderSize + length;
    for (int attempt = 1; attempt <= kWriteAttempts; ++attempt) {
        const uint32_t written = m_handle->Write(m_requestBuffer, size);
        if (written != 0) return written;
        if (attempt < kWriteAttempts) m_handle->Control(kControlResetPipe);
    }
    return 0;
}

uint32_t CQuonUsb::ReadReply() {
    if (!IsOpen()) return 0;
    const uint32_t received = m_handle->Read(m_replyBuffer, kPacketBufferSize);
    if (received == 0) {
        // A reply that comes after the bound would be read as the answer to
        // the next request; the handle is done with. Later commands fail at
        // once and the next press connects afresh.
        Close();
        return 0;
    }
    ++m_sequence;
    if (received < kHeaderSize) return 0;
    const uint32_t length = ReplyLength();
    // A length the packet cannot hold would send every copy past the data.
    if (length > kMaxPayload || length > received - kHeaderSize) return 0;
    return length + kHeaderSize;
}
