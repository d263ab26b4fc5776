#include "firmware/machine_info.h"

#include <cstdio>

#include "orvane_release.h"  // the carried images' versions, set in release.cmake

namespace {
// Rows 12 to 15 show the same names as rows 7 to 10.
const char kPeltoStudent[] = "Arvo Pelto Student";
const char kPeltoProfessional[] = "Arvo Pelto Professional";
const char kPeltoStudentGj[] = "Arvo Pelto Student GJ";
const char kPeltoProfessionalGj[] = "Arvo Pelto Professional GJ";
const char kUnknownWriter[] = "Unknown Writer";

constexpr MachineInfo Row(uint32_t type, const char* name) {
    return MachineInfo{type, name, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}
constexpr MachineInfo Row(uint32_t type, const char* name, PackedVersion bootVersion,
                          uint32_t bootBuild, PackedVersion appVersion, uint32_t appBuild) {
    return MachineInfo{type, name, bootVersion, bootBuild, appVersion, appBuild, 0, 0, 0, 0,
                       0,    0,    0,           0,         0,          0,        0, 0, 0, 0};
}
}  // namespace

const MachineInfo g_machineInfo[kMachineTypeCount] = {
    Row(0, "Not Real"),
    Row(1, "Arvo Quon"),
    Row(2, "Arvo Pelto"),
    Row(3, "Arvo Quon G2"),
    Row(4, "Arvo Quon A3"),
    Row(5, "Kelvara Pravo"),
    Row(6, "Kelvara Ambrel"),
    Row(7, kPeltoStudent),
    Row(8, kPeltoProfessional),
    Row(9, kPeltoStudentGj),
    Row(10, kPeltoProfessionalGj),
    Row(11, "Kelvara Ambrel Full"),
    Row(12, kPeltoStudent),
    Row(13, kPeltoProfessional),
    Row(14, kPeltoStudentGj),
    Row(15, kPeltoProfessionalGj),
    Row(16, "Zephine"),
    Row(17, "Lumo"),
    Row(18, "Ortel Diag"),
    Row(19, "Brevon/Brevon II", 0x01000000, 23578, 0x02000000, 23579),
    Row(20, "Brevon Captioner/Student", 0x01000000, 23578, 0x02000000, 23579),
    Row(21, "Sensor Board (reserved)"),
    MachineInfo{
        22, "Orvane",
        ORVANE_RELEASE_BOOT_VERSION, ORVANE_RELEASE_BOOT_BUILD,  // boot code
        ORVANE_RELEASE_APP_VERSION, ORVANE_RELEASE_APP_BUILD,    // application code
        0,                                                       // bootModeAppVersion
        0,                                                       // spare1
        174, ORVANE_RELEASE_SCANNER_VERSION,                     // scanner resource and version
        172, 173,                                                // fonts, Font2
        171,                                                     // spare resource, loaded by no step
        0, 0,
        169, 170,  // application, boot code
        189,       // X-Loader
        0, 0,      // no WiFi images in this release
    },
};

const MachineInfo g_releaseModels[] = {
    MachineInfo{22, "Orvane", ORVANE_RELEASE_BOOT_VERSION, ORVANE_RELEASE_BOOT_BUILD,
                ORVANE_RELEASE_APP_VERSION, ORVANE_RELEASE_APP_BUILD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    MachineInfo{0, "", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

const char* MachineName(uint32_t machineType) {
    if (machineType < kMachineTypeCount) return g_machineInfo[machineType].name;
    return kUnknownWriter;
}

std::string FormatVersion(PackedVersion v) {
    char text[32];
    std::snprintf(text, sizeof text, "%X.%02X.%02X", VersionMajor(v), VersionMinor(v),
                  VersionPatch(v));
    return text;
}

std::string FormatVersionWithBeta(PackedVersion v) {
    std::string text = FormatVersion(v);
    if (VersionBeta(v) != 0) {
        char beta[16];
        std::snprintf(beta, sizeof beta, " Beta %X", VersionBeta(v));
        text += beta;
    }
    return text;
}
