// The programming phases of "&Go!": the boot-code path for old writers, the
// fixed chain of image steps and restarts, and the success path.
#include "app/message_format.h"
#include "app/update_dlg.h"
#include "resources/resource.h"

namespace {
constexpr uint32_t kPauseAroundCloseMs = 100;

using Step = int (CQuonUpdate100Dlg::*)();
// Steps that finished in this run return 0 at once through their flags, so
// the second calls act only when the first did not complete.
constexpr Step kChain[] = {
    &CQuonUpdate100Dlg::ResetWriter,     &CQuonUpdate100Dlg::UpdateScanner,
    &CQuonUpdate100Dlg::UpdateWifiApp,   &CQuonUpdate100Dlg::UpdateWifiNvs,
    &CQuonUpdate100Dlg::UpdateFonts,     &CQuonUpdate100Dlg::UpdateFont2,
    &CQuonUpdate100Dlg::UpdateXLoader,   &CQuonUpdate100Dlg::UpdateBootCode,
    &CQuonUpdate100Dlg::UpdateApplicationCode, &CQuonUpdate100Dlg::ResetWriter,
    &CQuonUpdate100Dlg::UpdateXLoader,
};
}  // namespace

void CQuonUpdate100Dlg::RunProgrammingChain() {
    // Phase E: writers below the boot upgrade build take the boot code first.
    const bool oldWriter = m_writerInBoot != 0 ? m_writerMainBootBuild < kBootUpgradeBuild
                                               : m_writerAppBuild < kBootUpgradeBuild;
    if (oldWriter) {
        m_updateStarted = 1;
        if (UpdateBootCode() > 0) return;
        // As the boot step left it: a boot loader still too old cannot take
        // this application, so its region is erased instead.
        if (m_writerMainBootBuild < kBootUpgradeBuild) {
            EraseApplicationRegion();
        } else {
            if (UpdateApplicationCode() > 0) return;
            if (m_writerInBoot == 0 && UpdateApplicationCode() > 0) return;
        }
    }

    // Phase F: the chain.
    int last = kStepDone;
    for (Step step : kChain) {
        last = (this->*step)();
        if (last > 0) return;
    }

    // Phase G: only 0 from the last step counts as success.
    m_link.EndProgramming(0);
    if (last != kStepDone) return;
    const std::string name = ModelName();
    SetDlgItemText(IDC_STATUS, FormatText("\n\n\n\n\n\n%s Updated.", name.c_str()));
    WriteLogLine(FormatText("Successfully updated the %s.", name.c_str()).c_str());
    MessageBox(FormatText("Successfully updated the %s.\n           Click OK to Exit.", name.c_str()), m_title,
               ui::kMbOk | ui::kMbIconInformation);
    if (m_link.IsOpen()) {
        System().Sleep(kPauseAroundCloseMs);
        m_link.Close();
        System().Sleep(kPauseAroundCloseMs);
    }
    OnCancel();
    m_updateStarted = 0;
}
