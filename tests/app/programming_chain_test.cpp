// Whole presses of "&Go!" through the programming chain, on the virtual clock.
#include "tests/support/step_fixture.h"

using testsupport::Commands;

namespace {
const char kSuccessBox[] = "Successfully updated the Orvane.\n           Click OK to Exit.";

// The commands after the clock check, with runs of one command folded.
std::vector<uint16_t> Folded(const sim::WriterModel& writer) {
    std::vector<uint16_t> out;
    bool started = false;
    for (const auto& r : writer.log) {
        if (!started) {
            started = r.command == 0xE005;  // the clock check
            continue;
        }
        if (out.empty() || out.back() != r.command) out.push_back(r.command);
    }
    return out;
}
size_t IndexOf(const std::vector<uint16_t>& v, uint16_t command, size_t from = 0) {
    return size_t(std::find(v.begin() + long(from), v.end(), command) - v.begin());
}
}  // namespace

class ProgrammingChain : public testsupport::StepFixture {
protected:
    void Press(const sim::WriterSetup& setup, std::vector<sim::Fault> faults = {}) {
        MakeWriter(setup);
        writer->faults = std::move(faults);
        StartDialog();
        window.statusTexts.clear();
        dialog->OnGoClicked();
    }
};

TEST_F(ProgrammingChain, OutOfDateWriterIsBroughtToTheReleaseAndTheProgramEnds) {
    Press(sim::WriterSetup{});
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kSuccessBox);
    EXPECT_EQ(window.boxes[0].caption, "Orvane Update");
    EXPECT_EQ(window.boxes[0].style, ui::kMbOk | ui::kMbIconInformation);
    EXPECT_FALSE(window.boxes[0].applicationLevel);
    EXPECT_TRUE(window.ended) << "OnCancel ends the dialog after OK";
    EXPECT_EQ(window.statusTexts,
              (std::vector<std::string>{
                  "\n\nSending Sensor Board Code to Orvane...", "\n\nSending Fonts to Orvane...",
                  "\n\nChecking Fonts. from Orvane...", "\n\nSending fonts to Orvane...",
                  "\n\nChecking Fonts. from Orvane...", "\n\nSending Fonts to Orvane...",
                  "\n\nChecking Fonts. from Orvane...", "\n\nSending fonts to Orvane...",
                  "\n\nChecking Fonts. from Orvane...", "\n\nChecking XLoader...", "\n\nSending XLoader Orvane...",
                  "", "\n\nSending Build 35680 to Orvane...", "\n\n\n\n\n\nOrvane Updated.", dialog->m_welcomeText}));
    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Successfully updated the Orvane.");
    EXPECT_EQ(lines.back(), "Exiting");
    // The writer holds the release and restarts into it.
    EXPECT_EQ(writer->Count(0x0051), 1u);
    EXPECT_EQ(writer->Region(2)[0x40], 'O');
    system.Advance(5000);
    EXPECT_TRUE(writer->Present());
    EXPECT_EQ(writer->appBuild, 35680u);
    EXPECT_EQ(writer->mainBootBuild, 35673u);
    EXPECT_EQ(writer->scannerVersion, 14760u);
    EXPECT_FALSE(dialog->m_link.IsOpen());
    EXPECT_EQ(dialog->m_updateStarted, 0);
}

// Everything the writer received in a whole update, and when: the request
// log as one number (FNV-1a over every field of every request).
uint64_t RequestLogFingerprint(const sim::WriterModel& writer) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](uint64_t v) {
        for (int i = 0; i < 8; ++i) h = (h ^ ((v >> (8 * i)) & 0xFF)) * 1099511628211ull;
    };
    for (const auto& r : writer.log) {
        mix(r.timeMs);
        mix(r.sequence);
        mix(r.command);
        for (uint32_t p : r.params) mix(p);
        mix(r.payloadSize);
        mix(r.payloadChecksum);
        for (char c : r.text) mix(uint8_t(c));
    }
    return h;
}

TEST_F(ProgrammingChain, WireOfAWholeUpdateIsUnchanged) {
    sim::WriterSetup s;
    s.appBuild = 33000;
    s.wifi = true;
    Press(s);
    ASSERT_EQ(window.boxes.back().text, kSuccessBox);
    // Whatever the window shows of the transfers, the requests, their bytes
    // and their times stay these.
    EXPECT_EQ(writer->log.size(), 253u);
    EXPECT_EQ(RequestLogFingerprint(*writer), 2932347255733123214u);
}

TEST_F(ProgrammingChain, EachTransferShowsItsProgressFromNothingToFullThenHides) {
    sim::WriterSetup s;
    s.appBuild = 33000;
    Press(s);
    ASSERT_EQ(window.boxes.back().text, kSuccessBox);
    // Cut the calls into transfers at each hide.
    std::vector<std::pair<uint64_t, std::vector<uint64_t>>> transfers;  // total, positions
    bool open = false;
    for (const auto& [done, total] : window.progress) {
        if (total == 0) {
            EXPECT_TRUE(open) << "a hide follows a transfer";
            open = false;
            continue;
        }
        if (!open) transfers.push_back({total, {}});
        open = true;
        EXPECT_EQ(total, transfers.back().first);
        transfers.back().second.push_back(done);
    }
    EXPECT_FALSE(open) << "hidden at the end";
    std::vector<uint64_t> totals;
    for (const auto& [total, positions] : transfers) {
        totals.push_back(total);
        EXPECT_EQ(positions.front(), 0u);
        EXPECT_EQ(positions.back(), total);
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        EXPECT_LE(positions.size(), 102u);
    }
    // Boot code, application, the scanner's range, fonts read back, rewritten
    // and read again, Font2 alike, then the X-Loader: sizes as the release
    // carries them (the scanner's range is what its HEX puts above 0x2000).
    EXPECT_EQ(totals, (std::vector<uint64_t>{475388, 3037340, totals.at(2), 1154944, 1154944, 1154944, 505152,
                                             505152, 505152, 32712}));
}

TEST_F(ProgrammingChain, ProgressIsHiddenAfterAFailedTransfer) {
    Press(sim::WriterSetup{}, {{sim::FaultKind::kNoReply, 0, 2, 10, 0, 0, 1}});
    ASSERT_FALSE(window.progress.empty());
    EXPECT_EQ(window.progress.back(), (std::pair<uint64_t, uint64_t>{0, 0}));
    EXPECT_EQ(window.progress[window.progress.size() - 2], (std::pair<uint64_t, uint64_t>{9 * 65536, 3037340}))
        << "the bar stood at the last accepted chunk";
}

TEST_F(ProgrammingChain, OldApplicationBuildTakesTheBootCodePathFirst) {
    sim::WriterSetup s;
    s.appBuild = 33000;
    Press(s);
    const std::vector<uint16_t> order = Folded(*writer);
    // Boot code, the application (its second call sends nothing), then the chain's restart.
    const size_t boot = IndexOf(order, 80), app = IndexOf(order, 2), restart = IndexOf(order, 0x0051);
    EXPECT_LT(boot, app);
    EXPECT_LT(app, restart);
    EXPECT_LT(restart, IndexOf(order, 0xE023)) << "the scanner follows the restart";
    EXPECT_EQ(writer->Count(80), 8u);  // the boot image is not sent again by the chain
    EXPECT_EQ(writer->Count(2), 47u);
    EXPECT_EQ(window.boxes.back().text, kSuccessBox);
}

TEST_F(ProgrammingChain, BootLoaderWithACurrentBuildGoesStraightToTheChain) {
    sim::WriterSetup s;
    s.inBoot = true;
    s.bootBuild = 34000;
    Press(s);
    const std::vector<uint16_t> order = Folded(*writer);
    EXPECT_LT(IndexOf(order, 80), IndexOf(order, 2));
    EXPECT_LT(IndexOf(order, 0x100B), IndexOf(order, 80)) << "the chain's steps before the boot code";
    EXPECT_EQ(writer->Count(0x0051), 1u) << "no restart inside the chain: the update was not started";
    EXPECT_EQ(writer->Count(0xE019), 0u);
    EXPECT_EQ(window.boxes.back().text, kSuccessBox);
}

TEST_F(ProgrammingChain, OldBootLoaderGetsTheBootCodeAndItsApplicationRegionErased) {
    sim::WriterSetup s;
    s.inBoot = true;
    s.bootBuild = 30000;
    Press(s);
    const std::vector<uint16_t> order = Folded(*writer);
    EXPECT_EQ(std::vector<uint16_t>(order.begin(), order.begin() + 6),
              (std::vector<uint16_t>{0x0007, 37, 80, 0x100B, 0x1009, 0x0051}))
        << "boot code, the erase, then the chain's restart";
    EXPECT_EQ(writer->Requests(0x1009)[0].params[0], 0x00100000u) << "the application region";
    EXPECT_EQ(writer->Count(2), 47u) << "the chain sends the application";
    EXPECT_EQ(window.boxes.back().text, kSuccessBox);
}

TEST_F(ProgrammingChain, FailingStepStopsTheChainAndTheCleanUpEndsProgramming) {
    sim::WriterSetup s;
    s.appBuild = 33000;
    Press(s, {{sim::FaultKind::kRefuse, 0, 2, 1, 9, 0, 1}});
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Unable to program your writer.  Error Code 9");
    EXPECT_EQ(writer->Count(0xE023), 0u) << "no later step runs";
    EXPECT_EQ(writer->Count(0x0051), 1u);
    EXPECT_EQ(writer->log.back().command, 0x0051) << "sent by the clean-up";
    EXPECT_EQ(window.Status(), dialog->m_welcomeText);
    EXPECT_FALSE(window.ended);
}

TEST_F(ProgrammingChain, RefusalWithErrorCodeZeroIsNeverSuccess) {
    // The 3rd application chunk, then the 2nd boot-code chunk (after its checksum announcement).
    for (const auto& [command, occurrence] : {std::pair<uint16_t, uint32_t>{2, 3}, {80, 2}}) {
        sim::WriterSetup s;
        s.appBuild = 33000;
        Press(s, {{sim::FaultKind::kRefuse, 0, command, occurrence, 0, 0, 1}});
        ASSERT_EQ(window.boxes.size(), 1u) << command;
        EXPECT_EQ(window.boxes[0].text, "Unable to program your writer.  Error Code 111");
        EXPECT_EQ(writer->Count(command), occurrence) << "nothing sent after the refusal";
        EXPECT_FALSE(window.ended);
        window.boxes.clear();
    }
}

TEST_F(ProgrammingChain, WriterThatRestartsBeforeAnsweringTheResetIsReconnected) {
    sim::WriterSetup s;
    s.appBuild = 33000;  // the boot-code path: the chain's first reset restarts the writer
    s.restartDelayMs = 500;
    Press(s, {{sim::FaultKind::kLost, 0, 0x0051, 1, 0, 0, 1}});
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kSuccessBox);
    EXPECT_EQ(writer->Count(0x0051), 2u) << "the unanswered reset, then the closing one";
    EXPECT_EQ(devices->opens, 2) << "the reset reconnected";
}

TEST_F(ProgrammingChain, FontRegionMissingStopsWithoutAMessage) {
    MakeWriter(sim::WriterSetup{});
    writer->absentRegions = {10};
    StartDialog();
    dialog->OnGoClicked();
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_EQ(writer->Count(0x0051), 0u);
    EXPECT_EQ(writer->Count(96), 0u);
    EXPECT_EQ(window.Status(), dialog->m_welcomeText);
}

TEST_F(ProgrammingChain, WriterThatVanishesMidTransferGetsAMessageNotAHang) {
    Press(sim::WriterSetup{}, {{sim::FaultKind::kUnplug, 0, 2, 10, 0, 0, 1}});
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Unable to program your writer.  Error Code 101");
    EXPECT_EQ(writer->Count(2), 10u);
    EXPECT_EQ(window.Status(), dialog->m_welcomeText);
    EXPECT_LT(system.TotalSlept(), 10000u);
    EXPECT_NE(Log().find("Unable to program your writer.  Error Code 101\n"), std::string::npos);
    EXPECT_EQ(LogLines().back(), "Exiting");
}
