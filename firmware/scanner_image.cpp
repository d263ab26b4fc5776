#include "firmware/scanner_image.h"

#include <cstring>

#include "firmware/intel_hex.h"

int32_t ParseScannerWindow(const char* text, uint32_t length, uint8_t* window) {
    std::memset(window, 0xFF, kScannerWindow);
    return ParseIntelHex(text, length, window, kScannerWindow, kScannerBase);
}

uint32_t ScannerSentEnd(const uint8_t* window) {
    uint32_t last = kScannerWindow - 1;
    while (window[last] == 0xFF && last > kScannerFirstSent) --last;
    return last + 1;
}
