// The hidden BETA button: switches a recent writer to its beta software.
// Its boxes are the application's own; none of them is logged.
#include "app/message_format.h"
#include "app/update_dlg.h"

namespace {
constexpr uint32_t kPauseAroundCloseMs = 100;
}

int CQuonUpdate100Dlg::SwitchToBeta(bool on) {
    const uint8_t value[4] = {uint8_t(on ? 1 : 0), 0, 0, 0};
    return m_link.WriteSetting(protocol::kSettingBeta, sizeof value, value) == 0 ? 0 : 1;
}

void CQuonUpdate100Dlg::DisconnectWriter() {
    if (m_link.IsOpen()) {
        System().Sleep(kPauseAroundCloseMs);
        m_link.Close();
        System().Sleep(kPauseAroundCloseMs);
    }
    CloseUpdateLog();
}

void CQuonUpdate100Dlg::OnBetaClicked() {
    const std::unique_ptr<platform::PressHold> hold = System().HoldForPress(m_native);  // as for Go!
    if (!m_logOpen) OpenUpdateLog();
    platform::WindowBackend& box = Backend();
    if (m_link.Connect() != 0 || !m_link.IsOpen()) {
        box.AppMessageBox("Unable to communicate with your steno machine.", ui::kMbIconError);
        CloseUpdateLog();
        return;
    }
    if (m_link.Identify(nullptr, &m_writerAppVersion, &m_writerInBoot, &m_writerAppBuild) != 0) {
        box.AppMessageBox(
            "Unable to open a connection with your steno machine.\nPlease make sure the writer is "
            "turned On and the USB cable is firmly connected",
            ui::kMbIconError);
    } else if (m_writerAppBuild < kMinBetaBuild) {
        // Comes before the model test: a low build of any model gets this.
        box.AppMessageBox(FormatText("BETA: You must install version %d or higher.", int(kMinBetaBuild)),
                          ui::kMbIconError);
    } else if (m_link.m_machineType != kMachineTypeOrvane) {
        box.AppMessageBox(
            FormatText("Improper Machine Type.  This update is not for %s!", ModelName().c_str()),
            ui::kMbIconError);
    } else if (box.AppMessageBox("You are about to install BETA version.\nAre you sure you want to "
                                 "do this?",
                                 ui::kMbYesNo | ui::kMbIconQuestion) == ui::kIdYes) {
        if (SwitchToBeta(true) != 0) {
            box.AppMessageBox("Unable to Update the Writer", ui::kMbIconError);
        } else {
            box.AppMessageBox("Writer has been switched to Beta version", ui::kMbOk);
            m_updateStarted = 1;
            ResetWriter();
        }
    }
    DisconnectWriter();
}
