#include "simulator/writer_setup.h"

#include <algorithm>

#include "firmware/image_loader.h"
#include "firmware/intel_hex.h"
#include "link/protocol.h"
#include "tools/release_images.h"

namespace sim {
namespace {

void Store(WriterModel& model, uint32_t regionId, const Bytes& image) {
    Bytes& region = model.Region(regionId);
    std::fill(region.begin(), region.end(), 0xFF);
    std::copy(image.begin(), image.begin() + std::min(image.size(), region.size()), region.begin());
}

}  // namespace

Bytes DecodeReleaseImage(platform::Resources& release, uint32_t resourceId) {
    DecodedImage image;
    if (LoadImage(release, resourceId, kDecodeSlack, image) != ImageLoadResult::kOk) return {};
    return Bytes(image.bytes.get(), image.bytes.get() + image.length);
}

Bytes ScannerWindowFromHex(const Bytes& text) {
    Bytes window(kSensorWindow, 0xFF);
    ParseIntelHex(reinterpret_cast<const char*>(text.data()), uint32_t(text.size()), window.data(),
                  kSensorWindow, kSensorBase);
    return window;
}

void ApplySetup(WriterModel& model, const WriterSetup& s, platform::Resources& release) {
    using namespace release_images;
    model.machineType = s.machineType;
    model.secBootVersion = s.secBootVersion;
    model.secBootBuild = s.secBootBuild;
    model.jobFileExists = s.jobFileOpen;
    model.realtimeActive = s.realtimeActive;
    model.clockOffsetSeconds = s.clockOffsetSeconds;
    model.restartDelayMs = s.restartDelayMs;
    model.hasWifi = s.wifi;
    if (s.current) {
        Store(model, protocol::kRegionApplication, DecodeReleaseImage(release, 169));
        Store(model, kRegionBoot, DecodeReleaseImage(release, 170));
        Store(model, protocol::kRegionFonts, DecodeReleaseImage(release, 172));
        Store(model, protocol::kRegionFont2, DecodeReleaseImage(release, 173));
        Store(model, protocol::kRegionXLoader, DecodeReleaseImage(release, 189));
        model.sensorMemory = ScannerWindowFromHex(DecodeReleaseImage(release, 174));
    } else {
        Store(model, protocol::kRegionApplication, MakeApplication(s.appVersion, s.appBuild, 1));
        Store(model, kRegionBoot, MakeBoot(s.bootVersion, s.bootBuild, 1));
        Store(model, protocol::kRegionFonts, MakeFonts(1));
        Store(model, protocol::kRegionFont2, MakeFont2(1));
        Store(model, protocol::kRegionXLoader, MakeXLoader(s.xloaderVersion, 1));
        model.sensorMemory = ScannerWindowFromHex(MakeScannerHex(s.scannerVersion, 1));
    }
    if (s.inBoot) {
        Bytes& app = model.Region(protocol::kRegionApplication);
        std::fill(app.begin(), app.end(), 0xFF);
    }
    model.RefreshIdentityFromMemory();
    if (s.machineType != 22 && !s.current) {
        // Other models: only their identity matters to this release.
        model.inBoot = s.inBoot;
        model.appVersion = s.appVersion;
        model.appBuild = s.appBuild;
    }
}

}  // namespace sim
