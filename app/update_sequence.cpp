// The "&Go!" handler: connect, identify and report, admission checks,
// clock check, then the programming chain, and the clean-up that ends
// every run.
#include "app/message_format.h"
#include "app/update_dlg.h"
#include "resources/resource.h"

namespace {
constexpr uint32_t kPauseAroundCloseMs = 100;
const char kNoConnection[] =
    "Unable to open a connection with your steno machine.\nPlease make sure the writer is turned "
    "On and the USB cable is firmly connected";
}  // namespace

void CQuonUpdate100Dlg::ReportError(const std::string& text) {
    WriteLogLine(text.c_str());
    MessageBox(text, "Error", ui::kMbIconError);
}

void CQuonUpdate100Dlg::OnGoClicked() {
    // Neither sleep nor shutdown may cut a press short: held from before the
    // link opens until the clean-up has closed it.
    const std::unique_ptr<platform::PressHold> hold = System().HoldForPress(m_native);
    m_updateStarted = 0;
    m_xloaderDone = 0;
    m_bootCodeSent = 0;
    m_appCodeSent = 0;
    if (!m_logOpen) OpenUpdateLog();
    RunUpdate();
    CleanUp();
}

void CQuonUpdate100Dlg::RunUpdate() {
    // Phase A: connect.
    m_link.Connect();
    if (!m_link.IsOpen()) {
        ReportError(kNoConnection);
        return;
    }

    // Phase B: identification.
    const uint32_t identified =
        m_link.Identify(nullptr, &m_writerAppVersion, &m_writerInBoot, &m_writerAppBuild);
    const uint32_t type = m_link.m_machineType;
    const std::string name = ModelName();

    // Phase C: report what was found. A writer that did not answer found
    // nothing: its type and versions would be unset or an earlier press's.
    if (identified != 0) {
        // Only the identification message below.
    } else if (type != kMachineTypeOrvane) {
        WriteLogLine(FormatText(m_writerInBoot == 0 ? "USB found %s(%d), App. Ver. %X.%02X "
                                                    : "USB found %s(%d), Boot Ver. %X.%02X ",
                                name.c_str(), int(type), m_writerAppVersion >> 8,
                                m_writerAppVersion & 0xFF)
                         .c_str());
    } else {
        if (m_writerInBoot == 0) {
            m_writerMainBootVersion = m_writerMainBootBuild = 0;
            m_writerSecBootVersion = m_writerSecBootBuild = 0;
            if (m_link.ReadBootVersions(&m_writerMainBootVersion, &m_writerMainBootBuild,
                                        &m_writerSecBootVersion, &m_writerSecBootBuild) != 0) {
                m_writerMainBootVersion = m_writerMainBootBuild = 0;
                m_writerSecBootVersion = m_writerSecBootBuild = 0;
            }
        } else {
            // Identification reported the boot loader; the application counts as absent.
            m_writerMainBootVersion = m_writerMainBootBuild = 0;
            m_writerSecBootVersion = m_writerSecBootBuild = 0;
            m_writerMainBootVersion = m_writerAppVersion;
            m_writerMainBootBuild = m_writerAppBuild;
            m_writerAppVersion = g_machineInfo[kMachineTypeOrvane].bootModeAppVersion;
            m_writerAppBuild = 0;
        }
        auto report = [&](const char* what, uint32_t version, uint32_t build) {
            if (VersionBeta(version) != 0)
                WriteLogLine(FormatText("USB found %s(%d), %s Ver. %X.%02X.%02X Beta %X, Build %d\n",
                                        name.c_str(), int(type), what, VersionMajor(version),
                                        VersionMinor(version), VersionPatch(version),
                                        VersionBeta(version), int(build))
                                 .c_str());
            else
                WriteLogLine(FormatText("USB found %s(%d), %s Ver. %X.%02X.%02X, Build %d\n",
                                        name.c_str(), int(type), what, VersionMajor(version),
                                        VersionMinor(version), VersionPatch(version), int(build))
                                 .c_str());
        };
        if (m_writerInBoot == 0) {
            report("App.", m_writerAppVersion, m_writerAppBuild);
            if (m_writerMainBootVersion != 0)
                report("Main Boot", m_writerMainBootVersion, m_writerMainBootBuild);
            if (m_writerSecBootVersion != 0)
                report("Secondary Boot", m_writerSecBootVersion, m_writerSecBootBuild);
        } else {
            report("Boot.", m_writerAppVersion, 0);
        }
    }
    if (identified != 0) {
        ReportError(FormatText("Unable to communicate with your steno machine.  Error Code %d",
                               int(identified)));
        return;
    }

    // Phase D: admission.
    if (type != kMachineTypeOrvane) {
        ReportError(FormatText("Improper Machine Type.  This update is not for %s!", name.c_str()));
        return;
    }
    const MachineInfo& row = g_machineInfo[kMachineTypeOrvane];
    const uint32_t running = m_link.m_runningVersion & 0xFFFFFF00u;
    if (row.appVersion < running || row.appBuild < m_writerAppBuild) {
        const uint32_t v = m_link.m_runningVersion;
        const std::string warning = FormatText(
            "You are about to install version %X.%02X.%02X, Build %d\non a Machine that is running "
            "version %X.%02X.%02X, Build %d.\n              Are you sure you want to do this?",
            VersionMajor(row.appVersion), VersionMinor(row.appVersion), VersionPatch(row.appVersion),
            int(row.appBuild), VersionMajor(v), VersionMinor(v), VersionPatch(v),
            int(m_writerAppBuild));
        WriteLogLine(warning.c_str());
        if (MessageBox(warning, "Warning", ui::kMbYesNo | ui::kMbIconQuestion) != ui::kIdYes) return;
    }
    if (m_link.OpenWriterFile("REALTIME.000") == 0) {
        m_link.CloseWriterFile();
        ReportError(FormatText("Unable to program your writer.\nPlease close any open files on your %s",
                               name.c_str()));
        return;
    }
    CheckWriterClock();
    RunProgrammingChain();
}

void CQuonUpdate100Dlg::CleanUp() {
    HideProgress();
    if (m_updateStarted) m_link.EndProgramming(0);
    if (m_link.IsOpen()) {
        m_link.ShowText(nullptr);
        System().Sleep(kPauseAroundCloseMs);
        m_link.Close();
        System().Sleep(kPauseAroundCloseMs);
    }
    SetDlgItemText(IDC_STATUS, m_welcomeText);
    CloseUpdateLog();
}
