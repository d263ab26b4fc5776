// Application and boot code steps and the application-region erase.
#include "firmware/image_checksum.h"
#include "tests/support/step_fixture.h"

using testsupport::Commands;

namespace {
const char kBusyText[] = "Unable to program your writer.\nPlease close any open files on your Orvane";
}

class CodeSteps : public testsupport::StepFixture {};

TEST_F(CodeSteps, ApplicationGoesOutOnceAfterItsChecksumAndDisplayText) {
    Ready();
    EXPECT_EQ(dialog->UpdateApplicationCode(), 0);
    const std::vector<uint16_t> wire = Commands(*writer);
    ASSERT_GE(wire.size(), 3u);
    EXPECT_EQ(wire[0], 37);
    EXPECT_EQ(wire[1], 0x0007);
    EXPECT_EQ(std::count(wire.begin(), wire.end(), uint16_t(2)), long(wire.size() - 2));
    const sim::Bytes image = sim::DecodeReleaseImage(resources, 169);
    ASSERT_EQ(image.size(), 3037340u);
    EXPECT_EQ(writer->log[0].params[0], ComputeImageChecksum(image.data(), image.size()));
    EXPECT_EQ(writer->log[1].text, "Programming Application Code");
    EXPECT_EQ(window.Status(), "\n\nSending Build 35680 to Orvane...");
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Sending software version 1.00.00 Build 35680 to Orvane..."}));
    EXPECT_EQ(dialog->m_appCodeSent, 1);

    writer->log.clear();
    EXPECT_EQ(dialog->UpdateApplicationCode(), 0);
    EXPECT_TRUE(writer->log.empty()) << "a second call after a successful one sends nothing";
}

TEST_F(CodeSteps, RefusedApplicationNamesOpenFilesOrTheCode) {
    Ready();
    Fault(sim::FaultKind::kRefuse, 2, 1, 3);
    EXPECT_EQ(dialog->UpdateApplicationCode(), 5);
    EXPECT_EQ(DisplayTexts().back(), "Failure in updating machine.");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kBusyText);
    EXPECT_EQ(window.boxes[0].caption, "Error");
    EXPECT_EQ(window.boxes[0].style, ui::kMbIconError);
    EXPECT_EQ(LogLines().back(), kBusyText);
    EXPECT_EQ(dialog->m_appCodeSent, 0);

    Fault(sim::FaultKind::kWrongCode, 2, 0, 0, 1);  // no fitting reply: 111
    EXPECT_EQ(dialog->UpdateApplicationCode(), 5);
    EXPECT_EQ(window.boxes.back().text, "Unable to program your writer.  Error Code 111");
}

TEST_F(CodeSteps, BetaApplicationAndMissingImage) {
    Ready();
    MachineInfo& row = OwnRow();
    row.appVersion = 0x01000002;
    row.appResource = 999;  // named in the table, not carried by the program
    EXPECT_EQ(dialog->UpdateApplicationCode(), 1);
    EXPECT_EQ(window.Status(), "\n\nSending Build 35680 Beta 2 to Orvane...");
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "Sending software version 1.00.00 Beta 2, Build 35680 to Orvane...",
                              "Unable to load the firmware image 999."}));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Unable to load the firmware image 999.");
    EXPECT_TRUE(writer->log.empty());

    row.appResource = 0;
    EXPECT_EQ(dialog->UpdateApplicationCode(), 0);
    EXPECT_TRUE(writer->log.empty());
}

TEST_F(CodeSteps, BootCodeGoesOnlyToAnOlderBootLoader) {
    struct Case {
        uint32_t version, build;
        bool sent;
    };
    for (const Case c : {Case{0x01000000, 35673, false}, Case{0x01000000, 35672, true},
                         Case{0x02000000, 35000, true}}) {
        Ready();
        writer->mainBootVersion = c.version;
        writer->mainBootBuild = c.build;
        EXPECT_EQ(dialog->UpdateBootCode(), 0);
        EXPECT_EQ(writer->Count(80) > 0, c.sent) << c.version << " " << c.build;
        EXPECT_EQ(writer->log.at(0).command, 0xE019);
        EXPECT_EQ(dialog->m_writerMainBootBuild, c.build);
        EXPECT_EQ(dialog->m_bootCodeSent, c.sent ? 1 : 0);
        if (c.sent) {
            // Type 22 gets no announcement: a blank status text and no log line.
            EXPECT_EQ(window.Status(), "");
            EXPECT_TRUE(LogLines().empty());
            EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Programming Boot Code"}));
            EXPECT_EQ(writer->Count(37), 1u) << "the transfer announces its own checksum";
        }
    }
}

TEST_F(CodeSteps, BootVersionsUnreadOrFromTheBootLoader) {
    Ready();
    writer->mainBootBuild = 40000;
    Fault(sim::FaultKind::kRefuse, 0xE019, 1, 1);
    EXPECT_EQ(dialog->UpdateBootCode(), 0);
    EXPECT_EQ(dialog->m_writerMainBootVersion | dialog->m_writerMainBootBuild |
                  dialog->m_writerSecBootVersion | dialog->m_writerSecBootBuild,
              0u);
    EXPECT_GT(writer->Count(80), 0u) << "unread boot versions count as 0";

    Ready();
    dialog->m_writerInBoot = 1;
    dialog->m_writerAppVersion = 0x01000000;
    dialog->m_writerAppBuild = 35673;
    EXPECT_EQ(dialog->UpdateBootCode(), 0);
    EXPECT_EQ(dialog->m_writerMainBootBuild, 35673u);
    EXPECT_TRUE(writer->log.empty()) << "no boot version query to a boot loader, and nothing to send";
}

TEST_F(CodeSteps, ApplicationRegionErase) {
    Ready();
    EXPECT_EQ(dialog->EraseApplicationRegion(), 0);
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{0x100B, 0x1009}));
    EXPECT_EQ(writer->log[1].params[0], 0x00100000u);
    EXPECT_EQ(writer->log[1].params[1], 0x00400000u);
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(window.statusTexts.empty());
    EXPECT_TRUE(LogLines().empty());

    Fault(sim::FaultKind::kRefuse, 0x1009, 0, 4);
    EXPECT_EQ(dialog->EraseApplicationRegion(), 5);
    EXPECT_EQ(DisplayTexts().back(), "Failure to erase application");
    EXPECT_EQ(LogLines().back(), "Failure to erase application");
    EXPECT_EQ(window.boxes.at(0).text, "Failure to erase application");
}
