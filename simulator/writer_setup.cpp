#include "simulator/writer_setup.h"

#include <algorithm>
#include <map>

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

// Generating a writer's images takes a while; tests make many writers alike.
template <typename Make>
const Bytes& Cached(const std::string& key, Make make) {
    static std::map<std::string, Bytes> cache;
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, make()).first;
    return it->second;
}

}  // namespace

Bytes DecodeReleaseImage(platform::Resources& release, uint32_t resourceId) {
    DecodedImage image;
    if (LoadCarriedImage(release, resourceId, kDecodeSlack, image) != ImageLoadResult::kOk) return {};
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
        auto release_ = [&](uint32_t id) {
            return Cached("release" + std::to_string(id), [&] { return DecodeReleaseImage(release, id); });
        };
        Store(model, protocol::kRegionApplication, release_(169));
        Store(model, kRegionBoot, release_(170));
        Store(model, protocol::kRegionFonts, release_(172));
        Store(model, protocol::kRegionFont2, release_(173));
        Store(model, protocol::kRegionXLoader, release_(189));
        model.sensorMemory = Cached("release-scanner", [&] { return ScannerWindowFromHex(release_(174)); });
    } else {
        const std::string v = std::to_string(s.appVersion) + "/" + std::to_string(s.appBuild);
        Store(model, protocol::kRegionApplication,
              Cached("app" + v, [&] { return MakeApplication(s.appVersion, s.appBuild, 1); }));
        const std::string b = std::to_string(s.bootVersion) + "/" + std::to_string(s.bootBuild);
        Store(model, kRegionBoot, Cached("boot" + b, [&] { return MakeBoot(s.bootVersion, s.bootBuild, 1); }));
        Store(model, protocol::kRegionFonts, Cached("fonts", [] { return MakeFonts(1); }));
        Store(model, protocol::kRegionFont2, Cached("font2", [] { return MakeFont2(1); }));
        Store(model, protocol::kRegionXLoader,
              Cached("xl" + s.xloaderVersion, [&] { return MakeXLoader(s.xloaderVersion, 1); }));
        model.sensorMemory = Cached("scanner" + std::to_string(s.scannerVersion),
                                    [&] { return ScannerWindowFromHex(MakeScannerHex(s.scannerVersion, 1)); });
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
