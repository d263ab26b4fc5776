// A model of the writer, faithful to every command the program sends:
// identity and running code, boot loaders, memory regions, the three code
// transfers behind their announced checksum, clock, settings, files, the
// display, the sensor board, and the restart after "end programming".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

// Region layout of the simulated writer (address, size).
struct RegionLayout {
    uint32_t id;
    uint32_t address;
    uint32_t size;
};
constexpr uint32_t kRegionBoot = 1;  // not queried by the program; holds the boot code
extern const RegionLayout kRegionLayouts[];
extern const size_t kRegionLayoutCount;

constexpr uint32_t kSensorBase = 0x80000000;
constexpr uint32_t kSensorWindow = 0x80000;

// Error codes the writer puts in param[0] of a refusal.
constexpr uint32_t kErrUnknownCommand = 1;
constexpr uint32_t kErrNoSuchFile = 2;
constexpr uint32_t kErrBusy = 3;
constexpr uint32_t kErrBadAddress = 4;
constexpr uint32_t kErrOutOfOrder = 9;
constexpr uint32_t kErrChecksum = 10;
constexpr uint32_t kErrWrongMachine = 11;
constexpr uint32_t kErrNoChecksum = 12;
constexpr uint32_t kErrNotErased = 13;

enum class FaultKind {
    kNoReply,      // the request is swallowed
    kShortReply,   // fewer than 32 bytes come back
    kWrongCode,    // a reply with a code the program does not expect
    kRefuse,       // reply 6 with `code`
    kCorruptRead,  // a memory read comes back with one byte flipped
    kBusy,         // reply 6 with error 3 and `code` as the busy bits
    kUnplug,       // the writer vanishes and stays away, or `code` ms
    kSlowReply,    // the reply comes after `delayMs`
    kTruncate,     // the reply's data is cut to `code` bytes
    kLost,         // carried out, but the reply never comes
    kCrash,        // drops the connection, restarts, and comes back in its
                   // boot loader with its application erased
};

struct Fault {
    FaultKind kind = FaultKind::kNoReply;
    uint32_t atRequest = 0;   // fires at the Nth request (1-based); 0 = any
    uint16_t command = 0;     // only for this command; 0 = any
    uint32_t occurrence = 0;  // the Kth request of `command` (1-based); 0 = every
    uint32_t code = 0;
    uint32_t delayMs = 0;
    int times = 1;            // how often it fires; -1 = always
};

struct RequestRecord {
    uint64_t timeMs;
    uint32_t sequence;
    uint16_t command;
    uint32_t params[5];
    uint32_t payloadSize;
    uint32_t payloadChecksum;  // the image checksum of the payload
    std::string text;          // ShowText's text, OpenWriterFile's name
};

struct Reply {
    std::optional<Bytes> bytes;  // nothing: no reply
    uint32_t delayMs = 0;
};

class WriterModel {
public:
    // `nowMs` is the simulated writer's time base; `pcLocalSeconds` the PC's
    // local wall clock, which the writer's clock is an offset from.
    WriterModel(std::function<uint64_t()> nowMs, std::function<uint32_t()> pcLocalSeconds);

    // --- state, set before use ---
    uint32_t machineType = 22;
    bool inBoot = false;
    uint32_t appVersion = 0, appBuild = 0;
    uint32_t mainBootVersion = 0, mainBootBuild = 0;
    uint32_t secBootVersion = 0, secBootBuild = 0;
    uint32_t scannerVersion = 0;
    bool reportScannerVersion = true;
    int64_t clockOffsetSeconds = 0;
    bool jobFileExists = false;   // REALTIME.000 can be opened
    bool realtimeActive = false;
    uint32_t bootLayoutBlock = 0;    // configuration item 4, types 16 and 17
    uint32_t bootLayoutReserve = 0;
    bool hasWifi = false;
    std::vector<uint32_t> absentRegions;  // queried with size 0
    uint32_t restartDelayMs = 3000;
    bool stayAwayAfterRestart = false;
    uint32_t displayNackProbes = 0;  // empty display commands refused after a restart
    std::map<uint32_t, uint32_t> settings;
    std::string display;
    std::vector<Fault> faults;
    std::vector<RequestRecord> log;
    uint32_t restarts = 0;
    // Called for every request and display change (the simulator's trace).
    std::function<void(const RequestRecord&)> onRequest;
    std::function<void(const std::string&)> onDisplay;
    std::function<void(const std::string&)> onEvent;

    // Memory: regions by id, and the sensor board's window.
    Bytes& Region(uint32_t id);
    const RegionLayout* Layout(uint32_t id) const;
    Bytes sensorMemory;
    bool sensorProgramming = false;

    // Restarts into what the writer holds: the application in region 2
    // when it carries a valid descriptor, else the boot loader.
    void RestartNow();
    // Reads the running code's identity from what the regions hold.
    void RefreshIdentityFromMemory();

    // --- the wire ---
    // A reply's sequence field holds the number of the request it answers
    // (1 for the first this writer received).
    Reply Handle(const Bytes& request);
    // Present: not restarting and not unplugged. Drives the restart timer.
    bool Present();
    // A connection opened before the last restart or unplug is dead.
    uint64_t Generation() const { return m_generation; }
    bool Unplugged() const { return m_unplugged; }
    // The writer vanishes and stays away.
    void Unplug() {
        m_unplugged = true;
        ++m_generation;
    }
    // Plugged back in, holding whatever the unplug left it with.
    void Replug() {
        m_unplugged = false;
        m_replugAtMs = 0;
    }

    // Requests with this command in the log.
    size_t Count(uint16_t command) const;
    std::vector<RequestRecord> Requests(uint16_t command) const;

private:
    Reply Answer(const Bytes& request);
    Reply Dispatch(const Bytes& request, uint16_t command, const uint32_t* p, const uint8_t* payload,
                   uint32_t length);
    Reply Echo(uint16_t command, std::initializer_list<uint32_t> params = {},
               const Bytes& payload = {});
    Reply Refuse(uint32_t code, uint32_t extra = 0);
    Reply Transfer(uint16_t command, const uint32_t* p, const uint8_t* payload, uint32_t length);
    Reply SensorBoard(const uint32_t* p, const uint8_t* payload, uint32_t length);
    // The region holding [address, address + size), or null.
    Bytes* RegionAt(uint32_t address, uint32_t size, uint32_t& offset);
    std::optional<Fault> TakeFault(uint16_t command);
    void Event(const std::string& text);

    std::function<uint64_t()> m_nowMs;
    std::function<uint32_t()> m_pcLocalSeconds;
    std::map<uint32_t, Bytes> m_regions;
    uint32_t m_requestCount = 0;
    std::map<uint16_t, uint32_t> m_commandCounts;
    std::optional<uint32_t> m_announcedCrc;
    struct TransferState {
        uint16_t command = 0;
        uint32_t total = 0;
        Bytes data;
    };
    std::optional<TransferState> m_transfer;
    bool m_fileOpen = false;
    bool m_restarting = false;
    uint64_t m_backAtMs = 0;
    bool m_unplugged = false;
    uint64_t m_replugAtMs = 0;  // 0: away until Replug
    uint64_t m_generation = 1;
    uint32_t m_nacksLeft = 0;
};

}  // namespace sim
