#include "firmware/image_checksum.h"

uint32_t g_crcTable[256];
int g_crcTableReady = 0;

ImageChecksum::ImageChecksum(uint32_t initial) {
    if (g_crcTableReady == 0) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            g_crcTable[i] = c;
        }
        g_crcTableReady = 1;
    }
    m_register = initial;
}

void ImageChecksum::Update(const uint8_t* data, size_t size) {
    // A local copy of the register lets the compiler keep it out of memory.
    uint32_t r = m_register;
    const uint8_t* end = data + size;
    while (data != end) r = (r >> 8) ^ g_crcTable[(r ^ *data++) & 0xFF];
    m_register = r;
}

uint32_t ComputeImageChecksum(const uint8_t* data, size_t size) {
    ImageChecksum sum(kCrcInitial);
    sum.Update(data, size);
    return sum.Value();
}
