#include "firmware/intel_hex.h"

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool Accepted(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == ':' || c == '\r' || c == '\n';
}

struct HexReader {
    const char* text;
    uint32_t length;
    uint32_t pos = 0;
    uint8_t sum = 0;
    bool stopped = false;  // a character outside the accepted set
    bool ended = false;    // the text ran out

    // One character of a record, consumed as a hex digit whatever it is,
    // unless it is outside the accepted set, which stops the parse.
    bool Digit(uint32_t& v) {
        if (pos >= length) { ended = true; return false; }
        const char c = Upper(text[pos]);
        if (!Accepted(c)) { stopped = true; return false; }
        ++pos;
        v = (c >= '0' && c <= '9') ? uint32_t(c - 48) : uint32_t(c - 55);
        return true;
    }
    bool Byte(uint32_t& v) {
        uint32_t hi, lo;
        if (!Digit(hi) || !Digit(lo)) return false;
        v = ((hi << 4) + lo) & 0xFF;
        return true;
    }
    bool SummedByte(uint32_t& v) {
        if (!Byte(v)) return false;
        sum = uint8_t(sum + v);
        return true;
    }
};

}  // namespace

int32_t ParseIntelHex(const char* text, uint32_t length, uint8_t* image, uint32_t size,
                      uint32_t base) {
    if (text == nullptr || length == 0 || text[0] != ':') return kHexNoEnd;
    HexReader rd{text, length};
    uint32_t extended = 0;
    uint32_t lowest = 0xFFFFFFFF;
    uint32_t highest = 0;
    auto span = [&]() -> int32_t {
        if (lowest > highest) return kHexNoEnd;  // nothing was defined
        return int32_t(highest - lowest + 1);
    };
    auto interrupted = [&]() -> int32_t { return rd.stopped ? span() : kHexNoEnd; };

    while (rd.pos < length) {
        const char c = Upper(text[rd.pos]);
        if (!Accepted(c)) return span();
        ++rd.pos;
        if (c != ':') continue;
        rd.sum = 0;
        uint32_t count, hi, lo, type;
        if (!rd.SummedByte(count) || !rd.SummedByte(hi) || !rd.SummedByte(lo) ||
            !rd.SummedByte(type))
            return interrupted();
        const uint32_t address = (hi << 8) | lo;
        if (type == 1) return span();
        if (type == 2 || type == 4) {
            uint32_t a, b;
            if (!rd.SummedByte(a) || !rd.SummedByte(b)) return interrupted();
            extended = ((a << 8) | b) * (type == 2 ? 16u : 65536u);
        } else if (type == 3 || type == 5) {
            for (uint32_t k = 0; k < count; ++k) {
                uint32_t v;
                if (!rd.SummedByte(v)) return interrupted();
            }
        } else {
            for (uint32_t k = 0; k < count; ++k) {
                uint32_t v;
                if (!rd.SummedByte(v)) return interrupted();
                const uint32_t at = extended + address + k;
                if (at < base || at - base >= size) return kHexOutsideWindow;
                if (at < lowest) lowest = at;
                if (at > highest) highest = at;
                image[at - base] = uint8_t(v);
            }
        }
        uint32_t check;
        if (!rd.Byte(check)) return interrupted();
        if (uint8_t(check + rd.sum) != 0) return kHexBadChecksum;
    }
    return kHexNoEnd;
}
