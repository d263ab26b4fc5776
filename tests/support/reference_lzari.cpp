#include "tests/support/reference_lzari.h"

#include <memory>

namespace testsupport {
namespace {

struct Reference {
    const uint8_t* in;
    uint32_t inLength, pos = 0, byte = 0, mask = 0;
    uint32_t low = 0, high = 0x20000, value = 0;
    uint32_t symOfChar[314], charOfSym[315], freq[315], cum[315], posCum[4097];
    uint8_t ring[4096];

    uint32_t Bit() {
        if ((mask >>= 1) == 0) {
            byte = pos < inLength ? in[pos] : 0;
            ++pos;
            mask = 0x80;
        }
        return (byte & mask) ? 1 : 0;
    }
    void Normalise() {
        for (;;) {
            if (low >= 0x10000) {
                value -= 0x10000; low -= 0x10000; high -= 0x10000;
            } else if (low >= 0x8000 && high <= 0x18000) {
                value -= 0x8000; low -= 0x8000; high -= 0x8000;
            } else if (high > 0x10000) {
                break;
            }
            low += low;
            high += high;
            value = 2 * value + Bit();
        }
    }
    uint32_t Symbol() {
        const uint32_t range = high - low;
        const uint32_t x = ((value - low + 1) * cum[0] - 1) / range;
        uint32_t lo = 1, hi = 314;
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (cum[mid] > x) lo = mid + 1; else hi = mid;
        }
        const uint32_t s = lo;
        high = low + range * cum[s - 1] / cum[0];
        low += range * cum[s] / cum[0];
        Normalise();
        const uint32_t c = charOfSym[s];
        if (cum[0] >= 32767) {
            uint32_t t = 0;
            for (uint32_t i = 314; i > 0; --i) {
                cum[i] = t;
                t += (freq[i] = (freq[i] + 1) / 2);
            }
            cum[0] = t;
        }
        uint32_t i = s;
        while (freq[i] == freq[i - 1]) --i;
        if (i < s) {
            const uint32_t a = charOfSym[i], b = charOfSym[s];
            charOfSym[i] = b;
            charOfSym[s] = a;
            symOfChar[a] = s;
            symOfChar[b] = i;
        }
        ++freq[i];
        while (i > 0) ++cum[--i];
        return c;
    }
    uint32_t Position() {
        const uint32_t range = high - low;
        const uint32_t x = ((value - low + 1) * posCum[0] - 1) / range;
        uint32_t lo = 1, hi = 4096;
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (posCum[mid] > x) lo = mid + 1; else hi = mid;
        }
        const uint32_t p = lo - 1;
        high = low + range * posCum[p] / posCum[0];
        low += range * posCum[p + 1] / posCum[0];
        Normalise();
        return p;
    }
};

}  // namespace

std::vector<uint8_t> ReferenceDecode(const uint8_t* input, uint32_t inputLength, uint32_t outputLength) {
    std::vector<uint8_t> out;
    if (!input || !inputLength || !outputLength) return out;
    auto r = std::make_unique<Reference>();
    r->in = input;
    r->inLength = inputLength;
    for (int i = 0; i < 17; ++i) r->value = 2 * r->value + r->Bit();
    r->cum[314] = 0;
    for (uint32_t s = 314; s >= 1; --s) {
        r->symOfChar[s - 1] = s;
        r->charOfSym[s] = s - 1;
        r->freq[s] = 1;
        r->cum[s - 1] = r->cum[s] + 1;
    }
    r->freq[0] = 0;
    r->posCum[4096] = 0;
    for (uint32_t i = 4096; i >= 1; --i) r->posCum[i - 1] = r->posCum[i] + 10000 / (i + 200);
    for (int i = 0; i < 4036; ++i) r->ring[i] = ' ';
    for (int i = 4036; i < 4096; ++i) r->ring[i] = 0;
    uint32_t at = 4036, count = 0;
    while (count < outputLength) {
        const uint32_t c = r->Symbol();
        if (c < 256) {
            out.push_back(uint8_t(c));
            r->ring[at] = uint8_t(c);
            at = (at + 1) & 4095;
            ++count;
        } else {
            const uint32_t p = r->Position(), length = c - 253, start = at - p - 1;
            for (uint32_t k = 0; k < length; ++k) {
                const uint8_t b = r->ring[(start + k) & 4095];
                out.push_back(b);
                r->ring[at] = b;
                at = (at + 1) & 4095;
            }
            count += length;
        }
    }
    return out;
}

}  // namespace testsupport
