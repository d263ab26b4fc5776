// Decoder of the image container's LZARI stream: LZSS over a 4,096-byte
// window, literals and lengths coded adaptively, positions by a fixed model.
//
// Promises, whatever the stream holds: it reads only inside
// [input, input + inputLength), writes at most outputLength + 59 bytes to
// output, and allocates nothing.
#pragma once

#include <cstdint>

class CArithmeticCompression {
public:
    static constexpr uint32_t kWindowSize = 4096;      // N
    static constexpr uint32_t kMaxMatch = 60;          // F
    static constexpr uint32_t kMatchThreshold = 2;     // a match is longer than this
    static constexpr uint32_t kCharCount = 256 - kMatchThreshold + kMaxMatch;  // 314
    static constexpr uint32_t kQ1 = 0x8000;
    static constexpr uint32_t kQ2 = 0x10000;
    static constexpr uint32_t kQ3 = 0x18000;
    static constexpr uint32_t kQ4 = 0x20000;
    static constexpr uint32_t kMaxCumulative = kQ1 - 1;  // halving threshold
    // The symbol model's counts sit in a binary indexed tree over the ranks
    // (a power of two above 314), so that a search and an update take nine
    // steps each instead of walking up to 314 cumulative counts. It yields
    // exactly the cumulative counts of the plain model.
    static constexpr uint32_t kSymbolTreeSize = 512;
    // The most bytes a stream can write beyond outputLength.
    static constexpr uint32_t kOutputOverrun = kMaxMatch - 1;

    CArithmeticCompression();
    virtual ~CArithmeticCompression();

    // Returns the number of bytes written; 0 for a null buffer or a zero length.
    uint32_t Decompress(const uint8_t* input, uint32_t inputLength, uint8_t* output,
                        uint32_t outputLength);

    // True when the last decode needed bits beyond the stream (they read as 0).
    bool ReadPastEnd() const { return bitsPastEnd != 0; }

private:
    struct Coder;
    void StartDecoder(Coder& coder);
    void InitModel();
    uint32_t DecodeSymbol(Coder& coder);
    uint32_t DecodeMatchPosition(Coder& coder);
    // Also gives the count of the ranks before the one found.
    uint32_t FindSymbolIndex(uint32_t x, uint32_t& countBefore) const;
    uint32_t FindPositionIndex(uint32_t x) const;
    void AdaptSymbolModel(uint32_t s);
    void RebuildSymbolTree();
    void Renormalise(Coder& coder);
    uint32_t ReadBits(Coder& coder, uint32_t n);

    const uint8_t* input;
    uint8_t* output;
    uint32_t decodedLength;
    uint32_t reservedCount;
    uint32_t inputPos;
    uint32_t outputPos;
    uint32_t inputLength;
    uint32_t outputCapacity;
    uint8_t ring[kWindowSize];
    uint32_t low;
    uint32_t high;
    uint32_t value;
    int32_t pendingBits;
    int32_t symbolOfChar[kCharCount];
    int32_t charOfSymbol[kCharCount + 1];
    uint32_t symbolFrequency[kCharCount + 1];
    uint32_t symbolTree[kSymbolTreeSize];  // node i sums the counts of ranks (i - lowbit(i), i]
    uint32_t symbolTotal;                  // the plain model's cumulative count 0
    uint32_t positionCumulative[kWindowSize + 1];
    uint32_t inputByte;
    uint32_t inputMask;
    uint32_t outputByte;
    uint32_t outputMask;
    uint32_t bitsPastEnd;
};

// Container helpers: the first four bytes are the decoded length, little-endian.
inline uint32_t ContainerDecodedLength(const uint8_t* container) {
    return uint32_t(container[0]) | uint32_t(container[1]) << 8 | uint32_t(container[2]) << 16 |
           uint32_t(container[3]) << 24;
}
