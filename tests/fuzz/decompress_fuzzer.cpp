// Property: whatever the stream holds, Decompress reads only inside it and
// writes at most outputLength + 59 bytes, returning a count within that.
#include <cstdlib>

#include "firmware/lzari.h"
#include "tests/fuzz/fuzz_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t length = TakeU32(data, size) % (1u << 16);
    auto input = ExactCopy(data, size);
    auto output = std::make_unique<uint8_t[]>(length + CArithmeticCompression::kOutputOverrun + 1);
    auto decoder = std::make_unique<CArithmeticCompression>();
    const uint32_t n = decoder->Decompress(input.get(), uint32_t(size), output.get(), length);
    if (n > length + CArithmeticCompression::kOutputOverrun) std::abort();
    if (length != 0 && size != 0 && n < length) std::abort();
    return 0;
}
