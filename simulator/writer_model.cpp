#include "simulator/writer_model.h"

#include <algorithm>
#include <cstring>

#include "firmware/image_checksum.h"
#include "link/protocol.h"
#include "simulator/presenter.h"
#include "tools/release_images.h"

using namespace protocol;

namespace sim {

const RegionLayout kRegionLayouts[] = {
    {kRegionXLoader, 0x00000000, 0x00020000},      {kRegionBoot, 0x00080000, 0x00080000},
    {kRegionApplication, 0x00100000, 0x00400000},  {kRegionWifiApp, 0x00800000, 0x00100000},
    {kRegionWifiNvs, 0x00900000, 0x00020000},      {kRegionFonts, 0x01000000, 0x00200000},
    {kRegionFont2, 0x01200000, 0x00100000},
};
const size_t kRegionLayoutCount = sizeof kRegionLayouts / sizeof kRegionLayouts[0];

namespace {
constexpr uint32_t kMaxTextShown = 256;

Bytes MakeHeader(uint16_t code, const uint32_t (&params)[5], uint32_t length) {
    Bytes b(kHeaderSize + length, 0);
    Put16(&b[kOffMagic], kMagic);
    Put16(&b[kOffCommand], code);
    Put32(&b[kOffLength], length);
    for (int i = 0; i < 5; ++i) Put32(&b[kOffParam + 4 * i], params[i]);
    return b;
}

std::string TextFrom(const uint8_t* p, uint32_t length, uint32_t limit) {
    std::string s;
    for (uint32_t i = 0; i < length && i < limit && p[i] != 0; ++i) s += char(p[i]);
    return s;
}
}  // namespace

WriterModel::WriterModel(std::function<uint64_t()> nowMs, std::function<uint32_t()> pcLocalSeconds)
    : sensorMemory(kSensorWindow, 0xFF),
      m_nowMs(std::move(nowMs)),
      m_pcLocalSeconds(std::move(pcLocalSeconds)) {
    for (const RegionLayout& r : kRegionLayouts) m_regions[r.id] = Bytes(r.size, 0xFF);
}

const RegionLayout* WriterModel::Layout(uint32_t id) const {
    for (const RegionLayout& r : kRegionLayouts)
        if (r.id == id) return &r;
    return nullptr;
}

const char* CommandName(uint16_t command) {
    switch (command) {
        case kCmdIdentify: return "Identify";
        case kCmdProgramApplication: return "ProgramApplication";
        case kCmdShowText: return "ShowText";
        case kCmdOpenWriterFile: return "OpenWriterFile";
        case kCmdCloseWriterFile: return "CloseWriterFile";
        case kCmdAnnounceCrc: return "AnnounceCrc";
        case kCmdReadMemoryBlock: return "ReadMemoryBlock";
        case kCmdProgramBoot: return "ProgramBoot";
        case kCmdEndProgramming: return "EndProgramming";
        case kCmdProgramLoader: return "ProgramLoader";
        case kCmdEraseRegion: return "EraseRegion";
        case kCmdWriteMemoryBlock: return "WriteMemoryBlock";
        case kCmdQueryRegion: return "QueryRegion";
        case kCmdAccessClock: return "AccessClock";
        case kCmdReadBootVersions: return "ReadBootVersions";
        case kCmdReadConfig: return "ReadConfig";
        case kCmdSensorBoardExchange: return "SensorBoardExchange";
        case kCmdWriteSetting: return "WriteSetting";
        default: return "unknown";
    }
}

Bytes& WriterModel::Region(uint32_t id) { return m_regions.at(id); }

Bytes* WriterModel::RegionAt(uint32_t address, uint32_t size, uint32_t& offset) {
    for (const RegionLayout& r : kRegionLayouts) {
        if ((r.id == kRegionWifiApp || r.id == kRegionWifiNvs) && !hasWifi) continue;
        if (address >= r.address && uint64_t(address) + size <= uint64_t(r.address) + r.size) {
            offset = address - r.address;
            return &m_regions[r.id];
        }
    }
    return nullptr;
}

void WriterModel::Event(const std::string& text) {
    if (onEvent) onEvent(text);
}

void WriterModel::RefreshIdentityFromMemory() {
    release_images::Descriptor d{};
    const Bytes& boot = m_regions[kRegionBoot];
    if (release_images::ReadDescriptor(boot.data(), boot.size(), d) &&
        d.kind == release_images::Kind::kBoot) {
        mainBootVersion = d.version;
        mainBootBuild = d.build;
    }
    const Bytes& app = m_regions[kRegionApplication];
    if (release_images::ReadDescriptor(app.data(), app.size(), d) &&
        d.kind == release_images::Kind::kApplication) {
        inBoot = false;
        appVersion = d.version;
        appBuild = d.build;
    } else {
        inBoot = true;  // nothing to run: the boot loader answers
    }
    if (release_images::ReadDescriptor(sensorMemory.data() + 0x2000, kSensorWindow - 0x2000, d) &&
        d.kind == release_images::Kind::kScanner)
        scannerVersion = d.version;
}

void WriterModel::RestartNow() {
    m_transfer.reset();
    m_announcedCrc.reset();
    m_fileOpen = false;
    sensorProgramming = false;
    display.clear();
    RefreshIdentityFromMemory();
    // With its beta switch on, the application starts its beta software.
    if (!inBoot && settings[kSettingBeta] == 1 && (appVersion & 0xFF) == 0) appVersion |= 1;
    m_nacksLeft = displayNackProbes;
    ++restarts;
}

bool WriterModel::Present() {
    if (m_unplugged && m_replugAtMs != 0 && m_nowMs() >= m_replugAtMs) {
        m_unplugged = false;
        m_replugAtMs = 0;
        Event("plugged back in");
    }
    if (m_unplugged) return false;
    if (m_restarting && m_nowMs() >= m_backAtMs && !stayAwayAfterRestart) {
        m_restarting = false;
        RestartNow();
        Event(inBoot ? "back, running its boot loader" : "back, running its application");
    }
    return !m_restarting;
}

size_t WriterModel::Count(uint16_t command) const {
    return size_t(std::count_if(log.begin(), log.end(),
                                [&](const RequestRecord& r) { return r.command == command; }));
}

std::vector<RequestRecord> WriterModel::Requests(uint16_t command) const {
    std::vector<RequestRecord> out;
    for (const RequestRecord& r : log)
        if (r.command == command) out.push_back(r);
    return out;
}

std::optional<Fault> WriterModel::TakeFault(uint16_t command) {
    for (Fault& f : faults) {
        if (f.times == 0) continue;
        if (f.atRequest != 0 && f.atRequest != m_requestCount) continue;
        if (f.command != 0 && f.command != command) continue;
        if (f.command != 0 && f.occurrence != 0 && m_commandCounts[command] != f.occurrence) continue;
        if (f.times > 0) --f.times;
        return f;
    }
    return std::nullopt;
}

Reply WriterModel::Echo(uint16_t command, std::initializer_list<uint32_t> params, const Bytes& payload) {
    uint32_t p[5] = {0, 0, 0, 0, 0};
    int i = 0;
    for (uint32_t v : params) p[i++] = v;
    Bytes b = MakeHeader(command, p, uint32_t(payload.size()));
    if (!payload.empty()) std::memcpy(&b[kHeaderSize], payload.data(), payload.size());
    return Reply{std::move(b)};
}

Reply WriterModel::Refuse(uint32_t code, uint32_t extra) {
    return Echo(kReplyError, {code, extra});
}

Reply WriterModel::Handle(const Bytes& request) {
    Reply reply = Answer(request);
    // The reply names the request it answers by the writer's own count, so
    // a test can tell a late reply from the answer to the request after it.
    if (reply.bytes && reply.bytes->size() >= kHeaderSize) Put32(&(*reply.bytes)[kOffSequence], m_requestCount);
    return reply;
}

Reply WriterModel::Answer(const Bytes& request) {
    if (m_unplugged || m_restarting) return Reply{};
    if (request.size() < kHeaderSize) return Reply{};  // not a packet: nothing to answer
    const uint16_t command = Get16(&request[kOffCommand]);
    uint32_t p[5];
    for (int i = 0; i < 5; ++i) p[i] = Get32(&request[kOffParam + 4 * i]);
    uint32_t length = Get32(&request[kOffLength]);
    const uint8_t* payload = request.data() + kHeaderSize;
    const uint32_t available = uint32_t(request.size() - kHeaderSize);
    if (length > available) length = available;  // a short packet carries what it carries

    ++m_requestCount;
    ++m_commandCounts[command];
    RequestRecord rec{m_nowMs(), Get32(&request[kOffSequence]), command, {p[0], p[1], p[2], p[3], p[4]},
                      length, ComputeImageChecksum(payload, length), ""};
    if (command == kCmdShowText) rec.text = TextFrom(payload, length, std::min(p[0], kMaxTextShown));
    if (command == kCmdOpenWriterFile) rec.text = TextFrom(payload, length, 64);
    log.push_back(rec);
    if (onRequest) onRequest(rec);

    const std::optional<Fault> fault = TakeFault(command);
    if (fault) {
        switch (fault->kind) {
            case FaultKind::kNoReply:
                Event("fault: no reply");
                return Reply{};
            case FaultKind::kShortReply:
                Event("fault: short reply");
                return Reply{Bytes{0x51, 0x58, 0, 0, 0, 0, uint8_t(command), uint8_t(command >> 8)}};
            case FaultKind::kWrongCode:
                Event("fault: wrong reply code");
                return Echo(uint16_t(command ^ 0x4000));
            case FaultKind::kRefuse:
                Event("fault: refused with " + std::to_string(fault->code));
                return Refuse(fault->code);
            case FaultKind::kBusy:
                Event("fault: busy");
                return Refuse(kErrBusy, fault->code);
            case FaultKind::kUnplug:
                Event(fault->code ? "fault: unplugged for " + std::to_string(fault->code) + " ms" : "fault: unplugged");
                m_unplugged = true;
                m_replugAtMs = fault->code ? m_nowMs() + fault->code : 0;
                ++m_generation;
                return Reply{};
            case FaultKind::kLost: {
                Dispatch(request, command, p, payload, length);
                Event("fault: reply lost");
                return Reply{};
            }
            case FaultKind::kCrash: {
                Event("fault: crashed; restarting into its boot loader");
                Bytes& app = m_regions[kRegionApplication];
                std::fill(app.begin(), app.end(), 0xFF);
                m_restarting = true;
                m_backAtMs = m_nowMs() + restartDelayMs;
                ++m_generation;
                return Reply{};
            }
            case FaultKind::kSlowReply: {
                Reply r = Dispatch(request, command, p, payload, length);
                r.delayMs = fault->delayMs;
                return r;
            }
            case FaultKind::kTruncate: {
                Reply r = Dispatch(request, command, p, payload, length);
                if (r.bytes && r.bytes->size() > kHeaderSize + fault->code) {
                    r.bytes->resize(kHeaderSize + fault->code);
                    Put32(&(*r.bytes)[kOffLength], fault->code);
                    Event("fault: reply cut to " + std::to_string(fault->code) + " bytes");
                }
                return r;
            }
            case FaultKind::kCorruptRead: {
                Reply r = Dispatch(request, command, p, payload, length);
                if (r.bytes && r.bytes->size() > kHeaderSize) {
                    (*r.bytes)[kHeaderSize + (r.bytes->size() - kHeaderSize) / 2] ^= 0x5A;
                    Event("fault: corrupted read-back");
                }
                return r;
            }
        }
    }
    return Dispatch(request, command, p, payload, length);
}

Reply WriterModel::Dispatch(const Bytes&, uint16_t command, const uint32_t* p,
                            const uint8_t* payload, uint32_t length) {
    switch (command) {
        case kCmdIdentify: {
            Bytes pairs(16);
            Put32(&pairs[0], 7);  // serial number: a key the program skips
            Put32(&pairs[4], 220417);
            Put32(&pairs[8], 0);
            Put32(&pairs[12], scannerVersion);
            if (!reportScannerVersion) pairs.resize(8);
            return Echo(kCmdIdentify, {machineType, inBoot ? mainBootVersion : appVersion,
                                       inBoot ? 1u : 0u, inBoot ? mainBootBuild : appBuild, 0},
                        pairs);
        }
        case kCmdShowText: {
            const std::string text = TextFrom(payload, length, std::min(p[0], kMaxTextShown));
            if (text.empty() && m_nacksLeft > 0) {
                --m_nacksLeft;  // still starting up: the display is not ready
                return Refuse(kErrBusy);
            }
            display = text;
            if (onDisplay) onDisplay(display);
            return Echo(kCmdShowText);
        }
        case kCmdOpenWriterFile: {
            const std::string name = TextFrom(payload, length, 64);
            if (name == "REALTIME.000" && jobFileExists) {
                m_fileOpen = true;
                return Echo(kCmdOpenWriterFile);
            }
            return Refuse(kErrNoSuchFile);
        }
        case kCmdCloseWriterFile:
            m_fileOpen = false;
            return Echo(kCmdCloseWriterFile);
        case kCmdAnnounceCrc:
            m_announcedCrc = p[0];
            return Echo(kCmdAnnounceCrc);
        case kCmdReadMemoryBlock: {
            uint32_t offset = 0;
            if (p[1] > kMaxPayload) return Refuse(kErrBadAddress);
            Bytes* region = RegionAt(p[0], p[1], offset);
            if (!region) return Refuse(kErrBadAddress);
            Bytes data(region->begin() + offset, region->begin() + offset + p[1]);
            return Echo(kCmdReadMemoryBlock, {p[0], p[1]}, data);
        }
        case kCmdProgramApplication:
        case kCmdProgramBoot:
        case kCmdProgramLoader:
            return Transfer(command, p, payload, length);
        case kCmdEndProgramming: {
            const uint32_t busy = (m_fileOpen ? 1u : 0u) | (realtimeActive ? 2u : 0u);
            if (busy) return Refuse(kErrBusy, busy);
            m_restarting = true;
            m_backAtMs = m_nowMs() + restartDelayMs;
            ++m_generation;
            Event("restarting");
            return Echo(kCmdEndProgramming);
        }
        case kCmdEraseRegion: {
            if (p[1] % kEraseUnit != 0) return Refuse(kErrBadAddress);
            if (p[1] == 0) return Echo(kCmdEraseRegion, {p[0], 0});
            uint32_t offset = 0;
            Bytes* region = RegionAt(p[0], p[1], offset);
            if (!region || offset % kEraseUnit != 0) return Refuse(kErrBadAddress);
            std::fill(region->begin() + offset, region->begin() + offset + p[1], 0xFF);
            return Echo(kCmdEraseRegion, {p[0], p[1]});
        }
        case kCmdWriteMemoryBlock: {
            const uint32_t count = p[1];
            if (count > length) return Refuse(kErrBadAddress);
            uint32_t offset = 0;
            Bytes* region = RegionAt(p[0], count, offset);
            if (!region) return Refuse(kErrBadAddress);
            // Flash: a write can only clear bits, so unerased cells keep old ones.
            for (uint32_t i = 0; i < count; ++i) (*region)[offset + i] &= payload[i];
            return Echo(kReplyBlockAccepted);
        }
        case kCmdQueryRegion: {
            const RegionLayout* r = Layout(p[0]);
            const bool wifi = p[0] == kRegionWifiApp || p[0] == kRegionWifiNvs;
            const bool absent = std::find(absentRegions.begin(), absentRegions.end(), p[0]) != absentRegions.end();
            if (!r || r->id == kRegionBoot || (wifi && !hasWifi) || absent) return Echo(kCmdQueryRegion, {0, 0});
            return Echo(kCmdQueryRegion, {r->address, r->size});
        }
        case kCmdAccessClock: {
            const uint32_t pc = m_pcLocalSeconds();
            if (p[1] == 1) clockOffsetSeconds = int64_t(p[0]) - int64_t(pc);
            return Echo(kCmdAccessClock, {uint32_t(int64_t(pc) + clockOffsetSeconds)});
        }
        case kCmdReadBootVersions:
            return Echo(kCmdReadBootVersions, {mainBootVersion, mainBootBuild, secBootVersion, secBootBuild});
        case kCmdReadConfig: {
            if (p[0] != kConfigBootLayout || (machineType != 16 && machineType != 17))
                return Refuse(kErrUnknownCommand);
            Bytes item(44, 0);
            Put32(&item[36], bootLayoutBlock);
            Put32(&item[40], bootLayoutReserve);
            return Echo(kCmdReadConfig, {p[0]}, item);
        }
        case kCmdSensorBoardExchange:
            return SensorBoard(p, payload, length);
        case kCmdWriteSetting: {
            uint32_t v = 0;
            for (uint32_t i = 0; i < length && i < 4; ++i) v |= uint32_t(payload[i]) << (8 * i);
            settings[p[0]] = v;
            return Echo(kCmdWriteSetting);
        }
        default:
            return Refuse(kErrUnknownCommand);
    }
}

Reply WriterModel::Transfer(uint16_t command, const uint32_t* p, const uint8_t* payload,
                            uint32_t length) {
    const uint32_t total = p[2];
    const uint32_t offset = p[3];
    if (p[4] != kImageMarker) return Refuse(kErrBadAddress);
    if (m_fileOpen || realtimeActive) return Refuse(kErrBusy);
    if (command == kCmdProgramApplication) {
        const bool alias = inBoot && p[0] == 3 && (machineType == 4 || machineType == 5);
        if (p[0] != machineType && !alias) return Refuse(kErrWrongMachine);
    }
    const uint32_t regionId = command == kCmdProgramApplication ? kRegionApplication
                              : command == kCmdProgramBoot      ? kRegionBoot
                                                                : kRegionXLoader;
    if (total > Layout(regionId)->size) return Refuse(kErrBadAddress);
    if (offset == 0) {
        m_transfer = TransferState{command, total, {}};
        m_transfer->data.reserve(total);
    }
    if (!m_transfer || m_transfer->command != command || m_transfer->total != total ||
        offset != m_transfer->data.size() || uint64_t(offset) + length > total) {
        m_transfer.reset();
        return Refuse(kErrOutOfOrder);
    }
    m_transfer->data.insert(m_transfer->data.end(), payload, payload + length);
    if (m_transfer->data.size() < total) return Echo(kReplyBlockAccepted);

    // The last chunk: the whole image must match the checksum announced before it.
    const Bytes image = std::move(m_transfer->data);
    m_transfer.reset();
    if (!m_announcedCrc) return Refuse(kErrNoChecksum);
    const uint32_t announced = *m_announcedCrc;
    m_announcedCrc.reset();
    if (ComputeImageChecksum(image.data(), image.size()) != announced) {
        Event("transfer refused: checksum mismatch");
        return Refuse(kErrChecksum);
    }
    Bytes& region = m_regions[regionId];
    std::fill(region.begin(), region.end(), 0xFF);
    std::copy(image.begin(), image.end(), region.begin());
    Event(command == kCmdProgramApplication ? "application programmed"
          : command == kCmdProgramBoot      ? "boot code programmed"
                                            : "X-Loader programmed");
    return Echo(kReplyBlockAccepted);
}

Reply WriterModel::SensorBoard(const uint32_t* p, const uint8_t* payload, uint32_t length) {
    switch (p[0]) {
        case kScannerSubControl: {
            if (length < 1) return Refuse(kErrBadAddress);
            if (payload[0] == 0) {
                sensorProgramming = true;
                return Echo(kCmdSensorBoardExchange, {}, Bytes{0});
            }
            // Finish: the board restarts into what its memory holds.
            sensorProgramming = false;
            release_images::Descriptor d{};
            if (release_images::ReadDescriptor(sensorMemory.data() + 0x2000, kSensorWindow - 0x2000, d) &&
                d.kind == release_images::Kind::kScanner)
                scannerVersion = d.version;
            return Echo(kCmdSensorBoardExchange);
        }
        case kScannerSubWrite: {
            if (!sensorProgramming || length < 5) return Refuse(kErrBusy);
            const uint32_t address = Get32(payload);
            const uint32_t count = length - 4;
            if (address < kSensorBase || uint64_t(address - kSensorBase) + count > kSensorWindow)
                return Refuse(kErrBadAddress);
            std::memcpy(&sensorMemory[address - kSensorBase], payload + 4, count);
            return Echo(kCmdSensorBoardExchange);
        }
        case kScannerSubChecksum: {
            if (length < 8) return Refuse(kErrBadAddress);
            const uint32_t start = Get32(payload), size = Get32(payload + 4);
            if (start < kSensorBase || uint64_t(start - kSensorBase) + size > kSensorWindow)
                return Refuse(kErrBadAddress);
            const uint32_t sum = ComputeImageChecksum(&sensorMemory[start - kSensorBase], size);
            return Echo(kCmdSensorBoardExchange, {},
                        Bytes{uint8_t(sum >> 24), uint8_t(sum >> 16), uint8_t(sum >> 8), uint8_t(sum)});
        }
        default:
            return Refuse(kErrUnknownCommand);
    }
}

}  // namespace sim
