// Identification and control commands: request bytes and every reply branch.
#include <cstring>

#include "tests/support/link_fixture.h"

using namespace testsupport;
using namespace protocol;

class Identification : public LinkFixture {
protected:
    uint32_t Identify(uint32_t type, uint32_t version, uint32_t inBoot, uint32_t build,
                      const Bytes& pairs = {}) {
        Reply(ReplyPacket(kCmdIdentify, {type, version, inBoot, build}, pairs));
        return link.Identify(&outType, &outVersion, &outInBoot, &outBuild);
    }
    uint32_t outType = 99, outVersion = 99, outInBoot = 99, outBuild = 99;
};

TEST_F(Identification, StoresTheWriterAndClampsLargeTypes) {
    Open();
    EXPECT_EQ(Identify(22, 0x01000000, 0, 35680), 0u);
    EXPECT_EQ(link.m_machineType, 22u);
    EXPECT_EQ(link.m_blockSize, 65536u);
    EXPECT_EQ(outBuild, 35680u);
    EXPECT_EQ(link.m_runningBuild, 35680u);
    EXPECT_EQ(Identify(40, 1, 0, 5), 0u);
    EXPECT_EQ(link.m_machineType, 23u);
    EXPECT_EQ(link.m_blockSize, 65536u);
    EXPECT_EQ(LengthOf(Sent(0)), 0u);
}

TEST_F(Identification, BlockSizeByType) {
    Open();
    for (uint32_t type = 0; type <= 23; ++type) {
        Identify(type, 0, 0, 0);
        const bool small = type == 2 || (type >= 6 && type <= 15);
        EXPECT_EQ(link.m_blockSize, small ? 8192u : 65536u) << type;
    }
}

TEST_F(Identification, BootLoaderAdjustments) {
    Open();
    Identify(3, 0x52, 1, 0);
    EXPECT_EQ(link.m_machineType, 4u);
    Identify(3, 0x61, 1, 0);
    EXPECT_EQ(outType, 5u);
    Identify(3, 0x54, 1, 0);
    EXPECT_EQ(link.m_machineType, 3u);
    Identify(3, 0x63, 1, 0);
    EXPECT_EQ(link.m_machineType, 3u);
    Identify(3, 0x52, 0, 0);
    EXPECT_EQ(link.m_machineType, 3u);
    Identify(1, 0x1FF, 1, 0);
    EXPECT_EQ(outInBoot, 0u);
    Identify(1, 0x200, 1, 0);
    EXPECT_EQ(link.m_inBoot, 1u);
}

TEST_F(Identification, BuildOnlyForTypesSixteenAndUp) {
    Open();
    outBuild = 1234;
    Identify(15, 0, 0, 777);
    EXPECT_EQ(outBuild, 1234u);
    EXPECT_EQ(link.m_runningBuild, 0u);
    Identify(16, 0, 0, 777);
    EXPECT_EQ(outBuild, 777u);
}

TEST_F(Identification, KeyValuePairs) {
    Open();
    Identify(22, 0, 0, 0, U32s({3, 9, 0, 5}));
    EXPECT_EQ(link.m_scannerVersion, 5u);
    Bytes twenty = U32s({1, 2, 0, 14760, 0});
    Identify(22, 0, 0, 0, twenty);
    EXPECT_EQ(link.m_scannerVersion, 14760u);
    Identify(22, 0, 0, 0, Bytes(7, 0));
    EXPECT_EQ(link.m_scannerVersion, 0u);
    Identify(22, 0, 0, 0, U32s({3, 9, 0, 5, 0, 7}));
    EXPECT_EQ(link.m_scannerVersion, 7u);
}

TEST_F(Identification, NoReplyOrAnotherCodeStoresNothing) {
    Open();
    Identify(22, 0x01000000, 0, 35680, U32s({0, 9}));
    Reply(std::nullopt);
    EXPECT_EQ(link.Identify(&outType, &outVersion, &outInBoot, &outBuild), kNoValidReply);
    EXPECT_EQ(link.m_scannerVersion, 0u);  // cleared once the request is out
    Reply(ReplyPacket(6, {5, 40}));
    EXPECT_EQ(link.Identify(&outType, nullptr, nullptr, nullptr), kNoValidReply);
    EXPECT_EQ(link.m_machineType, 22u);
    EXPECT_EQ(outType, 22u);
}

class ControlCommands : public LinkFixture {};

TEST_F(ControlCommands, ShowTextPadsToThirtyTwoWithZeros) {
    Open();
    link.ShowText(std::string(31, 'a').c_str());
    EXPECT_EQ(LengthOf(LastSent()), 32u);
    EXPECT_EQ(ParamOf(LastSent(), 0), 31u);
    EXPECT_EQ(LastSent().back(), 0);
    link.ShowText(std::string(32, 'b').c_str());
    EXPECT_EQ(LengthOf(LastSent()), 64u);
    link.ShowText("hi");
    const Bytes payload = PayloadOf(LastSent());
    EXPECT_EQ(payload.size(), 32u);
    EXPECT_EQ(std::count(payload.begin() + 2, payload.end(), 0), 30);
    EXPECT_TRUE(link.ShowText(nullptr));
    EXPECT_EQ(LengthOf(LastSent()), 0u);
    Reply(ReplyPacket(6));
    EXPECT_FALSE(link.ShowText(nullptr));
}

TEST_F(ControlCommands, OpenWriterFilePadsNamesToEight) {
    Open();
    EXPECT_EQ(link.OpenWriterFile("REALTIME.000"), 0u);
    Bytes payload = PayloadOf(LastSent());
    ASSERT_EQ(payload.size(), 16u);
    EXPECT_EQ(std::string(payload.begin(), payload.begin() + 12), "REALTIME.000");
    EXPECT_EQ(std::count(payload.begin() + 12, payload.end(), 0), 4);
    link.OpenWriterFile("ABCDEFGH");
    EXPECT_EQ(LengthOf(LastSent()), 8u);
    Reply(ReplyPacket(kReplyError, {2}));
    EXPECT_EQ(link.OpenWriterFile("REALTIME.000"), 2u);
    Reply(ReplyPacket(99));
    EXPECT_EQ(link.OpenWriterFile("REALTIME.000"), kNoValidReply);
    Reply(std::nullopt);
    EXPECT_EQ(link.OpenWriterFile("REALTIME.000"), kNoValidReply);
}

TEST_F(ControlCommands, BootVersionsClockSettingAndConfig) {
    Open();
    uint32_t a = 0, b = 0, c = 0, d = 0;
    Reply(ReplyPacket(kCmdReadBootVersions, {0x01000000, 35390, 0x01000100, 35391}));
    EXPECT_EQ(link.ReadBootVersions(&a, &b, &c, &d), 0u);
    EXPECT_EQ(d, 35391u);
    Reply(ReplyPacket(kReplyError, {3}));
    a = 7;
    EXPECT_EQ(link.ReadBootVersions(&a, &b, &c, &d), kNoValidReply);
    EXPECT_EQ(a, 7u);

    uint32_t t = 0;
    Reply(ReplyPacket(kCmdAccessClock, {123456}));
    EXPECT_EQ(link.AccessClock(&t, 99, 1), 0u);
    EXPECT_EQ(t, 123456u);
    EXPECT_EQ(ParamOf(LastSent(), 0), 99u);
    EXPECT_EQ(ParamOf(LastSent(), 1), 1u);

    const uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(link.WriteSetting(kSettingBeta, 4, one), 0u);
    EXPECT_EQ(PayloadOf(LastSent()), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(link.WriteSetting(1, 4, nullptr), kNoValidReply);

    uint8_t config[44] = {};
    Reply(ReplyPacket(kCmdReadConfig, {}, Bytes(100, 0xAB)));
    EXPECT_EQ(link.ReadConfig(4, config, sizeof config), 100u);
    EXPECT_EQ(config[43], 0xAB);
    Reply(ReplyPacket(kReplyError));
    EXPECT_EQ(link.ReadConfig(4, config, sizeof config), 0u);
}

TEST_F(ControlCommands, EndProgrammingShowsTheBusyTextsInTheApplicationBox) {
    Open();
    window.appName = "Orvane Update";
    EXPECT_TRUE(link.EndProgramming(0));
    Reply(ReplyPacket(kReplyError, {3, 6}));  // only the low two bits count
    EXPECT_FALSE(link.EndProgramming(0));
    Reply(ReplyPacket(kReplyError, {3, 3}));
    link.EndProgramming(0);
    Reply(ReplyPacket(kReplyError, {3, 4}));  // bits 0: nothing to say
    link.EndProgramming(0);
    Reply(ReplyPacket(kReplyError, {4, 1}));  // another error: no box
    link.EndProgramming(0);
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_TRUE(window.boxes[0].applicationLevel);
    EXPECT_EQ(window.boxes[0].caption, "Orvane Update");
    EXPECT_EQ(window.boxes[0].text, "Cannot Program, Real-Time Active");
    EXPECT_EQ(window.boxes[0].style, ui::kMbOk | ui::kMbIconExclamation);
    EXPECT_EQ(window.boxes[1].text, "Cannot Program, File open and Real-Time Active");
}

TEST_F(ControlCommands, RegionQueryAndMemoryRead) {
    Open();
    uint32_t size = 99;
    Reply(ReplyPacket(kCmdQueryRegion, {0x01000000, 0x200000}));
    EXPECT_EQ(link.QueryRegion(kRegionFonts, &size), 0x01000000u);
    EXPECT_EQ(size, 0x200000u);
    Reply(std::nullopt);
    EXPECT_EQ(link.QueryRegion(kRegionFonts, &size), 0u);
    EXPECT_EQ(size, 0u);
    Open();

    uint8_t buffer[8] = {};
    Reply(ReplyPacket(kCmdReadMemoryBlock, {0x1000, 8}, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(link.ReadMemoryBlock(0x1000, 8, buffer, 4));
    EXPECT_EQ(ParamOf(LastSent(), 4), 4u);
    EXPECT_EQ(buffer[7], 8);
    Reply(ReplyPacket(kCmdReadMemoryBlock, {0x2000, 8}, Bytes(8, 9)));  // another address
    EXPECT_FALSE(link.ReadMemoryBlock(0x1000, 8, buffer, 4));
    EXPECT_EQ(buffer[0], 9);  // the data still arrive
    Reply(ReplyPacket(kCmdReadMemoryBlock, {0x1000, 4}, Bytes(4, 3)));  // shorter
    EXPECT_FALSE(link.ReadMemoryBlock(0x1000, 8, buffer, 4));
    EXPECT_EQ(buffer[4], 9);
}

TEST_F(ControlCommands, AnnounceCrcLeavesAPreparedHeaderUnchanged) {
    Open();
    // Prepare a transfer header by hand, as the transfer commands do.
    uint8_t before[32];
    link.m_requestBuffer[6] = 0x50;
    Put32(link.m_requestBuffer + kOffLength, 4096);
    for (int i = 0; i < 5; ++i) Put32(link.m_requestBuffer + kOffParam + 4 * i, 100 + i);
    std::memcpy(before, link.m_requestBuffer, 32);
    Reply(std::nullopt);  // the reply is not examined
    link.AnnounceCrc(0xDEADBEEF);
    EXPECT_EQ(CommandOf(LastSent()), kCmdAnnounceCrc);
    EXPECT_EQ(ParamOf(LastSent(), 0), 0xDEADBEEFu);
    EXPECT_EQ(std::memcmp(before, link.m_requestBuffer, 32), 0);
}
