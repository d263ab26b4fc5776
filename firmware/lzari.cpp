#include "firmware/lzari.h"

#include <cstring>

// The coder's registers live in a local during a decode, so the compiler can
// keep them out of memory while bytes are stored through the output pointer.
struct CArithmeticCompression::Coder {
    const uint8_t* input;
    uint32_t inputLength;
    uint32_t inputPos;
    uint64_t bits;      // fetched bits not yet used, in the low bitCount bits
    uint32_t bitCount;
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

// The next n bits (n <= 24) of the stream, most significant first. Bytes are
// fetched only when their first bit is needed, as bit by bit; past the
// stream the coder only looks ahead, and those bits read as 0.
inline uint32_t CArithmeticCompression::ReadBits(Coder& c, uint32_t n) {
    while (c.bitCount < n) {
        uint32_t next = 0;
        if (c.inputPos < c.inputLength)
            next = c.input[c.inputPos++];
        else
            c.bitsPastEnd += 8;
        c.bits = (c.bits << 8) | next;
        c.bitCount += 8;
    }
    c.bitCount -= n;
    return uint32_t(c.bits >> c.bitCount) & ((1u << n) - 1);
}

void CArithmeticCompression::StartDecoder(Coder& c) { c.value = ReadBits(c, 17); }

void CArithmeticCompression::RebuildSymbolTree() {
    uint32_t total = 0;
    for (uint32_t i = 0; i < kSymbolTreeSize; ++i) symbolTree[i] = 0;
    for (uint32_t i = 1; i < kSymbolTreeSize; ++i) {
        if (i <= kCharCount) {
            symbolTree[i] += symbolFrequency[i];
            total += symbolFrequency[i];
        }
        const uint32_t parent = i + (i & (0u - i));
        if (parent < kSymbolTreeSize) symbolTree[parent] += symbolTree[i];
    }
    symbolTotal = total;
}

void CArithmeticCompression::InitModel() {
    for (uint32_t s = kCharCount; s >= 1; --s) {
        symbolOfChar[s - 1] = int32_t(s);
        charOfSymbol[s] = int32_t(s - 1);
        symbolFrequency[s] = 1;
    }
    symbolFrequency[0] = 0;
    RebuildSymbolTree();  // every count 1, total 314
    positionCumulative[kWindowSize] = 0;
    for (uint32_t i = kWindowSize; i >= 1; --i)
        positionCumulative[i - 1] = positionCumulative[i] + 10000 / (i + 200);
}

// The smallest rank s whose cumulative count (the counts of the ranks after
// it) is at most x: the largest rank p whose prefix count is below
// total - x, plus one. Fixed steps, no unpredictable branches.
inline uint32_t CArithmeticCompression::FindSymbolIndex(uint32_t x, uint32_t& countBefore) const {
    countBefore = 0;
    if (x >= symbolTotal) return 1;
    const uint32_t target = symbolTotal - x;
    uint32_t pos = 0, sum = 0;
    for (uint32_t step = kSymbolTreeSize / 2; step != 0; step >>= 1) {
        const uint32_t next = pos + step;
        const uint32_t v = sum + symbolTree[next];
        const bool go = v < target;
        pos = go ? next : pos;
        sum = go ? v : sum;
    }
    countBefore = sum;
    return pos + 1;
}

inline uint32_t CArithmeticCompression::FindPositionIndex(uint32_t x) const {
    uint32_t s = 0;
    for (uint32_t step = kWindowSize / 2; step != 0; step >>= 1)
        s += positionCumulative[s + step] > x ? step : 0;
    return s;  // the index found minus 1: a position from 0 to 4095
}

// Renormalisation in one go. Bit by bit it would repeat: subtract Q2 when
// low >= Q2, else Q1 when low >= Q1 and high <= Q3, else stop when
// high > Q2; then double low, high and value and read a bit. Whatever case
// each step takes:
//  - value - low doubles and takes the new bit, so value follows from low;
//  - high - low doubles, and a step happens only while it is at most Q2;
//  - low's leading one bits are shifted out first (the Q2 case), after which
//    bit 16 of low stays 0 and low is its old bits shifted, modulo Q2.
// So the steps are at least the count of low's leading ones and at least the
// doublings that take high - low above Q1, and at most one more: above Q2
// the loop always stops. The result is the same, bit for bit.
inline void CArithmeticCompression::Renormalise(Coder& c) {
    const uint32_t low = c.low;
    const uint32_t range = c.high - low;
    const uint32_t leadingOnes = uint32_t(__builtin_clz(~(low << 15)));
    uint32_t widen = 0;
    if (range <= kQ1) {
        widen = uint32_t(__builtin_clz(range)) - 16;  // top bit of range << widen is bit 15
        if ((range << widen) == kQ1) ++widen;
    }
    uint32_t n = leadingOnes > widen ? leadingOnes : widen;
    uint32_t newLow = (low << n) & (kQ2 - 1);
    uint32_t newHigh = newLow + (range << n);
    if (!(newHigh > kQ2 && (newLow < kQ1 || newHigh > kQ3))) {
        ++n;
        newLow = (low << n) & (kQ2 - 1);
        newHigh = newLow + (range << n);
    }
    if (n == 0) return;
    const uint32_t offset = c.value - low;
    c.value = (offset << n) + ReadBits(c, n) + newLow;
    c.low = newLow;
    c.high = newHigh;
}

inline void CArithmeticCompression::AdaptSymbolModel(uint32_t s) {
    if (symbolTotal >= kMaxCumulative) {
        // Adding 1 before halving keeps every count above 0.
        for (uint32_t i = kCharCount; i > 0; --i) symbolFrequency[i] = (symbolFrequency[i] + 1) >> 1;
        RebuildSymbolTree();
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
    for (uint32_t j = i; j < kSymbolTreeSize; j += j & (0u - j)) symbolTree[j] += 1;
    symbolTotal += 1;
}

inline uint32_t CArithmeticCompression::DecodeSymbol(Coder& c) {
    const uint32_t range = c.high - c.low;
    const uint32_t total = symbolTotal;
    const uint32_t x = ((c.value - c.low + 1) * total - 1) / range;
    uint32_t before = 0;
    const uint32_t s = FindSymbolIndex(x, before);
    const uint32_t cumulativeBefore = total - before;                  // of rank s - 1
    const uint32_t cumulativeAt = cumulativeBefore - symbolFrequency[s];  // of rank s
    c.high = c.low + range * cumulativeBefore / total;
    c.low += range * cumulativeAt / total;
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
    // Never read by a sound stream; cleared so that a damaged one decodes the same every time.
    std::memset(ring + kWindowSize - kMaxMatch, 0, kMaxMatch);

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
    inputByte = inLength && c.inputPos ? in[c.inputPos - 1] : 0;
    inputMask = c.bitCount ? 1u << (c.bitCount - 1) : 0;
    bitsPastEnd = c.bitsPastEnd;
    outputPos = pos;
    return count;
}
