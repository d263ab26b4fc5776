// Loads one carried image: finds its container by resource id, checks its
// length word, allocates the decode buffer with the step's slack and decodes.
#pragma once

#include <cstdint>
#include <memory>

#include "firmware/image_limits.h"
#include "platform/resources.h"

constexpr uint32_t kDecodeSlack = 256;
constexpr uint32_t kApplicationDecodeSlack = 1024;

enum class ImageLoadResult {
    kOk,
    kNoMemory,  // length word too large, or the allocation failed
    kMissing,   // no such resource, or too short to hold a length word
};

struct DecodedImage {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t capacity = 0;     // bytes allocated: length word + slack
    uint32_t lengthWord = 0;   // L
    uint32_t length = 0;       // N, the count the decoder returned
};

ImageLoadResult LoadCarriedImage(platform::Resources& resources, uint32_t resourceId, uint32_t slack,
                          DecodedImage& image);
