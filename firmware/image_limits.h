// The most the program sends of each image kind. The image steps and the
// link refuse anything beyond these, and the release's image check
// (orvane-check-images) holds real images to the same constants, so a
// release cannot carry an image its own steps would refuse.
#pragma once

#include <cstdint>

// The decoder's largest output. A larger length word is damage, not an
// image: it takes the out-of-memory path.
constexpr uint32_t kMaxDecodedLength = 64u * 1024 * 1024;

// The largest copy the link makes for a boot code or X-Loader transfer; a
// larger one would come from a damaged boot layout item, not an image. The
// boot code goes to the Orvane at its own length, and the X-Loader always
// does (the step does not use the size the writer reports for its region),
// so this is the limit of both.
constexpr uint32_t kMaxTransferCopy = 64u * 1024 * 1024;

// The sensor board's window for the keyboard scanner: the Intel HEX text must
// place every byte inside it. Its first 8 KiB hold the board's own boot code
// and are parsed but never checksummed or sent.
constexpr uint32_t kScannerBase = 0x80000000;
constexpr uint32_t kScannerWindow = 0x80000;
constexpr uint32_t kScannerFirstSent = 0x2000;
