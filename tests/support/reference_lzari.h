// A plain, bit-by-bit transcription of the decoding algorithm, kept as the
// reference the program's decoder must match on every stream.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

std::vector<uint8_t> ReferenceDecode(const uint8_t* input, uint32_t inputLength, uint32_t outputLength);

}  // namespace testsupport
