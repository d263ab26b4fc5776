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
// boot code goes to the Orvane at its own length, so this is its limit.
constexpr uint32_t kMaxTransferCopy = 64u * 1024 * 1024;

// The room the program gives the X-Loader: its region, one 128 KiB erase
// unit. The step reads the loader back from the region's start and programs
// it there without relying on the size the writer reports, so a longer image
// would reach past the region.
constexpr uint32_t kXLoaderRegionSize = 0x20000;

// The sensor board's window for the keyboard scanner: the Intel HEX text must
// place every byte inside it. Its first 8 KiB hold the board's own boot code
// and are parsed but never checksummed or sent.
constexpr uint32_t kScannerBase = 0x80000000;
constexpr uint32_t kScannerWindow = 0x80000;
constexpr uint32_t kScannerFirstSent = 0x2000;
