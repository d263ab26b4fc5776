// Building and reading packets by hand, for tests of single commands.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "link/protocol.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

inline Bytes ReplyPacket(uint16_t code, std::initializer_list<uint32_t> params = {},
                         const Bytes& payload = {}) {
    Bytes b(protocol::kHeaderSize + payload.size(), 0);
    protocol::Put16(&b[protocol::kOffMagic], protocol::kMagic);
    protocol::Put16(&b[protocol::kOffCommand], code);
    protocol::Put32(&b[protocol::kOffLength], uint32_t(payload.size()));
    int i = 0;
    for (uint32_t p : params) {
        if (i == 5) break;
        protocol::Put32(b.data() + protocol::kOffParam + 4 * i++, p);
    }
    // (Skipped when empty: g++ -m32 takes the empty copy for one past the header.)
    if (!payload.empty()) std::copy(payload.begin(), payload.end(), b.begin() + protocol::kHeaderSize);
    return b;
}

inline uint16_t CommandOf(const Bytes& request) { return protocol::Get16(&request[protocol::kOffCommand]); }
inline uint32_t LengthOf(const Bytes& request) { return protocol::Get32(&request[protocol::kOffLength]); }
inline uint32_t SequenceOf(const Bytes& request) { return protocol::Get32(&request[protocol::kOffSequence]); }
inline uint32_t ParamOf(const Bytes& request, int i) {
    return protocol::Get32(&request[protocol::kOffParam + 4 * i]);
}
inline Bytes PayloadOf(const Bytes& request) {
    return Bytes(request.begin() + protocol::kHeaderSize, request.end());
}
inline Bytes U32s(std::initializer_list<uint32_t> values) {
    Bytes b;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return b;
}

}  // namespace testsupport
