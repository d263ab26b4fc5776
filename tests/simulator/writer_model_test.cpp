// The simulated writer's own logic, driven through the real link.
#include "firmware/image_checksum.h"
#include "link/quon_usb.h"
#include "tests/support/packets.h"
#include "tests/support/writer_fixture.h"
#include "tools/release_images.h"

using namespace protocol;
using testsupport::Bytes;

class WriterModelTest : public testsupport::WriterFixture {
protected:
    void SetUp() override { Connect(sim::WriterSetup{}); }
    void Connect(const sim::WriterSetup& setup) {
        link.reset();  // it refers to the writer about to be replaced
        MakeWriter(setup);
        link = std::make_unique<CQuonUsb>(*devices, system, &window);
        ASSERT_EQ(link->Connect(), 0u);
        ASSERT_EQ(link->Identify(nullptr, nullptr, nullptr, nullptr), 0u);
    }
    // Ends programming and waits on the virtual clock until the writer is back.
    void Restart() {
        ASSERT_TRUE(link->EndProgramming(0));
        link->Close();
        for (int i = 0; i < 20 && !link->IsOpen(); ++i) {
            system.Sleep(1000);
            link->Connect();
        }
        ASSERT_TRUE(link->IsOpen());
        ASSERT_EQ(link->Identify(nullptr, nullptr, nullptr, nullptr), 0u);
    }
    std::unique_ptr<CQuonUsb> link;
};

TEST_F(WriterModelTest, OutOfDateByDefault) {
    EXPECT_EQ(link->m_machineType, 22u);
    EXPECT_EQ(link->m_inBoot, 0u);
    EXPECT_EQ(link->m_runningBuild, 35400u);
    EXPECT_EQ(link->m_scannerVersion, 14500u);
    uint32_t mainVersion = 0, mainBuild = 0;
    EXPECT_EQ(link->ReadBootVersions(&mainVersion, &mainBuild, nullptr, nullptr), 0u);
    EXPECT_EQ(mainBuild, 35390u);
}

TEST_F(WriterModelTest, RestartRunsTheProgrammedApplication) {
    const Bytes app = release_images::MakeApplication(0x01000000, 35680);
    link->AnnounceCrc(ComputeImageChecksum(app.data(), app.size()));
    ASSERT_EQ(link->ProgramApplication(app.data(), uint32_t(app.size()), 22), 0u);
    const uint64_t before = system.NowMs();
    Restart();
    EXPECT_GE(system.NowMs() - before, 3000u);
    EXPECT_EQ(link->m_inBoot, 0u);
    EXPECT_EQ(link->m_runningBuild, 35680u);
    EXPECT_EQ(writer->restarts, 1u);
}

TEST_F(WriterModelTest, RestartRunsTheBootLoaderWhenTheApplicationIsErased) {
    uint32_t size = 0;
    const uint32_t address = link->QueryRegion(kRegionApplication, &size);
    ASSERT_TRUE(link->EraseRegion(address, size));
    Restart();
    EXPECT_EQ(link->m_inBoot, 1u);
    EXPECT_EQ(link->m_runningBuild, 35390u);  // the boot loader's build
}

TEST_F(WriterModelTest, TransfersCheckTheAnnouncedChecksum) {
    const Bytes loader = release_images::MakeXLoader("X-Loader 9.0");
    // ProgramLoader announces the checksum itself; a wrong one is refused at the end.
    writer->faults.push_back({sim::FaultKind::kRefuse, 0, kCmdAnnounceCrc, 0, 1, 0, 1});
    EXPECT_EQ(link->ProgramLoader(loader.data(), uint32_t(loader.size()), 22, 0), sim::kErrNoChecksum);
    link->AnnounceCrc(0x12345678);
    const Bytes app(70000, 0x5A);
    EXPECT_EQ(link->ProgramApplication(app.data(), uint32_t(app.size()), 22), sim::kErrChecksum);
    EXPECT_EQ(link->ProgramLoader(loader.data(), uint32_t(loader.size()), 22, 0), 0u);
    const Bytes& region = writer->Region(kRegionXLoader);
    EXPECT_TRUE(std::equal(loader.begin(), loader.end(), region.begin()));
}

TEST_F(WriterModelTest, TransfersAreRefusedWhileAJobIsOpen) {
    sim::WriterSetup setup;
    setup.jobFileOpen = true;
    Connect(setup);
    EXPECT_EQ(link->OpenWriterFile("REALTIME.000"), 0u);
    const Bytes boot(1000, 1);
    EXPECT_EQ(link->ProgramBoot(boot.data(), 1000, 22, 0), kWriterBusy);
    EXPECT_FALSE(link->EndProgramming(0));  // file open: refused with bits 1
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Cannot Program, File open");
    EXPECT_TRUE(link->CloseWriterFile());
    EXPECT_EQ(link->ProgramBoot(boot.data(), 1000, 22, 0), 0u);
}

TEST_F(WriterModelTest, EraseWorksInWholeUnitsAndWritesOnlyClearBits) {
    uint32_t size = 0;
    const uint32_t fonts = link->QueryRegion(kRegionFonts, &size);
    EXPECT_EQ(size, 0x200000u);
    EXPECT_TRUE(link->EraseRegion(fonts, 1));  // rounded up to 128 KiB by the link
    EXPECT_EQ(writer->Region(kRegionFonts)[0x1FFFF], 0xFF);
    EXPECT_NE(writer->Region(kRegionFonts)[0x20000 + 64], 0xFF);  // the next unit is untouched
    const Bytes data(100, 0x0F);
    EXPECT_TRUE(link->WriteMemoryBlock(data.data(), fonts, 100));
    uint8_t back[100];
    EXPECT_TRUE(link->ReadMemoryBlock(fonts, 100, back, 4));
    EXPECT_EQ(back[99], 0x0F);
    const Bytes more(100, 0xF0);
    EXPECT_TRUE(link->WriteMemoryBlock(more.data(), fonts, 100));
    EXPECT_TRUE(link->ReadMemoryBlock(fonts, 100, back, 4));
    EXPECT_EQ(back[0], 0x00);  // flash keeps the cleared bits
    uint32_t none = 1;
    EXPECT_EQ(link->QueryRegion(kRegionWifiApp, &none), 0u);
    EXPECT_EQ(none, 0u);
}

TEST_F(WriterModelTest, SensorBoardChecksumCoversTheAskedRange) {
    uint8_t answer[1024];
    uint32_t length = 0;
    const Bytes range = testsupport::U32s({0x80002000, 1001});
    ASSERT_EQ(link->SensorBoardExchange(kScannerSubChecksum, range.data(), 8, answer, sizeof answer, &length), 0u);
    ASSERT_EQ(length, 4u);
    const uint32_t v = uint32_t(answer[0]) << 24 | answer[1] << 16 | answer[2] << 8 | answer[3];
    EXPECT_EQ(v, ComputeImageChecksum(&writer->sensorMemory[0x2000], 1001));

    const uint8_t start = 0, finish = 1;
    Bytes write = testsupport::U32s({0x80002000});
    write.push_back(0xAB);
    EXPECT_EQ(link->SensorBoardExchange(kScannerSubWrite, write.data(), 5, nullptr, 0, nullptr),
              kNoValidReply);  // not in programming mode
    EXPECT_EQ(link->SensorBoardExchange(kScannerSubControl, &start, 1, answer, sizeof answer, &length), 0u);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(link->SensorBoardExchange(kScannerSubWrite, write.data(), 5, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(writer->sensorMemory[0x2000], 0xAB);
    EXPECT_EQ(link->SensorBoardExchange(kScannerSubControl, &finish, 1, answer, sizeof answer, &length), 0u);
}

TEST_F(WriterModelTest, FaultsFireExactlyWhenTold) {
    writer->faults.push_back({sim::FaultKind::kNoReply, 3});
    writer->faults.push_back({sim::FaultKind::kRefuse, 0, kCmdShowText, 2, 42, 0, 1});
    // Request 1 was the identification.
    EXPECT_TRUE(link->ShowText("one"));     // request 2
    EXPECT_FALSE(link->ShowText("two"));    // request 3: swallowed (it is also the 2nd ShowText,
                                            // but the first matching fault wins)
    EXPECT_FALSE(link->IsOpen()) << "a reply that never came closes the handle";
    ASSERT_EQ(link->Connect(), 0u);
    EXPECT_TRUE(link->ShowText("three"));   // 3rd ShowText: the refusal waits for the 2nd only
    EXPECT_EQ(writer->Count(kCmdShowText), 3u);
    EXPECT_EQ(writer->display, "three");
    writer->faults.push_back({sim::FaultKind::kRefuse, 0, kCmdShowText, 4, 42, 0, 1});
    EXPECT_FALSE(link->ShowText("four"));
    EXPECT_EQ(writer->display, "three");

    writer->faults.push_back({sim::FaultKind::kCorruptRead, 0, kCmdReadMemoryBlock, 0, 0, 0, 1});
    uint8_t back[64];
    EXPECT_TRUE(link->ReadMemoryBlock(0, 64, back, 4));
    EXPECT_NE(back[32], writer->Region(kRegionXLoader)[32]);
    EXPECT_TRUE(link->ReadMemoryBlock(0, 64, back, 4));
    EXPECT_EQ(back[32], writer->Region(kRegionXLoader)[32]);

    writer->faults.push_back({sim::FaultKind::kSlowReply, 0, kCmdIdentify, 0, 0, 40000, 1});
    const uint64_t before = system.NowMs();
    EXPECT_EQ(link->Identify(nullptr, nullptr, nullptr, nullptr), kNoValidReply);
    EXPECT_EQ(system.NowMs() - before, 32000u);  // the read bound, then the close and its pause
    ASSERT_EQ(link->Connect(), 0u);

    // unplug=1500: plugged back in after 1.5 s; a plain unplug stays away.
    writer->faults.push_back({sim::FaultKind::kUnplug, 0, kCmdShowText, 0, 1500, 0, 1});
    EXPECT_FALSE(link->ShowText("gone for a while"));
    link->Close();  // its pause: 2 s
    ASSERT_EQ(link->Connect(), 0u);
    writer->faults.push_back({sim::FaultKind::kUnplug, 0, kCmdShowText, 0, 0, 0, 1});
    EXPECT_FALSE(link->ShowText("gone"));
    link->Close();
    system.Advance(600000);
    EXPECT_NE(link->Connect(), 0u);
}

TEST_F(WriterModelTest, RequestLogRecordsEveryRequest) {
    link->ShowText("Loading new fonts");
    const sim::RequestRecord& r = writer->log.back();
    EXPECT_EQ(r.command, kCmdShowText);
    EXPECT_EQ(r.sequence, 1u);
    EXPECT_EQ(r.payloadSize, 32u);
    EXPECT_EQ(r.text, "Loading new fonts");
    EXPECT_EQ(writer->log.front().command, kCmdIdentify);
}

TEST_F(WriterModelTest, StaysAwayOrLeavesTheFirstProbesUnanswered) {
    writer->displayNackProbes = 2;
    Restart();
    EXPECT_FALSE(link->ShowText(nullptr));
    EXPECT_FALSE(link->ShowText(nullptr));
    EXPECT_TRUE(link->ShowText(nullptr));
    writer->stayAwayAfterRestart = true;
    ASSERT_TRUE(link->EndProgramming(0));
    link->Close();
    system.Sleep(60000);
    EXPECT_NE(link->Connect(), 0u);
}

TEST_F(WriterModelTest, CurrentWriterHoldsTheRelease) {
    sim::WriterSetup setup;
    setup.current = true;
    Connect(setup);
    EXPECT_EQ(link->m_runningBuild, 35680u);
    EXPECT_EQ(link->m_scannerVersion, 14760u);
    EXPECT_EQ(writer->mainBootBuild, 35673u);
}
