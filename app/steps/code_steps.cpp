// Application and boot code: sent whole with their transfer commands, and
// the erase of the application region that stands in for the application.
#include "app/message_format.h"
#include "app/update_dlg.h"
#include "firmware/image_checksum.h"
#include "resources/resource.h"

namespace {
// Machine types whose boot-code sending is announced in the status box.
bool AnnouncesBootCode(uint32_t type) { return type >= 18 && type <= 20; }

// What both transfers tell the user when the writer refuses.
std::string ProgrammingFailureText(uint32_t rc, const char* name) {
    if (rc == protocol::kWriterBusy)
        return FormatText("Unable to program your writer.\nPlease close any open files on your %s", name);
    return FormatText("Unable to program your writer.  Error Code %d", int(rc));
}
}  // namespace

int CQuonUpdate100Dlg::UpdateApplicationCode() {
    if (m_appCodeSent) return kStepDone;
    const MachineInfo& row = WriterRow();
    if (row.appResource == 0) return kStepDone;

    const uint32_t v = row.appVersion;
    if (VersionBeta(v) != 0) {
        WriteLogLine(FormatText("Sending software version %X.%02X.%02X Beta %X, Build %d to %s...",
                                VersionMajor(v), VersionMinor(v), VersionPatch(v), VersionBeta(v),
                                int(row.appBuild), row.name)
                         .c_str());
        SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Build %d Beta %X to %s...", int(row.appBuild),
                                              VersionBeta(v), row.name));
    } else {
        WriteLogLine(FormatText("Sending software version %X.%02X.%02X Build %d to %s...",
                                VersionMajor(v), VersionMinor(v), VersionPatch(v), int(row.appBuild),
                                row.name)
                         .c_str());
        SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Build %d to %s...", int(row.appBuild), row.name));
    }

    DecodedImage image;
    if (const int rc = LoadStepImage(row.appResource, kApplicationDecodeSlack, image)) return rc;
    m_link.AnnounceCrc(ComputeImageChecksum(image.bytes.get(), image.length));
    m_link.ShowText("Programming Application Code");
    const uint32_t rc = m_link.ProgramApplication(image.bytes.get(), image.length, m_link.m_machineType);
    return FinishCodeTransfer(rc, m_appCodeSent);
}

int CQuonUpdate100Dlg::UpdateBootCode() {
    if (m_bootCodeSent) return kStepDone;
    const uint32_t type = m_link.m_machineType;
    const MachineInfo& row = WriterRow();
    if (row.bootResource == 0) return kStepDone;

    if (m_writerInBoot == 0) {
        if (m_link.ReadBootVersions(&m_writerMainBootVersion, &m_writerMainBootBuild,
                                    &m_writerSecBootVersion, &m_writerSecBootBuild) != 0) {
            m_writerMainBootVersion = m_writerMainBootBuild = 0;
            m_writerSecBootVersion = m_writerSecBootBuild = 0;
        }
    } else {
        // The boot loader answered identification: its values are the boot code's.
        m_writerMainBootVersion = m_writerAppVersion;
        m_writerMainBootBuild = m_writerAppBuild;
    }
    // Each on its own: a higher version with a lower build still gets the carried code.
    if (!(m_writerMainBootVersion < row.bootVersion || m_writerMainBootBuild < row.bootBuild))
        return kStepDone;

    const uint32_t v = row.bootVersion;
    if (AnnouncesBootCode(type)) {
        const std::string text =
            VersionBeta(v) != 0
                ? FormatText("Sending boot code version %X.%02X.%02X Beta %X, Build %d to %s...",
                             VersionMajor(v), VersionMinor(v), VersionPatch(v), VersionBeta(v),
                             int(row.bootBuild), row.name)
                : FormatText("Sending boot code version %X.%02X.%02X Build %d to %s...", VersionMajor(v),
                             VersionMinor(v), VersionPatch(v), int(row.bootBuild), row.name);
        WriteLogLine(text.c_str());
        SetDlgItemText(IDC_STATUS, FormatText("\n\n%s", text.c_str()));
    } else {
        SetDlgItemText(IDC_STATUS, "");
    }

    DecodedImage image;
    if (const int rc = LoadStepImage(row.bootResource, kDecodeSlack, image)) return rc;
    m_link.ShowText("Programming Boot Code");
    // The transfer announces its own checksum.
    const uint32_t rc = m_link.ProgramBoot(image.bytes.get(), image.length, type, 0);
    return FinishCodeTransfer(rc, m_bootCodeSent);
}

// Both transfers end alike: the flag on success, else the writer's display,
// the log and a box.
int CQuonUpdate100Dlg::FinishCodeTransfer(uint32_t rc, uint8_t& sentFlag) {
    HideProgress();
    if (rc == 0) {
        sentFlag = 1;
        return kStepDone;
    }
    m_link.ShowText("Failure in updating machine.");
    ReportError(ProgrammingFailureText(rc, ModelName().c_str()));
    return kStepFailed;
}

int CQuonUpdate100Dlg::EraseApplicationRegion() {
    uint32_t size = 0;
    const uint32_t address = m_link.QueryRegion(protocol::kRegionApplication, &size);
    if (m_link.EraseRegion(address, size)) return kStepDone;
    const char text[] = "Failure to erase application";
    m_link.ShowText(text);
    ReportError(text);
    return kStepFailed;
}
