// The writer reset: its pauses, reconnection, identification and readiness probes.
#include "resources/resource.h"
#include "tests/support/commands.h"
#include "tests/support/writer_fixture.h"

using namespace protocol;

class WriterReset : public testsupport::WriterFixture {
protected:
    void Ready(uint32_t restartDelayMs = 3000) {
        sim::WriterSetup s;
        s.restartDelayMs = restartDelayMs;
        MakeWriter(s);
        StartDialog();
        ASSERT_EQ(dialog->m_link.Connect(), 0u);
        ASSERT_EQ(dialog->m_link.Identify(nullptr, nullptr, nullptr, nullptr), 0u);
        writer->log.clear();
        system.ClearSleeps();
        window.statusTexts.clear();
        dialog->m_updateStarted = 1;
    }
};

TEST_F(WriterReset, NothingToDoWithoutAStartedUpdate) {
    Ready();
    dialog->m_updateStarted = 0;
    EXPECT_EQ(dialog->ResetWriter(), 0);
    EXPECT_TRUE(writer->log.empty());
    EXPECT_TRUE(window.statusTexts.empty());
}

TEST_F(WriterReset, WriterBackOnTheThirdAttempt) {
    Ready(5500);  // away until 1 s + 2 s + three 1 s pauses have passed
    EXPECT_EQ(dialog->ResetWriter(), 0);
    EXPECT_EQ(window.Status(), "\n\nResetting writer.\nPlease wait while it reboots");
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{1000, 2000, 1000, 1000, 1000, 500}));
    EXPECT_EQ(testsupport::Commands(*writer),
              (std::vector<uint16_t>{kCmdEndProgramming, kCmdIdentify, kCmdShowText}));
    EXPECT_EQ(dialog->m_updateStarted, 0);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(WriterReset, WriterThatRestartsBeforeItAnswersIsWaitedForAndReconnected) {
    Ready(500);
    writer->faults.push_back({sim::FaultKind::kLost, 0, kCmdEndProgramming, 0, 0, 0, 1});
    EXPECT_EQ(dialog->ResetWriter(), 0);
    // The missing reply's close with its wait, the pause, one reconnect, one probe.
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{2000, 1000, 1000, 500}));
    EXPECT_EQ(devices->opens, 2);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(WriterReset, WriterThatNeverComesBack) {
    Ready();
    writer->stayAwayAfterRestart = true;
    const uint64_t before = system.NowMs();
    EXPECT_EQ(dialog->ResetWriter(), 5);
    EXPECT_EQ(system.NowMs() - before, 18000u);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Unable to reset your writer.");
    EXPECT_EQ(window.boxes[0].caption, "Error");
    EXPECT_EQ(dialog->m_updateStarted, 1);
}

TEST_F(WriterReset, LinkAlreadyClosed) {
    Ready();
    dialog->m_link.Close();
    system.ClearSleeps();
    EXPECT_EQ(dialog->ResetWriter(), 5);
    EXPECT_TRUE(system.sleeps.empty());
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Unable to program your writer.  Error Code 111");
}

TEST_F(WriterReset, WriterThatNeverAcknowledgesTheDisplay) {
    Ready();
    writer->displayNackProbes = 10;
    EXPECT_EQ(dialog->ResetWriter(), 5);
    EXPECT_EQ(writer->Count(kCmdShowText), 10u);
    EXPECT_EQ(window.boxes.at(0).text, "Write is not ready.");
    EXPECT_EQ(dialog->m_updateStarted, 1);
}

TEST_F(WriterReset, LateAcknowledgementIsEnough) {
    Ready();
    writer->displayNackProbes = 9;
    EXPECT_EQ(dialog->ResetWriter(), 0);
    EXPECT_EQ(writer->Count(kCmdShowText), 10u);
}

TEST_F(WriterReset, IdentificationRefillsTheWriterFields) {
    Ready();
    dialog->m_writerAppBuild = 1;
    EXPECT_EQ(dialog->ResetWriter(), 0);
    EXPECT_EQ(dialog->m_writerAppBuild, 35400u);
    EXPECT_EQ(dialog->m_writerInBoot, 0u);
}
