// Identification and control commands.
#include <cstring>

#include "link/quon_usb.h"

using namespace protocol;

namespace {
constexpr uint32_t kTypeClamp = 23;

uint32_t BlockSizeForType(uint32_t type) {
    if (type == 2 || (type >= 6 && type <= 15)) return 8192;
    return 65536;
}

const char* BusyText(uint32_t bits) {
    switch (bits & 3) {
        case 1: return "Cannot Program, File open";
        case 2: return "Cannot Program, Real-Time Active";
        case 3: return "Cannot Program, File open and Real-Time Active";
        default: return nullptr;
    }
}
}  // namespace

uint32_t CQuonUsb::Identify(uint32_t* machineType, uint32_t* version, uint32_t* inBoot,
                            uint32_t* build) {
    BeginRequest(kCmdIdentify, 0);
    SendRequest();
    m_scannerVersion = 0;
    if (ReadReply() == 0) return kNoValidReply;
    if (ReplyCode() != kCmdIdentify) return kNoValidReply;

    uint32_t type = ReplyParam(0);
    if (type > kTypeClamp) type = kTypeClamp;
    m_blockSize = BlockSizeForType(type);
    m_runningVersion = ReplyParam(1);
    m_inBoot = ReplyParam(2);
    if (m_inBoot != 0) {
        // Some boot loaders identify as a neighbouring model.
        if (type == 1 && m_runningVersion >= 0x100 && m_runningVersion <= 0x1FF)
            m_inBoot = 0;
        else if (type == 3 && m_runningVersion >= 0x50 && m_runningVersion <= 0x53)
            type = 4;
        else if (type == 3 && m_runningVersion >= 0x60 && m_runningVersion <= 0x62)
            type = 5;
    }
    m_machineType = type;
    m_runningBuild = type >= 16 ? ReplyParam(3) : 0;
    if (machineType) *machineType = m_machineType;
    if (version) *version = m_runningVersion;
    if (inBoot) *inBoot = m_inBoot;
    if (build && type >= 16) *build = m_runningBuild;

    const uint32_t length = ReplyLength();
    for (uint32_t pair = 0; pair < length / 8; ++pair) {
        const uint8_t* p = ReplyPayload() + 8 * pair;
        if (Get32(p) == 0) m_scannerVersion = Get32(p + 4);
    }
    return 0;
}

uint32_t CQuonUsb::ReadBootVersions(uint32_t* mainVersion, uint32_t* mainBuild,
                                    uint32_t* secVersion, uint32_t* secBuild) {
    BeginRequest(kCmdReadBootVersions, 0);
    if (!Exchange() || ReplyCode() != kCmdReadBootVersions) return kNoValidReply;
    if (mainVersion) *mainVersion = ReplyParam(0);
    if (mainBuild) *mainBuild = ReplyParam(1);
    if (secVersion) *secVersion = ReplyParam(2);
    if (secBuild) *secBuild = ReplyParam(3);
    return 0;
}

uint32_t CQuonUsb::ReadConfig(uint32_t item, uint8_t* buffer, uint32_t capacity) {
    BeginRequest(kCmdReadConfig, 0);
    SetParam(0, item);
    if (!Exchange() || ReplyCode() != kCmdReadConfig) return 0;
    const uint32_t length = ReplyLength();
    if (buffer) std::memcpy(buffer, ReplyPayload(), length < capacity ? length : capacity);
    return length;
}

uint32_t CQuonUsb::AccessClock(uint32_t* writerTime, uint32_t timeValue, uint32_t setFlag) {
    BeginRequest(kCmdAccessClock, 0);
    SetParam(0, timeValue);
    SetParam(1, setFlag);
    if (!Exchange() || ReplyCode() != kCmdAccessClock) return kNoValidReply;
    if (writerTime) *writerTime = ReplyParam(0);
    return 0;
}

uint32_t CQuonUsb::WriteSetting(uint32_t settingId, uint32_t length, const uint8_t* data) {
    if (length > kMaxPayload || (length != 0 && data == nullptr)) return kNoValidReply;
    BeginRequest(kCmdWriteSetting, length);
    SetParam(0, settingId);
    if (length) std::memcpy(RequestPayload(), data, length);
    if (!Exchange() || ReplyCode() != kCmdWriteSetting) return kNoValidReply;
    return 0;
}

bool CQuonUsb::ShowText(const char* text) {
    if (text == nullptr || text[0] == '\0') {
        BeginRequest(kCmdShowText, 0);
    } else {
        size_t n = std::strlen(text);
        if (n > kMaxPayload - 1) n = kMaxPayload - 1;
        const uint32_t length = uint32_t((n + 1 + 31) & ~size_t(31));
        BeginRequest(kCmdShowText, length);
        SetParam(0, uint32_t(n));
        std::memset(RequestPayload(), 0, length);
        std::memcpy(RequestPayload(), text, n);
    }
    return Exchange() && ReplyCode() == kCmdShowText;
}

uint32_t CQuonUsb::OpenWriterFile(const char* name) {
    size_t n = name ? std::strlen(name) : 0;
    if (n > kMaxPayload) n = kMaxPayload;
    const uint32_t length = uint32_t((n + 7) & ~size_t(7));
    BeginRequest(kCmdOpenWriterFile, length);
    std::memset(RequestPayload(), 0, length);
    if (n) std::memcpy(RequestPayload(), name, n);
    if (!Exchange()) return kNoValidReply;
    if (ReplyCode() == kCmdOpenWriterFile) return 0;
    if (ReplyCode() == kReplyError) return ReplyParam(0);
    return kNoValidReply;
}

bool CQuonUsb::CloseWriterFile() {
    BeginRequest(kCmdCloseWriterFile, 0);
    return Exchange() && ReplyCode() == kCmdCloseWriterFile;
}

bool CQuonUsb::EndProgramming(uint32_t value) {
    BeginRequest(kCmdEndProgramming, 0);
    SetParam(0, value);
    if (!Exchange()) return false;
    if (ReplyCode() == kCmdEndProgramming) return true;
    if (ReplyCode() == kReplyError && ReplyParam(0) == kWriterBusy) {
        const char* text = BusyText(ReplyParam(1));
        if (text && m_window) m_window->AppMessageBox(text, ui::kMbOk | ui::kMbIconExclamation);
    }
    return false;
}

void CQuonUsb::AnnounceCrc(uint32_t checksum) {
    // A transfer's header may already stand in the buffer; it must survive.
    uint8_t saved[kHeaderSize];
    std::memcpy(saved, m_requestBuffer, kHeaderSize);
    BeginRequest(kCmdAnnounceCrc, 0);
    SetParam(0, checksum);
    Exchange();
    std::memcpy(m_requestBuffer, saved, kHeaderSize);
}

uint32_t CQuonUsb::QueryRegion(uint32_t regionId, uint32_t* size, bool* answered) {
    if (size) *size = 0;
    if (answered) *answered = false;
    BeginRequest(kCmdQueryRegion, 0);
    SetParam(0, regionId);
    if (!Exchange() || ReplyCode() != kCmdQueryRegion) return 0;
    if (size) *size = ReplyParam(1);
    if (answered) *answered = true;
    return ReplyParam(0);
}

bool CQuonUsb::ReadMemoryBlock(uint32_t address, uint32_t count, uint8_t* destination,
                               uint32_t param4) {
    BeginRequest(kCmdReadMemoryBlock, 0);
    SetParam(0, address);
    SetParam(1, count);
    SetParam(4, param4);
    if (!Exchange() || ReplyCode() != kCmdReadMemoryBlock) return false;
    const uint32_t length = ReplyLength();
    if (destination) std::memcpy(destination, ReplyPayload(), length < count ? length : count);
    return ReplyParam(0) == address && length == count;
}
