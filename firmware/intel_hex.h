// Intel HEX text to a flat memory image.
#pragma once

#include <cstdint>

constexpr int32_t kHexNoEnd = -1;         // no ':' first, or the text ended inside the records
constexpr int32_t kHexOutsideWindow = -2; // a data byte's address lies outside the window
constexpr int32_t kHexBadChecksum = -3;   // a record's checksum does not match

// Places each data byte at image[address - base]. Returns the span of
// addresses written (> 0), or one of the negative results above. A text that
// defines no data byte returns kHexNoEnd.
int32_t ParseIntelHex(const char* text, uint32_t length, uint8_t* image, uint32_t size,
                      uint32_t base);
