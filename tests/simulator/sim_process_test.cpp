// orvane-writer-sim in a process of its own, and a scripted client over its socket.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/quon_usb.h"
#include "platform/posix/posix_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "tests/support/process.h"
#include "tests/support/writer_fixture.h"

using namespace testsupport;

TEST(WriterSimProcess, IdentifiesAnswersReadsAndRestartsOverTheSocket) {
    TempDir dir;
    const std::string trace = dir.File("trace.txt");
    ChildProcess sim({ORVANE_SIM_BIN, "--dir", dir.Path(), "--restart-delay", "300"}, {}, trace);
    ASSERT_TRUE(WaitForPath(dir.File("writer0.sock"), 20000)) << ReadFileText(trace);

    ::setenv("ORVANE_WRITER_DIR", dir.Path().c_str(), 1);
    platform::posix::SocketDeviceProvider devices;
    platform::testing::VirtualSystem system;  // no real 2 s pause before each close
    platform::testing::ScriptedWindow window;
    CQuonUsb link(devices, system, &window);
    ASSERT_EQ(link.Connect(), 0u);
    ASSERT_EQ(link.Identify(nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(link.m_machineType, 22u);
    EXPECT_EQ(link.m_runningBuild, 35400u);

    uint32_t size = 0;
    const uint32_t address = link.QueryRegion(protocol::kRegionXLoader, &size);
    EXPECT_GT(size, 0u);
    std::vector<uint8_t> block(4096);
    ASSERT_TRUE(link.ReadMemoryBlock(address, 4096, block.data(), 4));
    const std::string banner(reinterpret_cast<const char*>(&block[0x400]));
    EXPECT_EQ(banner.rfind("X-Loader 1.4.9", 0), 0u);
    EXPECT_TRUE(link.ShowText("Hello from the test"));

    // End of programming: the writer drops the link, goes away and comes back.
    ASSERT_TRUE(link.EndProgramming(0));
    EXPECT_FALSE(link.ShowText(nullptr));
    link.Close();
    bool back = false;
    for (int i = 0; i < 200 && !back; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        back = link.Connect() == 0;
    }
    ASSERT_TRUE(back);
    EXPECT_EQ(link.Identify(nullptr, nullptr, nullptr, nullptr), 0u);
    link.Close();
    ::unsetenv("ORVANE_WRITER_DIR");
    sim.Stop();

    const std::string log = ReadFileText(trace);
    EXPECT_NE(log.find("display: \"Hello from the test\""), std::string::npos) << log;
    EXPECT_NE(log.find("EndProgramming (0x0051)"), std::string::npos);
    EXPECT_NE(log.find("back, running its application"), std::string::npos);
}

TEST(WriterSimProcess, HelpListsEveryOption) {
    TempDir dir;
    ChildProcess help({ORVANE_SIM_BIN, "--help"}, {}, dir.File("help.txt"));
    EXPECT_EQ(help.Wait(10000), 0);
    const std::string text = ReadFileText(dir.File("help.txt"));
    for (const char* option : {"--type", "--in-boot", "--current", "--job-open", "--clock-offset",
                               "--restart-delay", "--fault", "--stay-away", "--display-nack"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
    ChildProcess bad({ORVANE_SIM_BIN, "--fault", "nonsense"}, {}, dir.File("bad.txt"));
    EXPECT_EQ(bad.Wait(10000), 2);
}
