// Property: ParseIntelHex stays inside the text and the window, and returns
// a positive span or one of its three failure codes.
#include <cstdlib>
#include <vector>

#include "firmware/intel_hex.h"
#include "tests/fuzz/fuzz_helpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto text = ExactCopy(data, size);
    constexpr uint32_t kWindow = 0x1000;  // small, so that records reach its edges
    auto image = std::make_unique<uint8_t[]>(kWindow);
    const int32_t r = ParseIntelHex(reinterpret_cast<const char*>(text.get()), uint32_t(size), image.get(),
                                    kWindow, 0x80000000);
    if (r == 0 || r < -3 || r > int32_t(kWindow)) std::abort();
    return 0;
}
