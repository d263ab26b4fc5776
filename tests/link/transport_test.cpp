// Connection and packet transport: the sequence rule, write retries, replies.
#include "tests/support/link_fixture.h"

using namespace testsupport;
using namespace protocol;

class Transport : public LinkFixture {};

TEST_F(Transport, ConnectOpensMemberZeroOfTheWriterClass) {
    Open();
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(devices.lastInterfaceClass.data1, 0x202E68C5u);
    EXPECT_EQ(devices.lastInterfaceClass.data4[7], 0xBF);
    EXPECT_EQ(link.Connect(), 0u);  // already open: nothing enumerated
    EXPECT_EQ(devices.opens, 1);
}

TEST_F(Transport, NoWriterLeavesTheLinkClosedWithAnError) {
    endpoint.present = false;
    EXPECT_NE(link.Connect(), 0u);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(Transport, EveryCloseOfAnOpenHandleWaitsTwoSeconds) {
    EXPECT_EQ(link.Close(), 0u);
    EXPECT_TRUE(system.sleeps.empty());
    Open();
    devices.closeError = 6;
    EXPECT_EQ(link.Close(), 6u);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(system.sleeps, std::vector<uint32_t>{2000});
    {
        CQuonUsb other(devices, system, &window);
        other.Connect();
    }
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{2000, 2000}));
}

TEST_F(Transport, ClosedLinkSendsNothing) {
    EXPECT_FALSE(link.ShowText("hello"));
    EXPECT_EQ(link.Identify(nullptr, nullptr, nullptr, nullptr), kNoValidReply);
    EXPECT_TRUE(endpoint.requests.empty());
    EXPECT_EQ(link.m_sequence, 0u);
}

TEST_F(Transport, SequenceCountsNonEmptyReadsAcrossReopening) {
    Open();
    link.ShowText(nullptr);                 // reply: 1
    Reply(std::nullopt);
    link.ShowText(nullptr);                 // no reply: stays 1, and the handle is closed
    EXPECT_FALSE(link.IsOpen());
    Open();
    Reply(Bytes(10, 0));
    link.ShowText(nullptr);                 // short read still counts: 2
    link.Close();
    Open();
    link.ShowText(nullptr);
    ASSERT_EQ(endpoint.requests.size(), 4u);
    EXPECT_EQ(SequenceOf(Sent(0)), 0u);
    EXPECT_EQ(SequenceOf(Sent(1)), 1u);
    EXPECT_EQ(SequenceOf(Sent(2)), 1u);
    EXPECT_EQ(SequenceOf(Sent(3)), 2u);
    EXPECT_EQ(link.m_sequence, 3u);
    for (const Bytes& r : endpoint.requests) {
        EXPECT_EQ(r[0], 'Q');
        EXPECT_EQ(r[1], 'X');
    }
}

TEST_F(Transport, ThreeFailedWritesMakeTwoControlRequests) {
    Open();
    devices.failWrites = 3;
    EXPECT_FALSE(link.ShowText(nullptr));
    EXPECT_EQ(devices.controlRequests, 2);
    EXPECT_TRUE(endpoint.requests.empty());
    EXPECT_FALSE(link.IsOpen()) << "nothing can answer a request that never went out";
    Open();
    devices.failWrites = 1;
    EXPECT_TRUE(link.ShowText(nullptr));
    EXPECT_EQ(devices.controlRequests, 3);
    EXPECT_EQ(endpoint.requests.size(), 1u);
}

TEST_F(Transport, RepliesLongerThanWhatArrivedCountAsNoReply) {
    Open();
    Bytes overlong = ReplyPacket(kCmdShowText);
    Put32(&overlong[kOffLength], 40);  // claims 40 payload bytes, none came
    Reply(overlong);
    EXPECT_FALSE(link.ShowText(nullptr));
    Bytes huge = ReplyPacket(kCmdShowText, {}, Bytes(16));
    Put32(&huge[kOffLength], 65537);
    Reply(huge);
    EXPECT_FALSE(link.ShowText(nullptr));
    EXPECT_EQ(link.m_sequence, 2u);
}
