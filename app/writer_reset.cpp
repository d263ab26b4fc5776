// Restarts a writer left in programming and waits until it is back and ready.
#include "app/message_format.h"
#include "app/update_dlg.h"
#include "resources/resource.h"

namespace {
constexpr uint32_t kPauseAfterEndMs = 1000;
constexpr int kReconnectAttempts = 15;
constexpr uint32_t kReconnectPauseMs = 1000;
constexpr int kReadyProbes = 10;
constexpr uint32_t kProbePauseMs = 500;
}  // namespace

int CQuonUpdate100Dlg::ResetWriter() {
    if (!m_updateStarted) return kStepDone;
    SetDlgItemText(IDC_STATUS, "\n\nResetting writer.\nPlease wait while it reboots");
    // The writer may restart before its reply is read, and the missing
    // reply closes the handle; what counts is whether the link was open
    // when the restart was asked for.
    const bool wasOpen = m_link.IsOpen();
    m_link.EndProgramming(0);
    if (wasOpen) {
        System().Sleep(kPauseAfterEndMs);
        m_link.Close();
        for (int attempt = 0; attempt < kReconnectAttempts; ++attempt) {
            System().Sleep(kReconnectPauseMs);
            m_link.Connect();
            if (m_link.IsOpen()) break;
        }
        if (!m_link.IsOpen()) {
            MessageBox("Unable to reset your writer.", "Error", ui::kMbIconError);
            return kStepFailed;
        }
    }
    const uint32_t identified =
        m_link.Identify(nullptr, &m_writerAppVersion, &m_writerInBoot, &m_writerAppBuild);
    if (identified != 0) {
        MessageBox(FormatText<kShortMessageBuffer>("Unable to program your writer.  Error Code %d",
                                                   int(identified)),
                   "Error", ui::kMbIconError);
        return kStepFailed;
    }
    bool ready = false;
    for (int probe = 0; probe < kReadyProbes && !ready; ++probe) {
        System().Sleep(kProbePauseMs);
        ready = m_link.ShowText(nullptr);
    }
    if (!ready) {
        MessageBox("Write is not ready.", "Error", ui::kMbIconError);
        return kStepFailed;
    }
    m_updateStarted = 0;
    return kStepDone;
}
