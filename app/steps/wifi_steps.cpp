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

// A writer without the region (size 0) counts as done.
int CQuonUpdate100Dlg::UpdateWifiApp() {
    const uint32_t id = WriterRow().wifiAppResource;
    return id == 0 ? kStepDone : UpdateRegionImage(id, protocol::kRegionWifiApp, kWifiAppTexts, kStepDone);
}

int CQuonUpdate100Dlg::UpdateWifiNvs() {
    const uint32_t id = WriterRow().wifiNvsResource;
    return id == 0 ? kStepDone : UpdateRegionImage(id, protocol::kRegionWifiNvs, kWifiNvsTexts, kStepDone);
}
