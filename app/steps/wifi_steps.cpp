// The WiFi application and settings store: checked and rewritten like the
// fonts, but unannounced, and a writer without the region is left alone.
#include "app/update_dlg.h"

namespace {
const CQuonUpdate100Dlg::RegionTexts kWifiAppTexts = {
    "Checking WiFi App...", "Reading WiFi App. from %s...", "\n\nChecking WiFi App. from %s...",
    "Loading WiFi App...",  "Sending WiFi App. to %s...",   "\n\nSending WiFi App. to %s...",
    "Failure to load WiFi App.",
};
const CQuonUpdate100Dlg::RegionTexts kWifiNvsTexts = {
    "Checking WiFi NVS...", "Reading WiFi NVS. from %s...", "\n\nChecking WiFi NVS. from %s...",
    "Loading WiFi NVS...",  "Sending WiFi NVS. to %s...",   "\n\nSending WiFi NVS. to %s...",
    "Failure to load WiFi NVS.",
};
}  // namespace

int CQuonUpdate100Dlg::UpdateWifiApp() {
    const uint32_t id = WriterRow().wifiAppResource;
    if (id == 0) return kStepDone;
    DecodedImage image;
    if (const int rc = LoadStepImage(id, kDecodeSlack, image)) return rc;
    return VerifyAndRewriteRegion(protocol::kRegionWifiApp, image.bytes.get(), image.length,
                                  kWifiAppTexts, kStepDone);
}

int CQuonUpdate100Dlg::UpdateWifiNvs() {
    const uint32_t id = WriterRow().wifiNvsResource;
    if (id == 0) return kStepDone;
    DecodedImage image;
    if (const int rc = LoadStepImage(id, kDecodeSlack, image)) return rc;
    return VerifyAndRewriteRegion(protocol::kRegionWifiNvs, image.bytes.get(), image.length,
                                  kWifiNvsTexts, kStepDone);
}
