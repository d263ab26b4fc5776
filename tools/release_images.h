// Deterministic placeholder firmware images with the decoded lengths of the
// release table. Each code image carries a descriptor (kind, version,
// build) that the simulated writer reads; the updater never parses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvane_release.h"

namespace release_images {

constexpr uint32_t kApplicationLength = 3037340;
constexpr uint32_t kBootLength = 475388;
constexpr uint32_t kSpareLength = 768128;
constexpr uint32_t kFontsLength = 1154944;
constexpr uint32_t kFont2Length = 505152;
constexpr uint32_t kScannerTextLength = 122152;
constexpr uint32_t kXLoaderLength = 32712;

enum class Kind : uint32_t { kApplication = 1, kBoot = 2, kXLoader = 3, kScanner = 4 };

// The descriptor: "ORVIMG01", then kind, version and build, little-endian,
// at kDescriptorOffset of a code image (of the scanner's window offset 0x2000).
constexpr uint32_t kDescriptorOffset = 0x40;
constexpr char kDescriptorMagic[9] = "ORVIMG01";
struct Descriptor {
    Kind kind;
    uint32_t version;
    uint32_t build;
};
bool ReadDescriptor(const uint8_t* image, size_t size, Descriptor& descriptor);
// Writes one at `at` (20 bytes; `image` must hold them).
void WriteDescriptor(std::vector<uint8_t>& image, size_t at, Kind kind, uint32_t version, uint32_t build);

// The release's own versions (release.cmake).
constexpr uint32_t kReleaseAppVersion = ORVANE_RELEASE_APP_VERSION, kReleaseAppBuild = ORVANE_RELEASE_APP_BUILD;
constexpr uint32_t kReleaseBootVersion = ORVANE_RELEASE_BOOT_VERSION, kReleaseBootBuild = ORVANE_RELEASE_BOOT_BUILD;
constexpr uint32_t kReleaseScannerVersion = ORVANE_RELEASE_SCANNER_VERSION;
constexpr char kReleaseXLoaderVersion[] = "X-Loader " ORVANE_RELEASE_XLOADER_VERSION " (Nov 30 2026 - 14:02:11)";

// `variant` changes the content without changing the length, so a simulated
// writer can hold other fonts, an older loader or older code.
std::vector<uint8_t> MakeApplication(uint32_t version, uint32_t build, uint32_t variant = 0);
std::vector<uint8_t> MakeBoot(uint32_t version, uint32_t build, uint32_t variant = 0);
std::vector<uint8_t> MakeSpare();
std::vector<uint8_t> MakeFonts(uint32_t variant = 0);
std::vector<uint8_t> MakeFont2(uint32_t variant = 0);
std::vector<uint8_t> MakeXLoader(const std::string& versionText, uint32_t variant = 0);
// Intel HEX text for the sensor board's 0x80000000 window.
std::vector<uint8_t> MakeScannerHex(uint32_t version, uint32_t variant = 0);

}  // namespace release_images
