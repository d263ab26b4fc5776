// Font and WiFi steps: read back, compare, and erase and rewrite on a difference.
#include "tests/support/step_fixture.h"
#include "tools/release_images.h"

using testsupport::Commands;

namespace {
const char kJobOpenText[] = "Unable to program your writer.  Check if a job is open.";
constexpr uint32_t kFontsAddress = 0x01000000;  // the simulated writer's font region
}  // namespace

class RegionSteps : public testsupport::StepFixture {};

TEST_F(RegionSteps, FontsAlreadyIdenticalCostOneQueryAndTheReads) {
    sim::WriterSetup s;
    s.current = true;
    Ready(s);
    EXPECT_EQ(dialog->UpdateFonts(), 0);
    EXPECT_EQ(writer->Count(0x100B), 1u);
    EXPECT_EQ(writer->Count(64), 18u);  // ceil(1,154,944 / 65,536)
    EXPECT_EQ(writer->Count(0x1009) + writer->Count(0x100A), 0u);
    EXPECT_EQ(writer->Requests(64)[0].params[4], 4u);
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Loading new fonts", "Checking Fonts..."}));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Sending Fonts to Orvane...", "Reading Fonts. from Orvane..."}));
    EXPECT_EQ(window.statusTexts, (std::vector<std::string>{"\n\nSending Fonts to Orvane...",
                                                            "\n\nChecking Fonts. from Orvane..."}));
}

TEST_F(RegionSteps, FontsThatDifferOnceAreRewrittenAndCheckedAgain) {
    Ready();
    EXPECT_EQ(dialog->UpdateFont2(), 0);
    EXPECT_EQ(writer->Count(0x100B), 3u);
    EXPECT_EQ(writer->Count(0x1009), 1u);
    EXPECT_EQ(writer->Count(0x100A), 8u);  // ceil(505,152 / 65,536)
    EXPECT_EQ(writer->Count(64), 16u);
    const sim::Bytes font2 = sim::DecodeReleaseImage(resources, 173);
    EXPECT_TRUE(std::equal(font2.begin(), font2.end(), writer->Region(11).begin()));
    // Font2 logs its own lines but shows the font status texts.
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Sending Font2 to Orvane...", "Reading Font2. from Orvane...",
                                                    "Sending font2 to Orvane...", "Reading Font2. from Orvane..."}));
    EXPECT_EQ(window.statusTexts,
              (std::vector<std::string>{"\n\nSending Fonts to Orvane...", "\n\nChecking Fonts. from Orvane...",
                                        "\n\nSending fonts to Orvane...", "\n\nChecking Fonts. from Orvane..."}));
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Loading new fonts", "Checking Fonts...", "Loading fonts...",
                                                        "Checking Fonts..."}));
}

TEST_F(RegionSteps, FontsThatNeverMatchGiveUpAfterThreeChecks) {
    Ready();
    Fault(sim::FaultKind::kCorruptRead, 64, 0, 0, -1);
    EXPECT_EQ(dialog->UpdateFonts(), 6);
    EXPECT_EQ(writer->Count(0x1009), 2u);
    const std::vector<std::string> shown = DisplayTexts();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Checking Fonts..."), 3);
    EXPECT_EQ(shown.back(), "Failure to load fonts.");
    EXPECT_EQ(LogLines().back(), kJobOpenText);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kJobOpenText);
    EXPECT_EQ(window.boxes[0].style, ui::kMbIconError);
}

TEST_F(RegionSteps, NoFontRegionStopsSilently) {
    Ready();
    writer->absentRegions = {10};  // the writer answers size 0
    EXPECT_EQ(dialog->UpdateFonts(), 7);
    EXPECT_EQ(writer->Count(64), 0u);
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(RegionSteps, UnansweredRegionQueryIsReportedNotSilent) {
    // A wrong reply at the first query; a writer gone in the middle of the
    // read-back, whose rewrite then finds no one to ask.
    for (const sim::FaultKind kind : {sim::FaultKind::kWrongCode, sim::FaultKind::kUnplug}) {
        Ready();
        if (kind == sim::FaultKind::kWrongCode)
            Fault(kind, 0x100B);
        else
            Fault(kind, 64, 2);
        EXPECT_EQ(dialog->UpdateFonts(), 5);
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0].text, "Unable to program your writer.  Error Code 111");
        EXPECT_EQ(window.boxes[0].caption, "Error");
        EXPECT_EQ(window.boxes[0].style, ui::kMbIconError);
        EXPECT_EQ(LogLines().back(), "Unable to program your writer.  Error Code 111");
        EXPECT_EQ(writer->Count(0x1009), 0u);
        window.boxes.clear();
    }
}

TEST_F(RegionSteps, AFailedReadCountsAsADifference) {
    sim::WriterSetup s;
    s.current = true;
    Ready(s);
    Fault(sim::FaultKind::kRefuse, 64, 2, 4);
    EXPECT_EQ(dialog->UpdateFonts(), 0);
    EXPECT_EQ(writer->Count(0x1009), 1u) << "the region is rewritten, never compared with unread bytes";
}

TEST_F(RegionSteps, ReadsAndWritesGoInBlocks) {
    Ready();
    resources.Add(900, sim::Bytes(200000, 0x3C));
    OwnRow().fontResource = 900;
    EXPECT_EQ(dialog->UpdateFonts(), 0);
    const std::vector<uint32_t> offsets = {0, 65536, 131072, 196608}, sizes = {65536, 65536, 65536, 3392};
    const auto reads = writer->Requests(64), writes = writer->Requests(0x100A);
    ASSERT_EQ(reads.size(), 8u);
    ASSERT_EQ(writes.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(reads[i].params[0], kFontsAddress + offsets[i]);
        EXPECT_EQ(reads[i].params[1], sizes[i]);
        EXPECT_EQ(writes[i].params[0], kFontsAddress + offsets[i]);
        EXPECT_EQ(writes[i].params[1], sizes[i]);
    }
}

TEST_F(RegionSteps, WifiSteps) {
    Ready();
    EXPECT_EQ(dialog->UpdateWifiApp(), 0);  // the release carries no WiFi images
    EXPECT_EQ(dialog->UpdateWifiNvs(), 0);
    EXPECT_TRUE(writer->log.empty());
    EXPECT_TRUE(window.statusTexts.empty());

    MachineInfo& row = OwnRow();
    resources.Add(901, sim::Bytes(70000, 0x11));
    row.wifiAppResource = row.wifiNvsResource = 901;
    EXPECT_EQ(dialog->UpdateWifiApp(), 0) << "a writer without the region counts as success";
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{0x0007, 0x100B}));
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Checking WiFi App..."}));
    EXPECT_EQ(writer->log[1].params[0], 8u);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Reading WiFi App. from Orvane..."}));
    EXPECT_EQ(window.Status(), "\n\nChecking WiFi App. from Orvane...");

    writer->hasWifi = true;
    writer->log.clear();
    Fault(sim::FaultKind::kCorruptRead, 64, 0, 0, -1);
    EXPECT_EQ(dialog->UpdateWifiNvs(), 6);
    EXPECT_EQ(writer->Requests(0x100B)[0].params[0], 9u);
    EXPECT_EQ(DisplayTexts(), (std::vector<std::string>{"Checking WiFi NVS...", "Loading WiFi NVS...",
                                                        "Checking WiFi NVS...", "Loading WiFi NVS...",
                                                        "Checking WiFi NVS...", "Failure to load WiFi NVS."}));
    EXPECT_EQ(LogLines()[2], "Sending WiFi NVS. to Orvane...");
    EXPECT_EQ(window.boxes.back().text, kJobOpenText);
}
