// Image transfers: chunking, boot layouts, the padded copy and its checksum.
#include "firmware/image_checksum.h"
#include "tests/support/link_fixture.h"

using namespace testsupport;
using namespace protocol;

class Transfers : public LinkFixture {
protected:
    void Identified(uint32_t type, uint32_t version = 0x01000000, uint32_t inBoot = 0) {
        Open();
        Reply(ReplyPacket(kCmdIdentify, {type, version, inBoot, 0}));
        link.Identify(nullptr, nullptr, nullptr, nullptr);
        endpoint.requests.clear();
        echoByDefault = false;
        endpoint.reply = [this](const Bytes& request) -> std::optional<Bytes> {
            if (!replies.empty()) {
                auto r = replies.front();
                replies.pop_front();
                return r;
            }
            const uint16_t c = CommandOf(request);
            if (c == kCmdProgramApplication || c == kCmdProgramBoot || c == kCmdProgramLoader ||
                c == kCmdWriteMemoryBlock)
                return ReplyPacket(kReplyBlockAccepted);
            return ReplyPacket(c);
        };
    }
    std::vector<Bytes> SentWith(uint16_t command) const {
        std::vector<Bytes> out;
        for (const Bytes& r : endpoint.requests)
            if (CommandOf(r) == command) out.push_back(r);
        return out;
    }
};

TEST_F(Transfers, ApplicationChunksOf65536) {
    Identified(22);
    Bytes image(65537);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 13);
    EXPECT_EQ(link.ProgramApplication(image.data(), 65536, 22), 0u);
    EXPECT_EQ(SentWith(kCmdProgramApplication).size(), 1u);
    endpoint.requests.clear();
    EXPECT_EQ(link.ProgramApplication(image.data(), 65537, 22), 0u);
    const auto chunks = SentWith(kCmdProgramApplication);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(LengthOf(chunks[0]), 65536u);
    EXPECT_EQ(LengthOf(chunks[1]), 1u);
    EXPECT_EQ(ParamOf(chunks[1], 3), 65536u);
    EXPECT_EQ(ParamOf(chunks[0], 2), 65537u);
    EXPECT_EQ(ParamOf(chunks[1], 2), 65537u);
    EXPECT_EQ(ParamOf(chunks[1], 4), kImageMarker);
    EXPECT_EQ(PayloadOf(chunks[1])[0], image[65536]);
}

TEST_F(Transfers, ApplicationTypeChecksAndBootLoaderAlias) {
    Identified(22);
    uint8_t byte = 1;
    EXPECT_EQ(link.ProgramApplication(&byte, 1, 21), kMachineMismatch);
    EXPECT_EQ(link.ProgramApplication(&byte, 0, 22), 0u);
    EXPECT_TRUE(endpoint.requests.empty());
    Identified(3, 0x51, 1);  // reported as type 4 from its boot loader
    link.ProgramApplication(&byte, 1, 4);
    EXPECT_EQ(ParamOf(LastSent(), 0), 3u);
    Identified(4, 0x51, 0);
    link.ProgramApplication(&byte, 1, 4);
    EXPECT_EQ(ParamOf(LastSent(), 0), 4u);
}

TEST_F(Transfers, ChunkRepliesRefusalNoReplyAndOtherCodes) {
    Identified(22);
    Bytes image(200000, 7);
    Reply(ReplyPacket(kReplyBlockAccepted));
    Reply(ReplyPacket(kReplyError, {3}));
    EXPECT_EQ(link.ProgramApplication(image.data(), uint32_t(image.size()), 22), 3u);
    EXPECT_EQ(SentWith(kCmdProgramApplication).size(), 2u);
    Reply(std::nullopt);
    EXPECT_EQ(link.ProgramApplication(image.data(), uint32_t(image.size()), 22), kNoChunkReply);
    EXPECT_FALSE(link.IsOpen());
    Open();
    Reply(ReplyPacket(kCmdProgramApplication));  // an echo is no acceptance
    EXPECT_EQ(link.ProgramApplication(image.data(), uint32_t(image.size()), 22), kNoValidReply);
    Reply(ReplyPacket(kCmdAnnounceCrc));
    Reply(ReplyPacket(kReplyBlockAccepted));
    Reply(ReplyPacket(kReplyError, {3}));
    EXPECT_EQ(link.ProgramBoot(image.data(), uint32_t(image.size()), 22, 0), 3u);
}

TEST_F(Transfers, BootForTypeTwentyTwoGoesAtItsOwnLength) {
    Identified(22);
    Bytes image(100000, 0x42);
    EXPECT_EQ(link.ProgramBoot(image.data(), uint32_t(image.size()), 22, 0), 0u);
    EXPECT_TRUE(SentWith(kCmdReadConfig).empty());
    const auto crc = SentWith(kCmdAnnounceCrc);
    ASSERT_EQ(crc.size(), 1u);
    EXPECT_EQ(ParamOf(crc[0], 0), ComputeImageChecksum(image.data(), image.size()));
    const auto chunks = SentWith(kCmdProgramBoot);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(ParamOf(chunks[0], 2), 100000u);
    EXPECT_EQ(LengthOf(chunks[1]), 100000u - 65536u);
}

TEST_F(Transfers, BootForTypeSixteenPadsToTheBlockLayout) {
    Identified(16);
    Bytes image(100000, 0x42);
    EXPECT_EQ(link.ProgramBoot(image.data(), uint32_t(image.size()), 16, 9), 0u);
    EXPECT_EQ(SentWith(kCmdReadConfig).size(), 1u);
    Bytes padded(131072, 0xFF);
    std::copy(image.begin(), image.end(), padded.begin());
    EXPECT_EQ(ParamOf(SentWith(kCmdAnnounceCrc)[0], 0), ComputeImageChecksum(padded.data(), padded.size()));
    auto chunks = SentWith(kCmdProgramBoot);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(ParamOf(chunks[0], 2), 131072u);
    EXPECT_EQ(ParamOf(chunks[0], 1), 9u);
    EXPECT_EQ(PayloadOf(chunks[1]).back(), 0xFF);
    EXPECT_EQ(link.m_bootBlockSize, 0x20000u);
    EXPECT_EQ(link.m_bootReserve, 2048u);

    endpoint.requests.clear();
    Bytes longer(129017, 1);
    EXPECT_EQ(link.ProgramBoot(longer.data(), uint32_t(longer.size()), 16, 0), 0u);
    EXPECT_EQ(ParamOf(SentWith(kCmdProgramBoot)[0], 2), 262144u);
}

TEST_F(Transfers, BootLayoutFromConfigurationItemFour) {
    Identified(16);
    Bytes layout(44, 0);
    Put32(&layout[36], 0x10000);
    Put32(&layout[40], 1024);
    Reply(ReplyPacket(kCmdReadConfig, {4}, layout));
    Bytes image(64504, 1);
    link.ProgramBoot(image.data(), uint32_t(image.size()), 16, 0);
    EXPECT_EQ(ParamOf(SentWith(kCmdProgramBoot)[0], 2), 65536u);

    endpoint.requests.clear();
    Reply(ReplyPacket(kCmdReadConfig, {4}, layout));
    Bytes longer(64505, 1);
    link.ProgramBoot(longer.data(), uint32_t(longer.size()), 16, 0);
    EXPECT_EQ(ParamOf(SentWith(kCmdProgramBoot)[0], 2), 131072u);

    Put32(&layout[40], 0);  // a reserve of 0 keeps the default
    Reply(ReplyPacket(kCmdReadConfig, {4}, layout));
    link.ProgramBoot(image.data(), 10, 16, 0);
    EXPECT_EQ(link.m_bootReserve, 2048u);
    EXPECT_EQ(link.m_bootBlockSize, 0x10000u);
}

TEST_F(Transfers, BootImageLongerThanTwoBlocksIsRefusedBeforeAnythingIsSent) {
    Identified(17);
    Bytes image(262145, 1);
    EXPECT_EQ(link.ProgramBoot(image.data(), uint32_t(image.size()), 17, 0), kNoValidReply);
    EXPECT_TRUE(SentWith(kCmdAnnounceCrc).empty());
    EXPECT_TRUE(SentWith(kCmdProgramBoot).empty());
}

TEST_F(Transfers, LoaderAndEmptyImages) {
    Identified(22);
    Bytes image(32712, 3);
    EXPECT_EQ(link.ProgramLoader(image.data(), uint32_t(image.size()), 22, 0), 0u);
    EXPECT_EQ(SentWith(kCmdProgramLoader).size(), 1u);
    EXPECT_EQ(ParamOf(SentWith(kCmdProgramLoader)[0], 2), 32712u);
    endpoint.requests.clear();
    EXPECT_EQ(link.ProgramLoader(image.data(), 0, 22, 0), 0u);
    ASSERT_EQ(endpoint.requests.size(), 1u);  // the checksum of nothing, no chunk
    EXPECT_EQ(ParamOf(Sent(0), 0), 0xFFFFFFFFu);
}

TEST_F(Transfers, EraseRoundsToWholeUnits) {
    Identified(22);
    const uint32_t lengths[][2] = {{1, 131072}, {131072, 131072}, {131073, 262144}, {0, 0}};
    for (const auto& l : lengths) {
        EXPECT_TRUE(link.EraseRegion(0x100000, l[0]));
        EXPECT_EQ(ParamOf(LastSent(), 1), l[1]);
        EXPECT_EQ(ParamOf(LastSent(), 0), 0x100000u);
    }
    Reply(ReplyPacket(kReplyError));
    EXPECT_FALSE(link.EraseRegion(0, 1));
}

TEST_F(Transfers, MemoryWriteOfOneHundredBytes) {
    Identified(22);
    link.m_requestBuffer[32 + 120] = 0xEE;  // left over from an earlier request
    Bytes data(100, 0x11);
    EXPECT_TRUE(link.WriteMemoryBlock(data.data(), 0x01000000, 100));
    EXPECT_EQ(LengthOf(LastSent()), 128u);
    EXPECT_EQ(ParamOf(LastSent(), 1), 100u);
    const Bytes payload = PayloadOf(LastSent());
    EXPECT_EQ(std::count(payload.begin() + 100, payload.end(), 0), 28);
    Reply(ReplyPacket(kCmdWriteMemoryBlock));
    EXPECT_FALSE(link.WriteMemoryBlock(data.data(), 0x01000000, 100));
}

TEST_F(Transfers, SensorBoardAnswersAreBoundedByTheBuffer) {
    Identified(22);
    uint8_t answer[8];
    uint32_t length = 99;
    Reply(ReplyPacket(kCmdSensorBoardExchange));
    EXPECT_EQ(link.SensorBoardExchange(24, answer, 1, answer, sizeof answer, &length), 0u);
    EXPECT_EQ(length, 0u);
    Reply(ReplyPacket(kCmdSensorBoardExchange, {}, Bytes{1, 2, 3, 4}));
    EXPECT_EQ(link.SensorBoardExchange(25, answer, 8, answer, sizeof answer, &length), 0u);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(answer[3], 4);
    Reply(ReplyPacket(kCmdSensorBoardExchange, {}, Bytes(9, 5)));
    answer[0] = 0;
    EXPECT_EQ(link.SensorBoardExchange(25, answer, 8, answer, sizeof answer, &length), kNoValidReply);
    EXPECT_EQ(answer[0], 0);
    Reply(ReplyPacket(kReplyError));
    EXPECT_EQ(link.SensorBoardExchange(24, answer, 1, nullptr, 0, nullptr), kNoValidReply);
    EXPECT_EQ(ParamOf(LastSent(), 0), 24u);
}
