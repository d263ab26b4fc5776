// The writer's packet format and command set, shared by the link and the
// simulated writer.
#pragma once

#include <cstdint>

namespace protocol {

constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kMaxPayload = 65536;
constexpr uint32_t kPacketBufferSize = kHeaderSize + kMaxPayload;  // 65,568
constexpr uint16_t kMagic = 0x5851;  // "QX" on the wire

// Header offsets; every integer is little-endian and the fields are packed.
constexpr uint32_t kOffMagic = 0;
constexpr uint32_t kOffSequence = 2;
constexpr uint32_t kOffCommand = 6;
constexpr uint32_t kOffLength = 8;
constexpr uint32_t kOffParam = 12;  // five u32 params

enum Command : uint16_t {
    kCmdIdentify = 0x0001,
    kCmdProgramApplication = 0x0002,
    kCmdShowText = 0x0007,
    kCmdOpenWriterFile = 0x0011,
    kCmdCloseWriterFile = 0x0012,
    kCmdAnnounceCrc = 0x0025,
    kCmdReadMemoryBlock = 0x0040,
    kCmdProgramBoot = 0x0050,
    kCmdEndProgramming = 0x0051,
    kCmdProgramLoader = 0x0060,
    kCmdEraseRegion = 0x1009,
    kCmdWriteMemoryBlock = 0x100A,
    kCmdQueryRegion = 0x100B,
    kCmdAccessClock = 0xE005,
    kCmdReadBootVersions = 0xE019,
    kCmdReadConfig = 0xE01C,
    kCmdSensorBoardExchange = 0xE023,
    kCmdWriteSetting = 0xE026,
};

constexpr uint16_t kReplyBlockAccepted = 5;
constexpr uint16_t kReplyError = 6;
constexpr uint32_t kWriterBusy = 3;
constexpr uint32_t kImageMarker = 0xC00DC00D;

constexpr uint32_t kRegionXLoader = 0;
constexpr uint32_t kRegionApplication = 2;
constexpr uint32_t kRegionWifiApp = 8;
constexpr uint32_t kRegionWifiNvs = 9;
constexpr uint32_t kRegionFonts = 10;
constexpr uint32_t kRegionFont2 = 11;

constexpr uint32_t kConfigBootLayout = 4;
constexpr uint32_t kSettingBeta = 1;
constexpr uint32_t kEraseUnit = 0x20000;

// Sensor-board sub-commands carried by kCmdSensorBoardExchange.
constexpr uint32_t kScannerSubWrite = 21;
constexpr uint32_t kScannerSubControl = 24;
constexpr uint32_t kScannerSubChecksum = 25;

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}

}  // namespace protocol

// The 32 bytes that open every request and reply, as a packed record.
#pragma pack(push, 1)
struct PacketHeader {
    uint16_t magic;
    uint32_t sequence;
    uint16_t command;
    uint32_t length;
    uint32_t param[5];
};
#pragma pack(pop)
static_assert(sizeof(PacketHeader) == protocol::kHeaderSize, "the header is 32 packed bytes");

// Byte-wise conversions, so the wire stays little-endian on any host.
inline PacketHeader LoadHeader(const uint8_t* p) {
    PacketHeader h;
    h.magic = protocol::Get16(p + protocol::kOffMagic);
    h.sequence = protocol::Get32(p + protocol::kOffSequence);
    h.command = protocol::Get16(p + protocol::kOffCommand);
    h.length = protocol::Get32(p + protocol::kOffLength);
    for (int i = 0; i < 5; ++i) h.param[i] = protocol::Get32(p + protocol::kOffParam + 4 * i);
    return h;
}
inline void StoreHeader(uint8_t* p, const PacketHeader& h) {
    protocol::Put16(p + protocol::kOffMagic, h.magic);
    protocol::Put32(p + protocol::kOffSequence, h.sequence);
    protocol::Put16(p + protocol::kOffCommand, h.command);
    protocol::Put32(p + protocol::kOffLength, h.length);
    for (int i = 0; i < 5; ++i) protocol::Put32(p + protocol::kOffParam + 4 * i, h.param[i]);
}
