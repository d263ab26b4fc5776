// The writer link: one request packet written, one reply packet read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "link/protocol.h"
#include "platform/device.h"
#include "platform/system.h"
#include "platform/window.h"

// The device interface class the writer's driver publishes.
extern const platform::Guid WRITER_INTERFACE_GUID;

// Link results.
constexpr uint32_t kMachineMismatch = 11;
constexpr uint32_t kNoChunkReply = 101;
constexpr uint32_t kNoValidReply = 111;

class CQuonUsb {
public:
    // `window` shows the one box the link owns (end of programming refused).
    CQuonUsb(platform::DeviceProvider& devices, platform::System& system,
             platform::WindowBackend* window);
    virtual ~CQuonUsb();
    CQuonUsb(const CQuonUsb&) = delete;
    CQuonUsb& operator=(const CQuonUsb&) = delete;

    // Discovery and connection.
    uint32_t Connect();
    uint32_t Close();
    bool IsOpen() const { return m_handle != nullptr; }

    // Identification and control.
    uint32_t Identify(uint32_t* machineType, uint32_t* version, uint32_t* inBoot, uint32_t* build);
    uint32_t ReadBootVersions(uint32_t* mainVersion, uint32_t* mainBuild, uint32_t* secVersion,
                              uint32_t* secBuild);
    uint32_t ReadConfig(uint32_t item, uint8_t* buffer, uint32_t capacity);
    uint32_t AccessClock(uint32_t* writerTime, uint32_t timeValue, uint32_t setFlag);
    uint32_t WriteSetting(uint32_t settingId, uint32_t length, const uint8_t* data);
    bool ShowText(const char* text);
    uint32_t OpenWriterFile(const char* name);
    bool CloseWriterFile();
    bool EndProgramming(uint32_t value);
    void AnnounceCrc(uint32_t checksum);
    // `answered`, when given, tells a region of size 0 from no valid reply.
    uint32_t QueryRegion(uint32_t regionId, uint32_t* size, bool* answered = nullptr);
    bool ReadMemoryBlock(uint32_t address, uint32_t count, uint8_t* destination, uint32_t param4);

    // Image transfers.
    uint32_t ProgramApplication(const uint8_t* image, uint32_t length, uint32_t machineType);
    uint32_t ProgramBoot(const uint8_t* image, uint32_t length, uint32_t machineType, uint32_t value);
    uint32_t ProgramLoader(const uint8_t* image, uint32_t length, uint32_t machineType,
                           uint32_t value);
    bool EraseRegion(uint32_t address, uint32_t length);
    bool WriteMemoryBlock(const uint8_t* data, uint32_t address, uint32_t count);
    // The answer is copied only when it fits `answerCapacity`; a longer one gives 111.
    uint32_t SensorBoardExchange(uint32_t subCommand, const uint8_t* data, uint32_t count,
                                 uint8_t* answer, uint32_t answerCapacity, uint32_t* answerLength);

    // Told after each chunk a code transfer got accepted, and with 0 before
    // the first: bytes done of the transfer's total.
    std::function<void(uint32_t done, uint32_t total)> m_onChunk;

    std::unique_ptr<platform::Device> m_handle;  // null while closed
    uint32_t m_sequence;
    uint8_t m_replyBuffer[protocol::kPacketBufferSize];
    uint8_t m_requestBuffer[protocol::kPacketBufferSize];
    uint32_t m_machineType = 0;
    uint32_t m_runningVersion = 0;
    uint32_t m_inBoot = 0;
    uint32_t m_runningBuild = 0;
    uint32_t m_blockSize = 0;
    uint32_t m_bootBlockSize = 0;
    uint32_t m_bootReserve = 0;
    uint32_t m_scannerVersion = 0;

private:
    uint32_t SendRequest();
    uint32_t ReadReply();
    // Starts a request: command, length, all five params zero.
    void BeginRequest(uint16_t command, uint32_t length);
    void SetParam(int index, uint32_t value);
    uint8_t* RequestPayload() { return m_requestBuffer + protocol::kHeaderSize; }
    const uint8_t* ReplyPayload() const { return m_replyBuffer + protocol::kHeaderSize; }
    uint16_t ReplyCode() const { return protocol::Get16(m_replyBuffer + protocol::kOffCommand); }
    uint32_t ReplyLength() const { return protocol::Get32(m_replyBuffer + protocol::kOffLength); }
    uint32_t ReplyParam(int index) const {
        return protocol::Get32(m_replyBuffer + protocol::kOffParam + 4 * index);
    }
    // Send, then read; false when no reply came.
    bool Exchange() {
        SendRequest();
        return ReadReply() != 0;
    }
    void ReportChunk(uint32_t done, uint32_t total) {
        if (m_onChunk) m_onChunk(done, total);
    }
    uint32_t TransferFromCopy(uint16_t command, const uint8_t* image, uint32_t imageLength,
                              uint32_t transferLength, uint32_t value);

    platform::DeviceProvider& m_devices;
    platform::System& m_system;
    platform::WindowBackend* m_window;
};
