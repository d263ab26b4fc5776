// The two font sets: no version, so each region is read back and rewritten
// when it differs from the carried image.
#include "app/message_format.h"
#include "app/update_dlg.h"
#include "resources/resource.h"

namespace {
// The status texts of Font2 are those of the fonts; only its log lines differ.
const CQuonUpdate100Dlg::RegionTexts kFontTexts = {
    "Checking Fonts...", "Reading Fonts. from %s...", "\n\nChecking Fonts. from %s...",
    "Loading fonts...",  "Sending fonts to %s...",    "\n\nSending fonts to %s...",
    "Failure to load fonts.",
};
const CQuonUpdate100Dlg::RegionTexts kFont2Texts = {
    "Checking Fonts...", "Reading Font2. from %s...", "\n\nChecking Fonts. from %s...",
    "Loading fonts...",  "Sending font2 to %s...",    "\n\nSending fonts to %s...",
    "Failure to load fonts.",
};
}  // namespace

// Both font sets announce themselves alike; only the log line names Font2.
int CQuonUpdate100Dlg::UpdateFontSet(uint32_t resourceId, uint32_t regionId, const char* announceLog,
                                     const RegionTexts& texts) {
    if (resourceId == 0) return kStepDone;
    const std::string name = ModelName();
    m_link.ShowText("Loading new fonts");
    WriteLogLine(FormatText(announceLog, name.c_str()).c_str());
    SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Fonts to %s...", name.c_str()));
    return UpdateRegionImage(resourceId, regionId, texts, kStepNoFontRegion);
}

int CQuonUpdate100Dlg::UpdateFonts() {
    return UpdateFontSet(WriterRow().fontResource, protocol::kRegionFonts, "Sending Fonts to %s...", kFontTexts);
}

int CQuonUpdate100Dlg::UpdateFont2() {
    return UpdateFontSet(WriterRow().font2Resource, protocol::kRegionFont2, "Sending Font2 to %s...", kFont2Texts);
}
