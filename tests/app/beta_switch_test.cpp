// The hidden BETA button.
#include "tests/support/commands.h"
#include "tests/support/writer_fixture.h"

using namespace protocol;

class BetaSwitch : public testsupport::WriterFixture {
protected:
    void Press(uint32_t type, uint32_t build) {
        sim::WriterSetup s;
        s.machineType = type;
        s.appBuild = build;
        MakeWriter(s);
        StartDialog();
        dialog->OnBetaClicked();
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& b : window.boxes) out.push_back(b.text);
        return out;
    }
};

TEST_F(BetaSwitch, BuildBelowTheMinimumIsRefused) {
    Press(22, 34109);
    EXPECT_EQ(Texts(), std::vector<std::string>{"BETA: You must install version 34110 or higher."});
    EXPECT_TRUE(window.boxes[0].applicationLevel);
    EXPECT_EQ(window.boxes[0].caption, "Orvane Update");
    EXPECT_EQ(writer->Count(kCmdWriteSetting), 0u);
}

TEST_F(BetaSwitch, MinimumBuildAsksAndNoChangesNothing) {
    Press(22, 34110);
    EXPECT_EQ(Texts(), std::vector<std::string>{
                           "You are about to install BETA version.\nAre you sure you want to do this?"});
    EXPECT_EQ(window.boxes[0].style, ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(testsupport::Commands(*writer), std::vector<uint16_t>{kCmdIdentify});
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{100, 2000, 100}));
    EXPECT_FALSE(dialog->m_link.IsOpen());
}

TEST_F(BetaSwitch, OtherModelWithoutABuildGetsTheBuildMessage) {
    Press(5, 40000);  // types below 16 report no build: the field stays 0
    EXPECT_EQ(Texts(), std::vector<std::string>{"BETA: You must install version 34110 or higher."});
}

TEST_F(BetaSwitch, RecentOtherModelGetsTheModelMessage) {
    Press(19, 40000);
    EXPECT_EQ(Texts(), std::vector<std::string>{"Improper Machine Type.  This update is not for Brevon/Brevon II!"});
}

TEST_F(BetaSwitch, SuccessWritesTheSettingConfirmsAndRestarts) {
    window.AnswerNext(ui::kIdYes);
    Press(22, 35400);
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[1], "Writer has been switched to Beta version");
    EXPECT_EQ(window.boxes[1].style, ui::kMbOk);  // the framework adds its default icon
    EXPECT_EQ(writer->settings[kSettingBeta], 1u);
    EXPECT_EQ(writer->Requests(kCmdWriteSetting)[0].payloadSize, 4u);
    EXPECT_EQ(writer->restarts, 1u);
    EXPECT_EQ(dialog->m_updateStarted, 0);
    EXPECT_EQ(dialog->m_writerAppVersion, 0x01000001u) << "identified again: now running its beta";
    EXPECT_EQ(window.Status(), "\n\nResetting writer.\nPlease wait while it reboots");
    const std::string log = Log();
    EXPECT_NE(log.find("Orvane Update: Build: 35680\n"), std::string::npos);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << "header and exit line only: " << log;
}

TEST_F(BetaSwitch, RefusedSettingAndFailedRestart) {
    sim::WriterSetup s;
    s.appBuild = 35400;
    MakeWriter(s);
    writer->faults.push_back({sim::FaultKind::kRefuse, 0, kCmdWriteSetting, 0, 2, 0, 1});
    StartDialog();
    window.AnswerNext(ui::kIdYes);
    dialog->OnBetaClicked();
    EXPECT_EQ(Texts().back(), "Unable to Update the Writer");
    EXPECT_EQ(writer->Count(kCmdEndProgramming), 0u);

    writer->stayAwayAfterRestart = true;
    window.AnswerNext(ui::kIdYes);
    dialog->OnBetaClicked();
    EXPECT_EQ(Texts().back(), "Unable to reset your writer.");
    EXPECT_EQ(dialog->m_updateStarted, 1);
}

TEST_F(BetaSwitch, NoWriterAndNoIdentification) {
    MakeDefaultWriter();
    StartDialog();
    writer->faults.push_back({sim::FaultKind::kNoReply, 0, kCmdIdentify, 0, 0, 0, 1});
    dialog->OnBetaClicked();
    EXPECT_EQ(Texts().back(),
              "Unable to open a connection with your steno machine.\nPlease make sure the writer is turned On and "
              "the USB cable is firmly connected");
    writer->Unplug();
    dialog->OnBetaClicked();
    EXPECT_EQ(Texts().back(), "Unable to communicate with your steno machine.");
    EXPECT_EQ(dialog->m_logOpen, 0);
}
