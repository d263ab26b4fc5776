// The win32 device backend's transport against a message-mode named pipe
// served by a writer stand-in on another thread; and discovery with no
// writer present.
#include "platform/win32/windows_headers.h"

#include <cstring>
#include <string>
#include <thread>

#include "link/quon_usb.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_check.h"

namespace {

const char kPipe[] = "\\\\.\\pipe\\orvane-writer-test";

class NoWait : public platform::win32::Win32System {
public:
    void Sleep(uint32_t ms) override { slept += ms; }
    uint32_t slept = 0;
};

class PipeProvider : public platform::DeviceProvider {
public:
    uint32_t timeoutMs = 1500;
    std::unique_ptr<platform::Device> OpenDeviceInterface(const platform::Guid&, uint32_t, uint32_t& error) override {
        return platform::win32::OpenDevicePath(kPipe, error, timeoutMs);
    }
};

// Answers each request with an echo carrying the request's sequence in
// param[0]; says nothing to command 0x7777; a reply of 65,568 bytes to 0x40.
void Serve(HANDLE pipe) {
    ConnectNamedPipe(pipe, nullptr);
    std::string buffer(70000, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer.data(), DWORD(buffer.size()), &got, nullptr) || got < 32) break;
        uint8_t* r = reinterpret_cast<uint8_t*>(buffer.data());
        const uint16_t command = protocol::Get16(r + protocol::kOffCommand);
        if (command == 0x7777) continue;
        const uint32_t sequence = protocol::Get32(r + protocol::kOffSequence);
        uint32_t length = command == protocol::kCmdReadMemoryBlock ? 65536 : 0;
        std::string reply(32 + length, '\x5A');
        uint8_t* p = reinterpret_cast<uint8_t*>(reply.data());
        std::memset(p, 0, 32);
        protocol::Put16(p + protocol::kOffCommand, command);
        protocol::Put32(p + protocol::kOffLength, length);
        protocol::Put32(p + protocol::kOffParam, command == protocol::kCmdReadMemoryBlock ? 0x100 : sequence);
        protocol::Put32(p + protocol::kOffParam + 4, 65536);
        DWORD put = 0;
        WriteFile(pipe, reply.data(), DWORD(reply.size()), &put, nullptr);
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
}

}  // namespace

int main() {
    HANDLE pipe = CreateNamedPipeA(kPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                   70000, 70000, 0, nullptr);
    CHECK(pipe != INVALID_HANDLE_VALUE);
    std::thread server(Serve, pipe);

    NoWait system;
    PipeProvider pipes;
    {
        CQuonUsb link(pipes, system, nullptr);
        CHECK(link.Connect() == 0);
        CHECK(link.IsOpen());
        CHECK(link.ShowText("hello"));
        CHECK(link.ShowText(nullptr));
        CHECK(link.m_sequence == 2);
        uint8_t block[65536];
        CHECK(link.ReadMemoryBlock(0x100, 65536, block, 4));
        CHECK(block[65535] == 0x5A);
        // The driver's control request fails on a pipe, harmlessly.
        link.m_handle->Control(1);
        CHECK(link.ShowText("still there"));
        // A request nobody answers: the bounded read gives up.
        const uint32_t sequenceBefore = link.m_sequence;
        const DWORD before = GetTickCount();
        uint8_t silent[32] = {'Q', 'X'};
        protocol::Put16(silent + protocol::kOffCommand, 0x7777);
        CHECK(link.m_handle->Write(silent, 32) == 32);
        uint8_t reply[64];
        CHECK(link.m_handle->Read(reply, sizeof reply) == 0);
        CHECK(GetTickCount() - before >= 1000);
        CHECK(link.m_sequence == sequenceBefore);
        CHECK(link.ShowText(nullptr));  // the link still works afterwards
        CHECK(link.Close() == 0);
        CHECK(system.slept == 2000);
    }
    server.join();

    // No writer of the interface class on this system.
    platform::win32::SetupApiDeviceProvider setupApi;
    CQuonUsb none(setupApi, system, nullptr);
    CHECK(none.Connect() != 0);
    CHECK(!none.IsOpen());
    return CheckSummary("link_pipe_check");
}
