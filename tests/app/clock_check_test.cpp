// The writer clock check: tolerance, the question, and the value set.
#include "tests/support/commands.h"
#include "tests/support/writer_fixture.h"

using namespace protocol;

class ClockCheck : public testsupport::WriterFixture {
protected:
    void Check(int64_t offset) {
        sim::WriterSetup s;
        s.clockOffsetSeconds = offset;
        MakeWriter(s);
        StartDialog();
        ASSERT_EQ(dialog->m_link.Connect(), 0u);
        EXPECT_EQ(dialog->CheckWriterClock(), 0);
    }
    std::vector<sim::RequestRecord> Clock() const { return writer->Requests(kCmdAccessClock); }
};

TEST_F(ClockCheck, EqualClocksOnlyRead) {
    Check(0);
    ASSERT_EQ(Clock().size(), 1u);
    EXPECT_EQ(Clock()[0].params[1], 0u);
}

TEST_F(ClockCheck, FiveMinutesEitherWayAreSetWithoutAQuestion) {
    for (int64_t offset : {300, -300}) {
        window.boxes.clear();
        Check(offset);
        ASSERT_EQ(Clock().size(), 2u);
        EXPECT_EQ(Clock()[1].params[1], 1u);
        EXPECT_EQ(Clock()[1].params[0], PcLocalNow());
        EXPECT_TRUE(window.boxes.empty());
        EXPECT_EQ(writer->clockOffsetSeconds, 0);
    }
}

TEST_F(ClockCheck, MoreThanFiveMinutesAsksAndNoLeavesItAlone) {
    Check(301);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_TRUE(window.boxes[0].applicationLevel);
    EXPECT_EQ(window.boxes[0].text,
              "Your Steno Machine's date/time doesn't match the PC date/time.\nDo you want it to match the PC "
              "date/time?");
    EXPECT_EQ(window.boxes[0].style, ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(Clock().size(), 1u);
}

TEST_F(ClockCheck, TheValueSetIsTakenAfterTheAnswer) {
    window.AnswerNext(ui::kIdYes);
    window.onBox = [this](const std::string&) { system.Advance(42000); };  // the user thinks
    Check(-4000);
    ASSERT_EQ(Clock().size(), 2u);
    EXPECT_EQ(Clock()[1].params[0], PcLocalNow());
    EXPECT_EQ(writer->clockOffsetSeconds, 0);
}

TEST_F(ClockCheck, NoAnswerToTheReadEndsSilently) {
    sim::WriterSetup s;
    MakeWriter(s);
    writer->faults.push_back({sim::FaultKind::kNoReply, 0, kCmdAccessClock, 0, 0, 0, 1});
    StartDialog();
    dialog->m_link.Connect();
    EXPECT_EQ(dialog->CheckWriterClock(), 0);
    EXPECT_EQ(writer->Count(kCmdAccessClock), 1u);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ClockCheck, DaylightSavingZoneAppliesItsDaylightBias) {
    StartDialog();
    system.zone = {-60, 0, -60};  // UTC+1, one more hour in summer
    system.daylight = true;
    EXPECT_EQ(dialog->GetLocalClockSeconds(), uint32_t(system.UtcSeconds() + 7200));
    system.daylight = false;
    EXPECT_EQ(dialog->GetLocalClockSeconds(), uint32_t(system.UtcSeconds() + 3600));
    system.zone = {300, 0, -60};  // UTC-5
    EXPECT_EQ(dialog->GetLocalClockSeconds(), uint32_t(system.UtcSeconds() - 18000));
}
