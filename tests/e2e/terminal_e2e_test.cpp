// orvane-update behind its terminal front end against orvane-writer-sim,
// both as real processes on the POSIX device socket; orvane-pack and
// orvane-check-images.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/posix/terminal_window.h"
#include "resources/resource.h"

#include "tests/support/process.h"
#include "tests/support/writer_fixture.h"
#include "tools/release_images.h"

using namespace testsupport;

class TerminalEndToEnd : public ::testing::Test {
protected:
    // Starts the simulated writer with `options` and waits for its socket.
    void StartWriter(std::vector<std::string> options) {
        options.insert(options.begin(), {ORVANE_SIM_BIN, "--dir", writers.Path(), "--restart-delay", "300"});
        sim = std::make_unique<ChildProcess>(options, std::vector<std::string>{}, writers.File("trace.txt"));
        ASSERT_TRUE(WaitForPath(writers.File("writer0.sock"), 20000)) << Trace();
    }
    // Runs the program with `input` on its standard input; returns what it printed.
    std::string Run(const std::string& input, int* exitCode = nullptr) {
        env = {"ORVANE_WRITER_DIR=" + writers.Path(), "XDG_DOCUMENTS_DIR=" + docs.Path()};
        ChildProcess update({ORVANE_UPDATE_BIN}, env, docs.File("out.txt"), input);
        const int code = update.Wait(120000);
        if (exitCode) *exitCode = code;
        return ReadFileText(docs.File("out.txt"));
    }
    std::string Trace() const { return ReadFileText(writers.File("trace.txt")); }
    std::string Log() const { return ReadFileText(docs.File("QXUpdate.log")); }

    TempDir writers, docs;
    std::vector<std::string> env;
    std::unique_ptr<ChildProcess> sim;
};

TEST_F(TerminalEndToEnd, WholeUpdateEndsTheProgramByItself) {
    StartWriter({"--clock-offset", "1000"});
    int code = -1;
    const std::string out = Run("go\ny\n", &code);  // no "quit": the program ends after the update
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.rfind("== Orvane Update - Build:  35680 ==\nConnect Steno Machine via the USB cable\n", 0), 0u)
        << out;
    EXPECT_NE(out.find("[Orvane Update]\nYour Steno Machine's date/time doesn't match the PC date/time.\n"
                       "Do you want it to match the PC date/time?\n(y/n) "),
              std::string::npos)
        << out;
    const size_t scanner = out.find("Sending Sensor Board Code to Orvane...\n");
    const size_t fonts = out.find("Checking Fonts. from Orvane...\n");
    const size_t app = out.find("Sending Build 35680 to Orvane...\n");
    const size_t done = out.find("Orvane Updated.\n[Orvane Update]\nSuccessfully updated the Orvane.\n"
                                 "           Click OK to Exit.\n");
    EXPECT_LT(scanner, fonts);
    EXPECT_LT(fonts, app);
    EXPECT_LT(app, done) << out;
    EXPECT_NE(done, std::string::npos) << out;
    const std::string trace = Trace();
    EXPECT_NE(trace.find("AccessClock (0xe005) params 0 0"), std::string::npos);
    EXPECT_NE(trace.find("AccessClock (0xe005) params"), trace.rfind("AccessClock (0xe005) params"))
        << "the clock was read, then set";
    EXPECT_NE(trace.find("writer: application programmed"), std::string::npos) << trace;
    EXPECT_NE(trace.find("writer: restarting"), std::string::npos);
    const std::string log = Log();
    EXPECT_NE(log.find("USB found Orvane(22), App. Ver. 1.00.00, Build 35400\n"), std::string::npos) << log;
    const size_t success = log.find(" - Successfully updated the Orvane.\n");
    ASSERT_NE(success, std::string::npos) << log;
    EXPECT_EQ(log.find('\n', log.find('\n', success) + 1), log.size() - 1) << "the exit line ends the log";
    EXPECT_EQ(log.substr(log.size() - 11), " - Exiting\n");
}

TEST_F(TerminalEndToEnd, WriterThatCrashesIntoItsBootLoaderIsBroughtToTheReleaseByTheNextPress) {
    StartWriter({"--fault", "crash@cmd:2:10"});
    // The first press ends at the lost chunk; the second finds the boot loader and finishes.
    const std::string out = Run("go\ngo\n");
    const size_t lost = out.find("[Error]\nUnable to program your writer.  Error Code 101\n");
    const size_t done = out.find("Successfully updated the Orvane.\n           Click OK to Exit.\n");
    EXPECT_NE(lost, std::string::npos) << out;
    EXPECT_NE(done, std::string::npos) << out;
    EXPECT_LT(lost, done);
    const std::string trace = Trace();
    EXPECT_NE(trace.find("writer: back, running its boot loader"), std::string::npos) << trace;
    EXPECT_NE(Log().find("USB found Orvane(22), Boot. Ver. 0.00.00, Build 0\n"), std::string::npos) << Log();
}

TEST_F(TerminalEndToEnd, NoWriterDowngradeAndOpenJobFile) {
    std::string out = Run("\nq\n");  // nothing serves the directory yet
    EXPECT_NE(out.find("[Error]\nUnable to open a connection with your steno machine.\n"), std::string::npos) << out;

    StartWriter({"--app-build", "35700"});
    out = Run("go\nno\n");
    EXPECT_NE(out.find("[Warning]\nYou are about to install version 1.00.00, Build 35680\n"), std::string::npos) << out;
    EXPECT_EQ(Trace().find("OpenWriterFile"), std::string::npos);
    sim->Stop();

    StartWriter({"--job-open"});
    out = Run("go\n");
    EXPECT_NE(out.find("[Error]\nUnable to program your writer.\nPlease close any open files on your Orvane\n"),
              std::string::npos)
        << out;
}

TEST_F(TerminalEndToEnd, BetaSwitchRestartsTheWriter) {
    StartWriter({});
    const std::string out = Run("beta\nyes\nq\n");
    EXPECT_NE(out.find("[Orvane Update]\nWriter has been switched to Beta version\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Resetting writer.\nPlease wait while it reboots\n"), std::string::npos);
    const std::string trace = Trace();
    EXPECT_NE(trace.find("WriteSetting (0xe026) params 1 0 0 0 0 payload 4"), std::string::npos) << trace;
    EXPECT_NE(trace.find("back, running its application"), std::string::npos);
}

TEST_F(TerminalEndToEnd, ASecondCopyEndsAtOnceWhileTheFirstCompletes) {
    StartWriter({});
    env = {"ORVANE_WRITER_DIR=" + writers.Path(), "XDG_DOCUMENTS_DIR=" + docs.Path()};
    ChildProcess first({ORVANE_UPDATE_BIN}, env, docs.File("first.txt"), "go\n");
    // Its caption shows once it holds the writers.
    for (int i = 0; i < 200 && ReadFileText(docs.File("first.txt")).find("== Orvane Update") == std::string::npos; ++i)
        usleep(20000);
    ChildProcess second({ORVANE_UPDATE_BIN}, env, docs.File("second.txt"), "go\n");
    EXPECT_EQ(second.Wait(10000), 1);
    EXPECT_EQ(ReadFileText(docs.File("second.txt")),
              "orvane-update: another copy is already running for the writers in " + writers.Path() + "\n");
    EXPECT_EQ(first.Wait(120000), 0);
    EXPECT_NE(ReadFileText(docs.File("first.txt")).find("Successfully updated the Orvane."), std::string::npos);
    const std::string trace = Trace();
    EXPECT_EQ(trace.find("] #0 "), trace.rfind("] #0 ")) << "the second copy sent nothing";
}

TEST_F(TerminalEndToEnd, AboutBox) {
    const std::string out = Run("about\n");
    EXPECT_NE(out.find("[About Orvane Update]\nOrvane Update Build:  35680\n"), std::string::npos) << out;
}

class PackTool : public ::testing::Test {
protected:
    int Pack(const std::string& verb, const std::string& in, const std::string& out) {
        ChildProcess p({ORVANE_PACK_BIN, verb, in, out}, {}, dir.File("stderr.txt"));
        return p.Wait(60000);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream f(dir.File(name), std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    TempDir dir;
};

TEST_F(PackTool, RoundTripAndRefusals) {
    std::vector<uint8_t> text;
    for (int i = 0; i < 100000; ++i) text.push_back(uint8_t("steno writer firmware "[i % 22] + (i % 7 == 0)));
    Write("in.bin", text);
    EXPECT_EQ(Pack("pack", dir.File("in.bin"), dir.File("c.lzari")), 0);
    EXPECT_EQ(Pack("unpack", dir.File("c.lzari"), dir.File("out.bin")), 0);
    EXPECT_EQ(ReadFileText(dir.File("out.bin")), ReadFileText(dir.File("in.bin")));

    EXPECT_NE(Pack("unpack", dir.File("missing"), dir.File("x")), 0);
    EXPECT_NE(ReadFileText(dir.File("stderr.txt")).find("cannot read"), std::string::npos);
    Write("short.lzari", {1, 2});
    EXPECT_NE(Pack("unpack", dir.File("short.lzari"), dir.File("x")), 0);
    Write("huge.lzari", {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
    EXPECT_NE(Pack("unpack", dir.File("huge.lzari"), dir.File("x")), 0);
    const std::string message = ReadFileText(dir.File("stderr.txt"));
    EXPECT_NE(message.find("too large"), std::string::npos);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_NE(Pack("frobnicate", dir.File("in.bin"), dir.File("x")), 0);
}

TEST_F(PackTool, CheckImagesNamesTheFileAndTheFault) {
    using namespace release_images;
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"application.bin", MakeApplication(kReleaseAppVersion, kReleaseAppBuild)},
             {"boot.bin", MakeBoot(kReleaseBootVersion, kReleaseBootBuild)},
             {"spare.bin", MakeSpare()}, {"fonts.bin", MakeFonts()}, {"font2.bin", MakeFont2()},
             {"scanner.hex", MakeScannerHex(kReleaseScannerVersion)}, {"xloader.bin", std::vector<uint8_t>(512, 0)}})
        Write(name, bytes);
    auto check = [&](const std::vector<std::string>& args) {
        std::vector<std::string> argv = {ORVANE_CHECK_IMAGES_BIN, dir.Path()};
        argv.insert(argv.end(), args.begin(), args.end());
        return ChildProcess(argv, {}, dir.File("out.txt")).Wait(60000);
    };
    EXPECT_EQ(check({}), 1);
    const std::string out = ReadFileText(dir.File("out.txt"));
    EXPECT_NE(out.find("orvane-check-images: " + dir.Path() + "/xloader.bin: no version text"), std::string::npos)
        << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << "one fault, then the verdict";

    Write("xloader.bin", MakeXLoader(kReleaseXLoaderVersion));
    EXPECT_EQ(check({"--summary"}), 0);
    const std::string summary = ReadFileText(dir.File("out.txt"));
    EXPECT_EQ(summary.rfind("application.bin\t3037340\t0x", 0), 0u) << summary;
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 7);
}

// On a terminal one line shows the transfer and rewrites itself; it is gone
// before the next status text. Anywhere else nothing extra is printed.
TEST(TerminalProgress, OneLineOnATerminalNothingElsewhere) {
    for (const bool terminal : {true, false}) {
        std::istringstream in;
        std::ostringstream out;
        platform::posix::TerminalWindow window(in, out, false, terminal);
        platform::CDialog dialog(IDD_QUONUPDATE100_DIALOG, window);
        window.SetProgress(dialog, 0, 2900000);
        window.SetProgress(dialog, 1400000, 2900000);
        window.SetProgress(dialog, 2900000, 2900000);
        window.SetProgress(dialog, 0, 0);
        EXPECT_EQ(out.str(), terminal ? "\r[..............]   0 %  0.0 / 2.9 MB"
                                        "\r[#######.......]  48 %  1.4 / 2.9 MB"
                                        "\r[##############] 100 %  2.9 / 2.9 MB\r\033[K"
                                      : "");
    }
}
