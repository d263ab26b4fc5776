// The 32-bit check over the bytes sent to the writer: reflected polynomial
// 0xEDB88320, register starts at 0xFFFFFFFF, never complemented (JAMCRC).
#pragma once

#include <cstddef>
#include <cstdint>

extern uint32_t g_crcTable[256];
extern int g_crcTableReady;

constexpr uint32_t kCrcInitial = 0xFFFFFFFF;

class ImageChecksum {
public:
    explicit ImageChecksum(uint32_t initial);
    void Update(uint8_t byte) { m_register = (m_register >> 8) ^ g_crcTable[(m_register ^ byte) & 0xFF]; }
    void Update(const uint8_t* data, size_t size);
    uint32_t Value() const { return m_register; }

private:
    uint32_t m_register;
};

// Checksum of a whole range from the initial value.
uint32_t ComputeImageChecksum(const uint8_t* data, size_t size);
