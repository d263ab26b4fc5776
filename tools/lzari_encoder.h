// The encoder matching the program's LZARI decoder, and the container
// around its stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The arithmetic coder and models of the stream, symbol by symbol: a
// literal is code 0..255, a match of length L is code L + 253 followed by
// its position (the copy starts position + 1 bytes back).
class LzariCoder {
public:
    static constexpr uint32_t kChars = 314;
    static constexpr uint32_t kWindow = 4096;
    LzariCoder();
    void EncodeChar(uint32_t code);
    void EncodePosition(uint32_t position);
    void Literal(uint8_t c) { EncodeChar(c); }
    void Match(uint32_t length, uint32_t position) {
        EncodeChar(length + 253);
        EncodePosition(position);
    }
    // Flushes the coder; the stream is complete afterwards.
    std::vector<uint8_t> Finish();
    int Halvings() const { return halvings; }

private:
    void InitModel();
    void Adapt(uint32_t s);
    void PutBit(uint32_t bit);
    void OutputWithPending(uint32_t bit);
    void Renormalise();

    uint32_t low = 0, high = 0x20000;
    uint32_t pending = 0;
    uint32_t byte = 0, mask = 0x80;
    int halvings = 0;
    int32_t symbolOfChar[kChars];
    int32_t charOfSymbol[kChars + 1];
    uint32_t freq[kChars + 1];
    uint32_t cum[kChars + 1];
    uint32_t posCum[kWindow + 1];
    std::vector<uint8_t> out;
};

// The bare stream for `text`.
std::vector<uint8_t> LzariEncode(const uint8_t* text, size_t size);
// Length word (little-endian) followed by the stream.
std::vector<uint8_t> PackContainer(const uint8_t* text, size_t size);
