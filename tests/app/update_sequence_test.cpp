// The "&Go!" sequence against the simulated writer, on the virtual clock.
#include "resources/resource.h"
#include "tests/support/commands.h"
#include "tests/support/writer_fixture.h"

using namespace protocol;
using testsupport::Commands;

namespace {
const char kNoConnection[] =
    "Unable to open a connection with your steno machine.\nPlease make sure the writer is turned On "
    "and the USB cable is firmly connected";
const char kStamp[] = "December 09, 2025  12:00:00";
}  // namespace

class UpdateSequence : public testsupport::WriterFixture {
protected:
    void Press(const sim::WriterSetup& setup) {
        MakeWriter(setup);
        StartDialog();
        dialog->OnGoClicked();
    }
    std::vector<platform::testing::BoxRecord> ErrorBoxes() const {
        std::vector<platform::testing::BoxRecord> out;
        for (const auto& b : window.boxes)
            if (b.caption == "Error") out.push_back(b);
        return out;
    }
};

TEST_F(UpdateSequence, NoWriterGivesTheConnectionMessageAndSendsNothing) {
    MakeDefaultWriter();
    StartDialog();
    writer->Unplug();
    dialog->OnGoClicked();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kNoConnection);
    EXPECT_EQ(window.boxes[0].caption, "Error");
    EXPECT_EQ(window.boxes[0].style, ui::kMbIconError);
    EXPECT_FALSE(window.boxes[0].applicationLevel);
    EXPECT_EQ(window.Status(), dialog->m_welcomeText);
    EXPECT_TRUE(writer->log.empty());
    EXPECT_EQ(Log(), std::string(kStamp) + " - Orvane Update: Build: 35680\n" + kStamp + " - " +
                         kNoConnection + "\n" + kStamp + " - Exiting\n");
}

TEST_F(UpdateSequence, OtherModelGetsTheShortReportAndTheModelMessage) {
    sim::WriterSetup s;
    s.machineType = 5;
    s.appVersion = 0x0305;
    Press(s);
    EXPECT_NE(Log().find("USB found Kelvara Pravo(5), App. Ver. 3.05 \n" + std::string(kStamp) + " - Improper"),
              std::string::npos)
        << Log();
    ASSERT_EQ(ErrorBoxes().size(), 1u);
    EXPECT_EQ(ErrorBoxes()[0].text, "Improper Machine Type.  This update is not for Kelvara Pravo!");
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{kCmdIdentify, kCmdShowText}));
}

TEST_F(UpdateSequence, TypeAboveTheTableIsAnUnknownWriter) {
    sim::WriterSetup s;
    s.machineType = 40;
    s.inBoot = true;
    s.bootVersion = 0x0102;  // what a boot loader answers with
    Press(s);
    EXPECT_NE(Log().find("USB found Unknown Writer(23), Boot Ver. 1.02 \n"), std::string::npos) << Log();
    EXPECT_EQ(ErrorBoxes().at(0).text, "Improper Machine Type.  This update is not for Unknown Writer!");
}

TEST_F(UpdateSequence, ReportLinesOfAWriterRunningItsApplication) {
    Press(sim::WriterSetup{});
    const std::string log = Log();
    EXPECT_NE(log.find(" - USB found Orvane(22), App. Ver. 1.00.00, Build 35400\n\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" - USB found Orvane(22), Main Boot Ver. 1.00.00, Build 35390\n\n"), std::string::npos);
    EXPECT_NE(log.find(" - USB found Orvane(22), Secondary Boot Ver. 1.00.00, Build 35390\n\n"), std::string::npos);
    EXPECT_TRUE(ErrorBoxes().empty());
    EXPECT_EQ(dialog->m_writerMainBootBuild, 35390u);
}

TEST_F(UpdateSequence, BetaOfTheRunningVersionIsReported) {
    sim::WriterSetup s;
    s.appVersion = 0x01000002;
    s.appBuild = 35680;
    Press(s);
    EXPECT_NE(Log().find("App. Ver. 1.00.00 Beta 2, Build 35680\n"), std::string::npos);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "Orvane Update") << "the beta byte is ignored and the builds are equal";
}

TEST_F(UpdateSequence, DowngradeDeclinedSendsNothingMore) {
    sim::WriterSetup s;
    s.appBuild = 35700;
    Press(s);
    ASSERT_EQ(window.boxes.size(), 1u);
    const std::string warning =
        "You are about to install version 1.00.00, Build 35680\non a Machine that is running version "
        "1.00.00, Build 35700.\n              Are you sure you want to do this?";
    EXPECT_EQ(window.boxes[0].text, warning);
    EXPECT_EQ(window.boxes[0].caption, "Warning");
    EXPECT_EQ(window.boxes[0].style, ui::kMbYesNo | ui::kMbIconQuestion);
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{kCmdIdentify, kCmdReadBootVersions, kCmdShowText}));
    EXPECT_NE(Log().find(warning), std::string::npos);
}

TEST_F(UpdateSequence, DowngradeAcceptedGoesOn) {
    sim::WriterSetup s;
    s.appBuild = 35700;
    window.AnswerNext(ui::kIdYes);
    Press(s);
    EXPECT_EQ(writer->Count(kCmdOpenWriterFile), 1u);
    EXPECT_EQ(writer->Count(kCmdAccessClock), 1u);
}

TEST_F(UpdateSequence, HigherCarriedVersionWithALowerBuildWarns) {
    sim::WriterSetup s;
    s.appVersion = 0x00090000;
    s.appBuild = 35700;
    Press(s);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].text.find("running version 0.09.00, Build 35700."), std::string::npos);
}

TEST_F(UpdateSequence, BootLoaderReportShowsTheSubstitutedValues) {
    sim::WriterSetup s;
    s.inBoot = true;
    s.bootBuild = 34000;
    s.jobFileOpen = true;  // stops before the chain, which reads the boot fields anew
    Press(s);
    EXPECT_NE(Log().find(" - USB found Orvane(22), Boot. Ver. 0.00.00, Build 0\n\n"), std::string::npos) << Log();
    EXPECT_EQ(dialog->m_writerMainBootBuild, 34000u);
    EXPECT_EQ(dialog->m_writerAppBuild, 0u);
    EXPECT_EQ(dialog->m_writerAppVersion, 0u);
    EXPECT_EQ(writer->Count(kCmdReadBootVersions), 0u);
}

TEST_F(UpdateSequence, OpenJobFileStopsTheUpdate) {
    sim::WriterSetup s;
    s.jobFileOpen = true;
    Press(s);
    ASSERT_EQ(ErrorBoxes().size(), 1u);
    EXPECT_EQ(ErrorBoxes()[0].text, "Unable to program your writer.\nPlease close any open files on your Orvane");
    EXPECT_EQ(writer->Count(kCmdCloseWriterFile), 1u);
    EXPECT_EQ(writer->Count(kCmdAccessClock), 0u);
    EXPECT_EQ(writer->Requests(kCmdOpenWriterFile)[0].text, "REALTIME.000");
}

TEST_F(UpdateSequence, CleanUpClearsTheDisplayAndClosesWithItsPauses) {
    sim::WriterSetup s;
    s.jobFileOpen = true;
    Press(s);
    EXPECT_EQ(Commands(*writer), (std::vector<uint16_t>{kCmdIdentify, kCmdReadBootVersions,
                                                       kCmdOpenWriterFile, kCmdCloseWriterFile, kCmdShowText}));
    EXPECT_EQ(writer->Requests(kCmdShowText)[0].payloadSize, 0u);
    EXPECT_EQ(system.sleeps, (std::vector<uint32_t>{100, 2000, 100}));
    EXPECT_FALSE(dialog->m_link.IsOpen());
    EXPECT_EQ(window.Status(), dialog->m_welcomeText);
    EXPECT_EQ(writer->Count(kCmdEndProgramming), 0u);
}

TEST_F(UpdateSequence, FailedIdentificationOnALaterPressIsReported) {
    Press(sim::WriterSetup{});
    system.Advance(10000);  // back from the restart that ended the update
    writer->faults.push_back({sim::FaultKind::kNoReply, 0, kCmdIdentify, 0, 0, 0, 1});
    const size_t before = writer->log.size();
    const size_t logBefore = Log().size();
    dialog->OnGoClicked();
    ASSERT_EQ(ErrorBoxes().size(), 1u);
    EXPECT_EQ(ErrorBoxes()[0].text, "Unable to communicate with your steno machine.  Error Code 111");
    // No boot versions asked, no report of the earlier press's values; the
    // unanswered read closed the link, so the clean-up sends nothing.
    ASSERT_EQ(writer->log.size(), before + 1);
    EXPECT_EQ(writer->log.back().command, kCmdIdentify);
    EXPECT_EQ(Log().find("USB found", logBefore), std::string::npos);
}

TEST_F(UpdateSequence, SilentWriterAtTheFirstIdentificationIsNotReportedAsFound) {
    MakeDefaultWriter();
    writer->faults.push_back({sim::FaultKind::kNoReply, 0, kCmdIdentify, 0, 0, 0, 1});
    StartDialog();
    dialog->OnGoClicked();
    const std::string closed = "December 09, 2025  12:00:02";  // after the unanswered read's close
    EXPECT_EQ(Log(), std::string(kStamp) + " - Orvane Update: Build: 35680\n" + closed +
                         " - Unable to communicate with your steno machine.  Error Code 111\n" + closed +
                         " - Exiting\n");
}

TEST_F(UpdateSequence, WrongReplyToIdentificationIsAFailure) {
    MakeDefaultWriter();
    writer->faults.push_back({sim::FaultKind::kWrongCode, 0, kCmdIdentify, 0, 0, 0, 1});
    StartDialog();
    dialog->OnGoClicked();
    EXPECT_EQ(ErrorBoxes().at(0).text, "Unable to communicate with your steno machine.  Error Code 111");
}

TEST_F(UpdateSequence, TwoPressesGiveTwoLogBlocks) {
    Press(sim::WriterSetup{});
    dialog->OnGoClicked();
    const std::string log = Log();
    size_t headers = 0, exits = 0;
    for (size_t at = 0; (at = log.find("Orvane Update: Build: 35680\n", at)) != std::string::npos; ++at) ++headers;
    for (size_t at = 0; (at = log.find(" - Exiting\n", at)) != std::string::npos; ++at) ++exits;
    EXPECT_EQ(headers, 2u);
    EXPECT_EQ(exits, 2u);
    EXPECT_EQ(log.find('\r'), std::string::npos);
}

TEST_F(UpdateSequence, ChosenFlagsAreClearedAtTheStart) {
    MakeDefaultWriter();
    StartDialog();
    dialog->m_updateStarted = dialog->m_xloaderDone = dialog->m_bootCodeSent = dialog->m_appCodeSent = 1;
    writer->Unplug();
    dialog->OnGoClicked();
    EXPECT_EQ(dialog->m_updateStarted | dialog->m_xloaderDone | dialog->m_bootCodeSent | dialog->m_appCodeSent, 0);
}

// The PC is kept up for the whole of every press: from before the link
// opens until after its last close, however the press ends; never between.
namespace {
struct PressEnd {
    const char* name;
    std::function<void(sim::WriterSetup&)> setup;
    std::function<void(sim::WriterModel&)> writer;
    const char* box;  // the last box's text
    bool beta = false;
};

// Says where a device was opened or closed with nothing held.
class HoldWatch : public platform::DeviceProvider {
public:
    HoldWatch(platform::DeviceProvider& inner, platform::testing::VirtualSystem& system)
        : m_inner(inner), m_system(system) {}
    std::vector<std::string> unheld;
    int opens = 0, closes = 0;
    std::unique_ptr<platform::Device> OpenDeviceInterface(const platform::Guid& g, uint32_t member,
                                                          uint32_t& error) override {
        if (m_system.holdsHeld != 1) unheld.push_back("open");
        auto device = m_inner.OpenDeviceInterface(g, member, error);
        if (!device) return nullptr;
        ++opens;
        return std::make_unique<Watched>(std::move(device), *this);
    }

private:
    struct Watched : platform::Device {
        Watched(std::unique_ptr<platform::Device> d, HoldWatch& w) : inner(std::move(d)), watch(w) {}
        uint32_t Write(const uint8_t* data, uint32_t size) override { return inner->Write(data, size); }
        uint32_t Read(uint8_t* buffer, uint32_t capacity) override { return inner->Read(buffer, capacity); }
        void Control(uint32_t code) override { inner->Control(code); }
        uint32_t Close() override {
            if (watch.m_system.holdsHeld != 1) watch.unheld.push_back("close");
            ++watch.closes;
            return inner->Close();
        }
        std::unique_ptr<platform::Device> inner;
        HoldWatch& watch;
    };
    platform::DeviceProvider& m_inner;
    platform::testing::VirtualSystem& m_system;
};

sim::Fault At(sim::FaultKind kind, uint16_t command, uint32_t occurrence = 1, uint32_t code = 0) {
    sim::Fault f;
    f.kind = kind;
    f.command = command;
    f.occurrence = occurrence;
    f.code = code;
    return f;
}
}  // namespace

class PressHold : public testsupport::WriterFixture, public ::testing::WithParamInterface<PressEnd> {};

TEST_P(PressHold, HeldFromBeforeConnectUntilAfterTheLastClose) {
    const PressEnd& end = GetParam();
    sim::WriterSetup s;
    if (end.setup) end.setup(s);
    MakeWriter(s);
    if (end.writer) end.writer(*writer);
    HoldWatch watch(*devices, system);
    dialog.reset();
    platform = std::make_unique<platform::Platform>(platform::Platform{window, system, resources, watch});
    dialog = std::make_unique<CQuonUpdate100Dlg>(*platform);
    StartDialog();
    window.AnswerNext(end.beta ? ui::kIdYes : ui::kIdNo);
    end.beta ? dialog->OnBetaClicked() : dialog->OnGoClicked();
    ASSERT_EQ(window.boxes.size(), end.beta ? 2u : 1u);
    EXPECT_EQ(window.boxes.back().text, end.box);
    EXPECT_EQ(system.holdsBegun, 1);
    EXPECT_EQ(system.holdsHeld, 0);
    EXPECT_EQ(watch.opens, watch.closes);
    EXPECT_EQ(watch.unheld, std::vector<std::string>{});
    ASSERT_EQ(system.holdWindows.size(), 1u);
    EXPECT_EQ(system.holdWindows[0], dialog->m_native);
    // The next press holds afresh.
    writer->Replug();
    dialog->OnGoClicked();
    EXPECT_EQ(system.holdsBegun, 2);
    EXPECT_EQ(system.holdsHeld, 0);
    EXPECT_EQ(watch.unheld, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    WaysAPressEnds, PressHold,
    ::testing::Values(
        PressEnd{"Success", nullptr, nullptr, "Successfully updated the Orvane.\n           Click OK to Exit."},
        PressEnd{"NoWriter", nullptr, [](sim::WriterModel& w) { w.Unplug(); }, kNoConnection},
        PressEnd{"NoIdentification", nullptr,
                 [](sim::WriterModel& w) { w.faults.push_back(At(sim::FaultKind::kNoReply, kCmdIdentify)); },
                 "Unable to communicate with your steno machine.  Error Code 111"},
        PressEnd{"OtherModel", [](sim::WriterSetup& s) { s.machineType = 5, s.appVersion = 0x0305; }, nullptr,
                 "Improper Machine Type.  This update is not for Kelvara Pravo!"},
        PressEnd{"JobOpen", [](sim::WriterSetup& s) { s.jobFileOpen = true; }, nullptr,
                 "Unable to program your writer.\nPlease close any open files on your Orvane"},
        PressEnd{"DowngradeDeclined", [](sim::WriterSetup& s) { s.appBuild = 35700; }, nullptr,
                 "You are about to install version 1.00.00, Build 35680\non a Machine that is running version "
                 "1.00.00, Build 35700.\n              Are you sure you want to do this?"},
        PressEnd{"ScannerRefused", nullptr,
                 [](sim::WriterModel& w) {
                     sim::Fault f = At(sim::FaultKind::kRefuse, kCmdSensorBoardExchange, 0, 9);
                     f.times = -1;
                     w.faults.push_back(f);
                 },
                 "Error with updating sensor board.."},
        PressEnd{"ApplicationRefused", nullptr,
                 [](sim::WriterModel& w) {
                     w.faults.push_back(At(sim::FaultKind::kRefuse, kCmdProgramApplication, 3, 9));
                 },
                 "Unable to program your writer.  Error Code 9"},
        PressEnd{"UnpluggedMidTransfer", nullptr,
                 [](sim::WriterModel& w) { w.faults.push_back(At(sim::FaultKind::kUnplug, kCmdProgramApplication, 5)); },
                 "Unable to program your writer.  Error Code 101"},
        PressEnd{"NotBackAfterTheReset", [](sim::WriterSetup& s) { s.appBuild = 33000; },
                 [](sim::WriterModel& w) { w.stayAwayAfterRestart = true; },
                 "Unable to reset your writer."},
        PressEnd{"Beta", nullptr, nullptr, "Writer has been switched to Beta version", true}),
    [](const auto& info) { return std::string(info.param.name); });
