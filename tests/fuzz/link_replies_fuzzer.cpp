// Property: arbitrary replies to every command never make the link read or
// write outside its buffers or the caller's, and each command returns only
// results from its documented set.
#include <cstdlib>
#include <deque>
#include <optional>
#include <set>

#include "link/quon_usb.h"
#include "platform/testing/callback_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "tests/fuzz/fuzz_helpers.h"

namespace {

// Splits the input into replies: a u16 size (0xFFFF = no reply), then the bytes.
std::deque<std::optional<platform::testing::Bytes>> Replies(const uint8_t* data, size_t size) {
    std::deque<std::optional<platform::testing::Bytes>> out;
    while (size >= 2) {
        const uint16_t n = uint16_t(data[0] | data[1] << 8);
        data += 2;
        size -= 2;
        if (n == 0xFFFF) {
            out.push_back(std::nullopt);
            continue;
        }
        const size_t take = n < size ? n : size;
        out.emplace_back(platform::testing::Bytes(data, data + take));
        data += take;
        size -= take;
    }
    return out;
}

void Expect(bool ok) {
    if (!ok) std::abort();
}

bool IsLinkCode(uint32_t r, bool writerCodes) { return r == 0 || r == kNoValidReply || writerCodes; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto replies = Replies(data, size);
    platform::testing::ScriptedEndpoint endpoint;
    endpoint.reply = [&](const platform::testing::Bytes&) -> std::optional<platform::testing::Bytes> {
        if (replies.empty()) return std::nullopt;
        auto r = replies.front();
        replies.pop_front();
        return r;
    };
    platform::testing::CallbackDeviceProvider devices(endpoint);
    platform::testing::VirtualSystem system;
    platform::testing::ScriptedWindow window;
    auto link = std::make_unique<CQuonUsb>(devices, system, &window);
    link->Connect();

    uint32_t a = 0, b = 0, c = 0, d = 0;
    Expect(IsLinkCode(link->Identify(&a, &b, &c, &d), false));
    Expect(link->m_machineType <= 23);
    Expect(link->m_blockSize == 8192 || link->m_blockSize == 65536 || link->m_blockSize == 0);
    Expect(IsLinkCode(link->ReadBootVersions(&a, &b, &c, &d), false));
    auto config = std::make_unique<uint8_t[]>(44);
    link->ReadConfig(4, config.get(), 44);
    Expect(IsLinkCode(link->AccessClock(&a, 0, 0), false));
    const uint8_t one[4] = {1, 0, 0, 0};
    Expect(IsLinkCode(link->WriteSetting(1, 4, one), false));
    link->ShowText("Updating X-Loader");
    link->OpenWriterFile("REALTIME.000");
    link->CloseWriterFile();
    link->EndProgramming(0);
    link->AnnounceCrc(1);
    uint32_t regionSize = 0;
    link->QueryRegion(10, &regionSize);
    auto block = std::make_unique<uint8_t[]>(300);
    link->ReadMemoryBlock(0, 300, block.get(), 4);

    auto image = std::make_unique<uint8_t[]>(70000);
    for (uint32_t i = 0; i < 70000; ++i) image[i] = uint8_t(i);
    const uint32_t app = link->ProgramApplication(image.get(), 70000, link->m_machineType);
    (void)app;  // any writer code may come back
    link->ProgramBoot(image.get(), 70000, link->m_machineType, 0);
    link->ProgramLoader(image.get(), 300, link->m_machineType, 0);
    link->EraseRegion(0, 5);
    link->WriteMemoryBlock(image.get(), 0, 100);
    auto answer = std::make_unique<uint8_t[]>(1024);
    uint32_t answerLength = 0;
    const uint32_t s = link->SensorBoardExchange(25, image.get(), 8, answer.get(), 1024, &answerLength);
    Expect(s == 0 || s == kNoValidReply);
    Expect(answerLength <= 65536);
    if (s == 0) Expect(answerLength <= 1024 || answerLength == 0);
    return 0;
}
