// The keyboard scanner's image as the step sends it: the Intel HEX text laid
// into the sensor board's window, and the range of it that goes to the board.
#pragma once

#include <cstdint>

#include "firmware/image_limits.h"

// Fills `window` (kScannerWindow bytes) with 0xFF and places the text's data
// bytes in it. Returns ParseIntelHex's result: above 0 when usable.
int32_t ParseScannerWindow(const char* text, uint32_t length, uint8_t* window);

// One past the window offset of the last byte that is not 0xFF, searched down
// to kScannerFirstSent + 1: the range from kScannerFirstSent to here is sent,
// and holds at least one byte.
uint32_t ScannerSentEnd(const uint8_t* window);
