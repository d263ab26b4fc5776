// Image transfer commands.
#include <cstring>
#include <memory>
#include <new>

#include "firmware/image_checksum.h"
#include "firmware/image_limits.h"
#include "link/quon_usb.h"

using namespace protocol;

namespace {
constexpr uint32_t kDefaultBootBlock = 0x20000;
constexpr uint32_t kDefaultBootReserve = 2048;
constexpr uint32_t kBootLayoutBytes = 44;

// A refusal must never read as success: a writer that refuses with code 0
// gets the code of a reply the link cannot name.
uint32_t RefusalResult(uint32_t code) { return code != 0 ? code : kNoValidReply; }

bool IsBootLoaderAlias(uint32_t type, uint32_t version) {
    return (type == 4 && version >= 0x50 && version <= 0x53) ||
           (type == 5 && version >= 0x60 && version <= 0x62);
}
}  // namespace

uint32_t CQuonUsb::ProgramApplication(const uint8_t* image, uint32_t length,
                                      uint32_t machineType) {
    if (machineType != m_machineType) return kMachineMismatch;
    // Those boot loaders answer as machine type 3.
    const uint32_t typeSent = (m_inBoot != 0 && IsBootLoaderAlias(machineType, m_runningVersion))
                                  ? 3 : machineType;
    uint32_t chunk = length < kMaxPayload ? length : kMaxPayload;
    BeginRequest(kCmdProgramApplication, chunk);
    SetParam(0, typeSent);
    SetParam(2, length);
    SetParam(4, kImageMarker);
    if (chunk == 0 || image == nullptr) return 0;
    uint32_t offset = 0;
    ReportChunk(0, length);
    for (;;) {
        std::memcpy(RequestPayload(), image + offset, chunk);
        Put32(m_requestBuffer + kOffLength, chunk);
        SetParam(3, offset);
        if (!Exchange()) return kNoChunkReply;
        if (ReplyCode() == kReplyError) return RefusalResult(ReplyParam(0));
        if (ReplyCode() != kReplyBlockAccepted) return kNoValidReply;
        offset += chunk;
        ReportChunk(offset, length);
        const uint32_t left = length - offset;
        chunk = left < kMaxPayload ? left : kMaxPayload;
        if (chunk == 0) return 0;
    }
}

uint32_t CQuonUsb::TransferFromCopy(uint16_t command, const uint8_t* image, uint32_t imageLength,
                                    uint32_t transferLength, uint32_t value) {
    // Nothing may be copied past the copy's end.
    if (imageLength > transferLength || transferLength > kMaxTransferCopy) return kNoValidReply;
    if (imageLength != 0 && image == nullptr) return kNoValidReply;
    BeginRequest(command, 0);
    SetParam(0, m_machineType);
    SetParam(1, value);
    SetParam(2, transferLength);
    SetParam(3, 0);
    SetParam(4, kImageMarker);

    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[transferLength ? transferLength : 1]);
    if (!copy) return kNoValidReply;
    std::memset(copy.get(), 0xFF, transferLength);
    if (imageLength) std::memcpy(copy.get(), image, imageLength);

    ImageChecksum sum(kCrcInitial);
    sum.Update(copy.get(), transferLength);
    AnnounceCrc(sum.Value());

    const uint32_t block = m_blockSize ? (m_blockSize < kMaxPayload ? m_blockSize : kMaxPayload)
                                       : kMaxPayload;
    uint32_t offset = 0;
    uint32_t chunk = block < transferLength ? block : transferLength;
    if (chunk != 0) ReportChunk(0, transferLength);
    while (chunk != 0) {
        Put32(m_requestBuffer + kOffLength, chunk);
        SetParam(3, offset);
        std::memcpy(RequestPayload(), copy.get() + offset, chunk);
        if (!Exchange()) return kNoChunkReply;
        if (ReplyCode() == kReplyError) return RefusalResult(ReplyParam(0));
        if (ReplyCode() != kReplyBlockAccepted) return kNoValidReply;
        offset += chunk;
        ReportChunk(offset, transferLength);
        const uint32_t left = transferLength - offset;
        chunk = block < left ? block : left;
    }
    return 0;
}

uint32_t CQuonUsb::ProgramBoot(const uint8_t* image, uint32_t length, uint32_t /*machineType*/,
                               uint32_t value) {
    uint32_t transferLength = length;
    if (m_machineType == 16 || m_machineType == 17) {
        m_bootBlockSize = kDefaultBootBlock;
        m_bootReserve = kDefaultBootReserve;
        uint8_t layout[kBootLayoutBytes] = {};
        if (ReadConfig(kConfigBootLayout, layout, sizeof layout) != 0) {
            if (Get32(layout + 36) != 0) m_bootBlockSize = Get32(layout + 36);
            if (Get32(layout + 40) != 0) m_bootReserve = Get32(layout + 40);
        }
        const uint32_t b = m_bootBlockSize;
        const uint32_t x = length <= b - m_bootReserve - 8 ? length : 2 * b;
        transferLength = (x + b - 1) & (0u - b);
    }
    return TransferFromCopy(kCmdProgramBoot, image, length, transferLength, value);
}

uint32_t CQuonUsb::ProgramLoader(const uint8_t* image, uint32_t length, uint32_t /*machineType*/,
                                 uint32_t value) {
    return TransferFromCopy(kCmdProgramLoader, image, length, length, value);
}

bool CQuonUsb::EraseRegion(uint32_t address, uint32_t length) {
    BeginRequest(kCmdEraseRegion, 0);
    SetParam(0, address);
    SetParam(1, (length + (kEraseUnit - 1)) & ~(kEraseUnit - 1));
    return Exchange() && ReplyCode() == kCmdEraseRegion;
}

bool CQuonUsb::WriteMemoryBlock(const uint8_t* data, uint32_t address, uint32_t count) {
    if (count > kMaxPayload || (count != 0 && data == nullptr)) return false;
    const uint32_t length = (count + 31) & ~31u;
    BeginRequest(kCmdWriteMemoryBlock, length);
    SetParam(0, address);
    SetParam(1, count);
    std::memset(RequestPayload() + count, 0, length - count);
    if (count) std::memcpy(RequestPayload(), data, count);
    return Exchange() && ReplyCode() == kReplyBlockAccepted;
}

uint32_t CQuonUsb::SensorBoardExchange(uint32_t subCommand, const uint8_t* data, uint32_t count,
                                       uint8_t* answer, uint32_t answerCapacity,
                                       uint32_t* answerLength) {
    if (answerLength) *answerLength = 0;
    if (count > kMaxPayload || (count != 0 && data == nullptr)) return kNoValidReply;
    BeginRequest(kCmdSensorBoardExchange, count);
    SetParam(0, subCommand);
    if (count) std::memcpy(RequestPayload(), data, count);
    std::memset(m_replyBuffer + kHeaderSize, 0xFF, 512);
    if (!Exchange() || ReplyCode() != kCmdSensorBoardExchange) return kNoValidReply;
    const uint32_t length = ReplyLength();
    if (length != 0 && answer != nullptr) {
        if (length > answerCapacity) return kNoValidReply;
        std::memcpy(answer, ReplyPayload(), length);
    }
    if (answerLength) *answerLength = length;
    return 0;
}
