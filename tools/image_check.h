// The release's check of a folder of firmware images, before anything is
// packed: every file present and not empty, within what the program sends of
// its kind (firmware/image_limits.h), the scanner's text valid Intel HEX
// inside the sensor board's window, the X-Loader with its version text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image_check {

struct FileReport {
    std::string name;          // "xloader.bin"
    uint64_t size = 0;
    // The image checksum of what the program sends: the whole image, or for
    // the scanner the range of its window that goes to the sensor board.
    uint32_t checksum = 0;
    std::string description;   // the model it serves, its resource id and what it is
    std::vector<std::string> faults;  // empty when the file passes
};

// The file names of a release's images, in resource order.
const std::vector<std::string>& ImageFileNames();

// Checks one image's bytes; `name` is one of ImageFileNames().
FileReport CheckImage(const std::string& name, const std::vector<uint8_t>& bytes);

// Checks every image of the release in `folder`.
std::vector<FileReport> CheckImageFolder(const std::string& folder);

}  // namespace image_check
