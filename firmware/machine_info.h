// The writer models the program recognises, and the models this release serves.
#pragma once

#include <cstdint>
#include <string>

using PackedVersion = uint32_t;  // major 31-24, minor 23-16, patch 15-8, beta 7-0

struct MachineInfo {
    uint32_t typeId;
    const char* name;
    PackedVersion bootVersion;
    uint32_t bootBuild;
    PackedVersion appVersion;
    uint32_t appBuild;
    PackedVersion bootModeAppVersion;
    uint32_t spare1;
    uint32_t scannerResource;
    uint32_t scannerVersion;
    uint32_t fontResource;
    uint32_t font2Resource;
    uint32_t spareResource;
    uint32_t spare2;
    uint32_t spare3;
    uint32_t appResource;
    uint32_t bootResource;
    uint32_t xloaderResource;
    uint32_t wifiAppResource;
    uint32_t wifiNvsResource;
};

constexpr uint32_t kMachineTypeCount = 23;   // rows 0..22
constexpr uint32_t kMachineTypeOrvane = 22;  // the one model this release serves
constexpr uint32_t kMachineTypeUnknown = 23; // identification clamps larger types here

extern const MachineInfo g_machineInfo[kMachineTypeCount];
extern const MachineInfo g_releaseModels[];

// Name of a model by machine type; types without a row get "Unknown Writer".
const char* MachineName(uint32_t machineType);

inline uint32_t VersionMajor(PackedVersion v) { return v >> 24; }
inline uint32_t VersionMinor(PackedVersion v) { return (v >> 16) & 0xFF; }
inline uint32_t VersionPatch(PackedVersion v) { return (v >> 8) & 0xFF; }
inline uint32_t VersionBeta(PackedVersion v) { return v & 0xFF; }

// "%X.%02X.%02X"
std::string FormatVersion(PackedVersion v);
// "%X.%02X.%02X" followed by " Beta %X" when the beta byte is not 0.
std::string FormatVersionWithBeta(PackedVersion v);
