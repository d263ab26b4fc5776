#include "firmware/lzari.h"

#include <cstring>

// The coder's registers live in a local during a decode, so the compiler can
// keep them out of memory while bytes are stored through the output pointer.
struct CArithmeticCompression::Coder {
    const uint8_t* input;
    uint32_t inputLength;
    uint32_t inputPos;
    uint32_t inputByte;
    uint32_t inputMask;
    uint32_t low;
    uint32_t high;
    uint32_t value;
    uint32_t bitsPastEnd;
};

CArithmeticCompression::CArithmeticCompression()
    : input(nullptr),
      output(nullptr),
      decodedLength(0),
      reservedCount(0),
      inputPos(0),
      outputPos(0),
      inputLength(0),
      outputCapacity(0) {}

CArithmeticCompression::~CArithmeticCompression() = default;

inline uint32_t CArithmeticCompression::ReadBit(Coder& c) {
    c.inputMask >>= 1;
    if (c.inputMask == 0) {
        // Past the stream the coder only looks ahead; those bits read as 0.
        if (c.inputPos < c.inputLength) {
            c.inputByte = c.input[c.inputPos++];
        } else {
            c.inputByte = 0;
            c.bitsPastEnd += 8;
        }
        c.inputMask = 0x80;
    }
    return (c.inputByte & c.inputMask) != 0 ? 1 : 0;
}

void CArithmeticCompression::StartDecoder(Coder& c) {
    for (int i = 0; i < 17; ++i) c.value = 2 * c.value + ReadBit(c);
}

void CArithmeticCompression::InitModel() {
    symbolCumulative[kCharCount] = 0;
    for (uint32_t s = kCharCount; s >= 1; --s) {
        symbolOfChar[s - 1] = int32_t(s);
        charOfSymbol[s] = int32_t(s - 1);
        symbolFrequency[s] = 1;
        symbolCumulative[s - 1] = symbolCumulative[s] + 1;
    }
    symbolFrequency[0] = 0;
    positionCumulative[kWindowSize] = 0;
    for (uint32_t i = kWindowSize; i >= 1; --i)
        positionCumulative[i - 1] = positionCumulative[i] + 10000 / (i + 200);
}

inline uint32_t CArithmeticCompression::FindSymbolIndex(uint32_t x) const {
    uint32_t lo = 1, hi = kCharCount;
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        if (symbolCumulative[mid] > x) lo = mid + 1; else hi = mid;
    }
    return lo;
}

inline uint32_t CArithmeticCompression::FindPositionIndex(uint32_t x) const {
    uint32_t lo = 1, hi = kWindowSize;
    while (lo < hi) {
        uint32_t mid = (lo + hi) / 2;
        if (positionCumulative[mid] > x) lo = mid + 1; else hi = mid;
    }
    return lo - 1;
}

inline void CArithmeticCompression::Renormalise(Coder& c) {
    for (;;) {
        if (c.low >= kQ2) {
            c.value -= kQ2; c.low -= kQ2; c.high -= kQ2;
        } else if (c.low >= kQ1 && c.high <= kQ3) {
            c.value -= kQ1; c.low -= kQ1; c.high -= kQ1;
        } else if (c.high > kQ2) {
            break;
        }
        c.low += c.low;
        c.high += c.high;
        c.value = 2 * c.value + ReadBit(c);
    }
}

inline void CArithmeticCompression::AdaptSymbolModel(uint32_t s) {
    if (symbolCumulative[0] >= kMaxCumulative) {
        uint32_t c = 0;
        for (uint32_t i = kCharCount; i > 0; --i) {
            symbolCumulative[i] = c;
            c += (symbolFrequency[i] = (symbolFrequency[i] + 1) >> 1);
        }
        symbolCumulative[0] = c;
    }
    uint32_t i = s;
    const uint32_t f = symbolFrequency[s];
    while (symbolFrequency[i - 1] == f) --i;  // the sentinel 0 at index 0 ends the walk
    if (i < s) {
        int32_t chI = charOfSymbol[i];
        int32_t chS = charOfSymbol[s];
        charOfSymbol[i] = chS;
        charOfSymbol[s] = chI;
        symbolOfChar[chI] = int32_t(s);
        symbolOfChar[chS] = int32_t(i);
    }
    symbolFrequency[i] += 1;
    // Forward so that the compiler can vectorise it.
    for (uint32_t j = 0; j < i; ++j) symbolCumulative[j] += 1;
}

inline uint32_t CArithmeticCompression::DecodeSymbol(Coder& c) {
    const uint32_t range = c.high - c.low;
    const uint32_t total = symbolCumulative[0];
    const uint32_t x = ((c.value - c.low + 1) * total - 1) / range;
    const uint32_t s = FindSymbolIndex(x);
    c.high = c.low + range * symbolCumulative[s - 1] / total;
    c.low += range * symbolCumulative[s] / total;
    Renormalise(c);
    const uint32_t ch = uint32_t(charOfSymbol[s]);
    AdaptSymbolModel(s);
    return ch;
}

inline uint32_t CArithmeticCompression::DecodeMatchPosition(Coder& c) {
    const uint32_t range = c.high - c.low;
    const uint32_t total = positionCumulative[0];
    const uint32_t x = ((c.value - c.low + 1) * total - 1) / range;
    const uint32_t p = FindPositionIndex(x);
    c.high = c.low + range * positionCumulative[p] / total;
    c.low += range * positionCumulative[p + 1] / total;
    Renormalise(c);
    return p;
}

uint32_t CArithmeticCompression::Decompress(const uint8_t* in, uint32_t inLength, uint8_t* out,
                                            uint32_t outLength) {
    low = 0;
    high = kQ4;
    value = 0;
    pendingBits = 0;
    inputByte = 0;
    inputMask = 0;
    outputByte = 0;
    outputMask = 128;
    reservedCount = 0;
    inputPos = 0;
    outputPos = 0;
    bitsPastEnd = 0;
    input = in;
    output = out;
    if (in == nullptr || out == nullptr || inLength == 0 || outLength == 0) return 0;
    inputLength = inLength;
    outputCapacity = outLength;
    decodedLength = outLength;

    Coder c{in, inLength, 0, 0, 0, 0, kQ4, 0, 0};
    StartDecoder(c);
    InitModel();
    std::memset(ring, 0x20, kWindowSize - kMaxMatch);

    uint32_t r = kWindowSize - kMaxMatch;
    uint32_t count = 0;
    uint32_t pos = 0;
    const uint32_t target = decodedLength;
    while (count < target) {
        const uint32_t ch = DecodeSymbol(c);
        if (ch < 256) {
            out[pos++] = uint8_t(ch);
            ring[r] = uint8_t(ch);
            r = (r + 1) & (kWindowSize - 1);
            ++count;
        } else {
            const uint32_t p = DecodeMatchPosition(c);
            const uint32_t length = ch - 253;
            const uint32_t start = r - p - 1;
            for (uint32_t k = 0; k < length; ++k) {
                const uint8_t b = ring[(start + k) & (kWindowSize - 1)];
                out[pos++] = b;
                ring[r] = b;
                r = (r + 1) & (kWindowSize - 1);
            }
            count += length;
        }
    }

    low = c.low;
    high = c.high;
    value = c.value;
    inputPos = c.inputPos;
    inputByte = c.inputByte;
    inputMask = c.inputMask;
    bitsPastEnd = c.bitsPastEnd;
    outputPos = pos;
    return count;
}
