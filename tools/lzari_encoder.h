// The encoder matching the program's LZARI decoder, and the container
// around its stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The bare stream for `text`.
std::vector<uint8_t> LzariEncode(const uint8_t* text, size_t size);
// Length word (little-endian) followed by the stream.
std::vector<uint8_t> PackContainer(const uint8_t* text, size_t size);
