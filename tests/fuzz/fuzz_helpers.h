// Shared by the fuzz targets: exact-size heap copies, so that any read or
// write outside a buffer trips the sanitizer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

inline std::unique_ptr<uint8_t[]> ExactCopy(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    return copy;
}

inline uint32_t TakeU32(const uint8_t*& data, size_t& size) {
    uint32_t v = 0;
    for (int i = 0; i < 4 && size > 0; ++i, ++data, --size) v |= uint32_t(*data) << (8 * i);
    return v;
}
