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

int CQuonUpdate100Dlg::UpdateFonts() {
    const MachineInfo& row = WriterRow();
    if (row.fontResource == 0) return kStepDone;
    m_link.ShowText("Loading new fonts");
    WriteLogLine(FormatText("Sending Fonts to %s...", row.name).c_str());
    SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Fonts to %s...", row.name));
    return UpdateRegionImage(row.fontResource, protocol::kRegionFonts, kFontTexts, kStepNoFontRegion);
}

int CQuonUpdate100Dlg::UpdateFont2() {
    const MachineInfo& row = WriterRow();
    if (row.font2Resource == 0) return kStepDone;
    m_link.ShowText("Loading new fonts");
    WriteLogLine(FormatText("Sending Font2 to %s...", row.name).c_str());
    SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Fonts to %s...", row.name));
    return UpdateRegionImage(row.font2Resource, protocol::kRegionFont2, kFont2Texts, kStepNoFontRegion);
}
