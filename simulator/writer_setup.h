// Ready-made writer states: an out-of-date Orvane that needs every step of
// a full update, or one that already holds every image of this release.
#pragma once

#include <string>

#include "simulator/writer_model.h"

namespace platform {
class Resources;
}

namespace sim {

struct WriterSetup {
    uint32_t machineType = 22;
    bool inBoot = false;             // application region erased: the boot loader answers
    uint32_t appVersion = 0x01000000;
    uint32_t appBuild = 35400;
    uint32_t bootVersion = 0x01000000;
    uint32_t bootBuild = 35390;
    uint32_t secBootVersion = 0x01000000;
    uint32_t secBootBuild = 35390;
    uint32_t scannerVersion = 14500;
    std::string xloaderVersion = "X-Loader 1.4.9 (Mar  2 2025 - 09:12:45)";
    bool current = false;            // every region holds this release's image
    bool jobFileOpen = false;
    bool realtimeActive = false;
    int64_t clockOffsetSeconds = 0;
    uint32_t restartDelayMs = 3000;
    bool wifi = false;
};

// Fills the model's regions and identity. `release` supplies this
// release's images for `current`.
void ApplySetup(WriterModel& model, const WriterSetup& setup, platform::Resources& release);

// Decodes one of the release's containers; empty when it is missing.
Bytes DecodeReleaseImage(platform::Resources& release, uint32_t resourceId);
// Parses Intel HEX text into a 512 KiB window filled with 0xFF.
Bytes ScannerWindowFromHex(const Bytes& text);

}  // namespace sim
