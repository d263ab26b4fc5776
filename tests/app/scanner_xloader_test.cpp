// The keyboard scanner step and the X-Loader step.
#include <cstdio>

#include "tests/support/intel_hex_text.h"
#include "tests/support/step_fixture.h"
#include "tools/release_images.h"

using testsupport::Commands;

namespace {
std::vector<uint32_t> SubCommands(const sim::WriterModel& writer) {
    std::vector<uint32_t> out;
    for (const auto& r : writer.Requests(0xE023)) out.push_back(r.params[0]);
    return out;
}
}  // namespace

class ScannerStep : public testsupport::StepFixture {
protected:
    void ReadyForced(const sim::WriterSetup& s = sim::WriterSetup{}) {
        Ready(s);
        dialog->m_link.m_scannerVersion = 0xFFFFFFFF;
    }
};

TEST_F(ScannerStep, VersionDecidesWhetherItRuns) {
    Ready();
    dialog->m_link.m_scannerVersion = 14760;
    EXPECT_EQ(dialog->UpdateScanner(), 0);
    EXPECT_TRUE(writer->log.empty());
    EXPECT_TRUE(LogLines().empty());

    dialog->m_link.m_scannerVersion = 0;  // reported none
    EXPECT_EQ(dialog->UpdateScanner(), 0);
    EXPECT_EQ(DisplayTexts().at(0), "Updating Keyboard Scanner");
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Sending KeySensor Board Code to Orvane..."}));
    EXPECT_EQ(window.Status(), "\n\nSending Sensor Board Code to Orvane...");
}

TEST_F(ScannerStep, BoardHoldingTheImageGetsNoWrite) {
    sim::WriterSetup s;
    s.current = true;
    ReadyForced(s);
    EXPECT_EQ(dialog->UpdateScanner(), 0);
    EXPECT_EQ(SubCommands(*writer), (std::vector<uint32_t>{24, 25, 24}));
    const auto control = writer->Requests(0xE023);
    EXPECT_EQ(control[1].payloadSize, 8u);
    EXPECT_EQ(control[1].params[0], 25u);
}

TEST_F(ScannerStep, RangeIsWrittenInChunksWithTheAddressInFront) {
    ReadyForced();
    std::fill(writer->sensorMemory.begin(), writer->sensorMemory.end(), 0xFF);
    resources.Add(902, testsupport::IntelHexText(0x80002000, sim::Bytes(1001, 0x5A)));
    OwnRow().scannerResource = 902;
    EXPECT_EQ(dialog->UpdateScanner(), 0);
    EXPECT_EQ(SubCommands(*writer), (std::vector<uint32_t>{24, 25, 24, 21, 21, 25, 24}));
    const auto requests = writer->Requests(0xE023);
    EXPECT_EQ(requests[3].payloadSize, 516u);
    EXPECT_EQ(requests[4].payloadSize, 493u);
    EXPECT_EQ(writer->sensorMemory[0x2000 + 1000], 0x5A);
    EXPECT_EQ(writer->sensorMemory[0x2000 + 512], 0x5A);
    EXPECT_EQ(writer->sensorMemory[0x2000 + 1001], 0xFF) << "nothing past the last byte that is not 0xFF";
    EXPECT_EQ(writer->sensorMemory[0x1FFF], 0xFF);
}

TEST_F(ScannerStep, ShortChecksumAnswerFailsAnAttemptAndIsRetriedAfterAPause) {
    ReadyForced();
    Fault(sim::FaultKind::kTruncate, 0xE023, 2, 3);  // the first checksum answer: 3 bytes
    system.ClearSleeps();
    EXPECT_EQ(dialog->UpdateScanner(), 0);
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{500}));
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Updating Keyboard Scanner", "Updating Keyboard Scanner"}));
    EXPECT_EQ(writer->scannerVersion, 14760u) << "the board restarted into the new image";
}

TEST_F(ScannerStep, FailuresAreReported) {
    ReadyForced();
    resources.Add(903, sim::Bytes{':', '0', '1', '2', '0', '0', '0', '0', '0', '5', '5', '0', '0'});  // bad sum
    OwnRow().scannerResource = 903;
    EXPECT_EQ(dialog->UpdateScanner(), 1);
    EXPECT_EQ(DisplayTexts().back(), "Failed to update Keyboard Scanner");
    EXPECT_EQ(window.boxes.at(0).text, "Error decoding data...");
    EXPECT_EQ(LogLines().back(), "Error decoding data...");
    EXPECT_TRUE(writer->Requests(0xE023).empty());

    dialog->m_modelTable = g_machineInfo;
    Fault(sim::FaultKind::kRefuse, 0xE023, 0, 1, -1);
    system.ClearSleeps();
    EXPECT_EQ(dialog->UpdateScanner(), 1);
    EXPECT_EQ(system.sleeps, std::vector<uint32_t>(9, 500));
    EXPECT_EQ(writer->Requests(0xE023).size(), 10u);
    EXPECT_EQ(window.boxes.at(1).text, "Error with updating sensor board..");
    EXPECT_EQ(window.boxes.at(1).caption, "Error");
}

class XLoaderStep : public testsupport::StepFixture {};

TEST_F(XLoaderStep, DoneFlagOrNoImage) {
    Ready();
    dialog->m_xloaderDone = 1;
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_TRUE(writer->log.empty());
    dialog->m_xloaderDone = 0;
    OwnRow().xloaderResource = 0;
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{0x0007}));
    EXPECT_EQ(writer->log[0].payloadSize, 0u);
}

TEST_F(XLoaderStep, IdenticalRegionIsLeftAlone) {
    sim::WriterSetup s;
    s.current = true;
    Ready(s);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{0x0007, 0x100B, 64, 0x0007}));
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Updating X-Loader", ""}));
    EXPECT_EQ(window.Status(), "\n\nChecking XLoader...");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(dialog->m_xloaderDone, 1);
}

TEST_F(XLoaderStep, OlderVersionTextIsProgrammed) {
    sim::WriterSetup s;
    s.xloaderVersion = "X-Loader 1.4.9 (Mar  2 2025 - 09:12:45)";
    Ready(s);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Old X-Loader 1.4.9 (Mar  2 2025 - 09:12:45), programming "
                                                    "X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)",
                                                    "Sending XLoader Orvane..."}));
    EXPECT_EQ(window.Status(), "\n\nSending XLoader Orvane...");
    EXPECT_EQ(writer->Count(96), 1u);
    EXPECT_EQ(dialog->m_xloaderDone, 1);
    EXPECT_EQ(DisplayTexts().back(), "");
}

TEST_F(XLoaderStep, EqualOrNewerVersionTextIsKept) {
    sim::WriterSetup s;
    s.xloaderVersion = "X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)";  // same text, other bytes
    Ready(s);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Has newer version: X-Loader 1.5.4 (Nov 30 2026 - 14:02:11) then "
                                                    "X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)"}));
    EXPECT_EQ(writer->Count(96), 0u);
    EXPECT_EQ(dialog->m_xloaderDone, 0);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(LogLines().size(), 2u) << "the second call checks again";
}

TEST_F(XLoaderStep, RegionWithoutABannerGetsTheCarriedLoader) {
    Ready();
    std::fill(writer->Region(0).begin(), writer->Region(0).end(), 0xFF);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(LogLines().at(0), "Old , programming X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)");
    EXPECT_EQ(writer->Count(96), 1u);
}

TEST_F(XLoaderStep, FailedReadOrRefusedProgramming) {
    Ready();
    dialog->m_link.m_blockSize = 8192;  // 32,712 bytes: four reads, the third fails
    Fault(sim::FaultKind::kRefuse, 64, 3, 4);
    EXPECT_EQ(dialog->UpdateXLoader(), 1);
    EXPECT_EQ(writer->Count(64), 3u);
    EXPECT_EQ(writer->Requests(64)[2].params[1], 8192u);
    EXPECT_EQ(LogLines().back(), "Failed to read x-Loader Image!");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Failed to read x-Loader Image!");
    EXPECT_EQ(DisplayTexts().back(), "");

    dialog->m_link.m_blockSize = 65536;  // one chunk per transfer below
    Fault(sim::FaultKind::kRefuse, 96, 1, 9);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(window.boxes.size(), 1u) << "a refused X-Loader shows no box";
    EXPECT_EQ(dialog->m_updateStarted, 1);
    EXPECT_EQ(dialog->m_xloaderDone, 0);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(writer->Count(96), 2u);
    EXPECT_EQ(dialog->m_xloaderDone, 1);

    // A refusal that names no error code is still a refusal.
    Ready();
    dialog->m_link.m_blockSize = 8192;
    Fault(sim::FaultKind::kRefuse, 96, 2, 0);
    EXPECT_EQ(dialog->UpdateXLoader(), 0);
    EXPECT_EQ(writer->Count(96), 2u) << "the transfer stops at the refused chunk";
    EXPECT_EQ(dialog->m_updateStarted, 1);
    EXPECT_EQ(dialog->m_xloaderDone, 0);
}

