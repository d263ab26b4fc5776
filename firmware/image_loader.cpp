#include "firmware/image_loader.h"

#include <new>

#include "firmware/lzari.h"

ImageLoadResult LoadCarriedImage(platform::Resources& resources, uint32_t resourceId, uint32_t slack,
                          DecodedImage& image) {
    image = DecodedImage{};
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!resources.FindRcData(resourceId, data, size) || data == nullptr || size < 4)
        return ImageLoadResult::kMissing;
    const uint32_t lengthWord = ContainerDecodedLength(data);
    if (lengthWord > kMaxDecodedLength) return ImageLoadResult::kNoMemory;
    const uint64_t capacity = uint64_t(lengthWord) + slack;
    if (capacity < uint64_t(lengthWord) + CArithmeticCompression::kOutputOverrun)
        return ImageLoadResult::kNoMemory;  // the decoder needs at least this much room
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size_t(capacity)]);
    if (!bytes) return ImageLoadResult::kNoMemory;
    // The decoder's tables are large too: no memory for them is the memory
    // message, never an exception through the step.
    std::unique_ptr<CArithmeticCompression> decoder(new (std::nothrow) CArithmeticCompression());
    if (!decoder) return ImageLoadResult::kNoMemory;
    image.length = decoder->Decompress(data + 4, size - 4, bytes.get(), lengthWord);
    image.bytes = std::move(bytes);
    image.capacity = uint32_t(capacity);
    image.lengthWord = lengthWord;
    return ImageLoadResult::kOk;
}
