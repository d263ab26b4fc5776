// The release's check of real images: each kind of fault is named with its
// file, and an image that passes gives the checksum the writer is told.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/writer_fixture.h"
#include "tools/image_check.h"
#include "tools/release_images.h"

using image_check::CheckImage;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// One Intel HEX record with its checksum.
std::string Record(unsigned type, unsigned address, const std::vector<uint8_t>& data) {
    char part[16];
    std::snprintf(part, sizeof part, ":%02X%04X%02X", unsigned(data.size()), address, type);
    std::string line = part;
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF) + type;
    for (uint8_t b : data) {
        std::snprintf(part, sizeof part, "%02X", b);
        line += part;
        sum += b;
    }
    std::snprintf(part, sizeof part, "%02X\r\n", (0x100 - sum % 0x100) % 0x100);
    return line + part;
}

const std::string kUpper = Record(4, 0, {0x80, 0x00});  // addresses from 0x80000000
const std::string kEnd = ":00000001FF\r\n";
const std::vector<uint8_t> kDigits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

std::string Faults(const image_check::FileReport& r) {
    std::string out;
    for (const std::string& f : r.faults) out += (out.empty() ? "" : "; ") + f;
    return out;
}

std::vector<uint8_t> XLoader(const std::string& text, size_t size = 32712) {
    std::vector<uint8_t> b(size, 0);
    std::copy(text.begin(), text.end(), b.begin() + 0x400);
    return b;
}

class ImageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace release_images;
        Write("application.bin", MakeApplication(kReleaseAppVersion, kReleaseAppBuild));
        Write("boot.bin", MakeBoot(kReleaseBootVersion, kReleaseBootBuild));
        Write("spare.bin", MakeSpare());
        Write("fonts.bin", MakeFonts());
        Write("font2.bin", MakeFont2());
        Write("scanner.hex", MakeScannerHex(kReleaseScannerVersion));
        Write("xloader.bin", MakeXLoader(kReleaseXLoaderVersion));
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir.File(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              std::streamsize(bytes.size()));
    }
    // The faults of every file, "name: fault" each.
    std::vector<std::string> AllFaults() {
        std::vector<std::string> out;
        for (const auto& r : image_check::CheckImageFolder(dir.Path()))
            for (const auto& f : r.faults) out.push_back(r.name + ": " + f);
        return out;
    }
    testsupport::TempDir dir;
};

}  // namespace

TEST_F(ImageFolder, PlaceholdersPassAndDescribeTheRelease) {
    const auto reports = image_check::CheckImageFolder(dir.Path());
    ASSERT_EQ(reports.size(), 7u);
    EXPECT_TRUE(AllFaults().empty());
    EXPECT_EQ(reports[0].description, "Orvane, resource 169: application code 1.00.00, build 35680");
    EXPECT_EQ(reports[1].description, "Orvane, resource 170: boot code 1.00.00, build 35673");
    EXPECT_EQ(reports[6].description, "Orvane, resource 189: X-Loader \"X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)\"");
}

TEST_F(ImageFolder, MissingOrEmptyFile) {
    std::filesystem::remove(dir.File("boot.bin"));
    Write("font2.bin", {});
    EXPECT_EQ(AllFaults(), (std::vector<std::string>{"boot.bin: missing", "font2.bin: empty"}));
}

TEST_F(ImageFolder, TooLarge) {
    // A sparse file: the size alone is refused, without reading 64 MiB.
    std::filesystem::resize_file(dir.File("fonts.bin"), 67108865);
    std::filesystem::resize_file(dir.File("boot.bin"), 67108865);
    EXPECT_EQ(AllFaults(),
              (std::vector<std::string>{
                  "boot.bin: 67108865 bytes, larger than the decoder's largest output (67108864 bytes)",
                  "fonts.bin: 67108865 bytes, larger than the decoder's largest output (67108864 bytes)"}));
}

TEST(ImageCheck, BadHexRecord) {
    const std::string data = Record(0, 0x2000, kDigits);
    std::string badSum = data;
    badSum[badSum.size() - 3] = 'B';  // the record ends in FA
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + badSum + kEnd))),
              "line 2: checksum 0xFB, the record needs 0xFA");
    // Like the program's parser, no wrap at 64 KiB: this record runs on to 0x80010000.
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + Record(0, 0xFFF8, kDigits) + kEnd))), "");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(Record(4, 0, {0x80, 0x08}) + data + kEnd))),
              "line 2: data at 0x80082000, outside the scanner's window 0x80000000-0x8007FFFF");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + data))),
              "no end-of-file record (:00000001FF) before the end of the text");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + " " + data + kEnd))),
              "line 2: does not start with ':'");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes("\n" + kUpper + data + kEnd))),
              "does not begin with ':', so the program's parser reads nothing of it");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + ":0920000031X2" + data.substr(13) + kEnd))),
              "line 2: 'X' in column 12 is not a hex digit");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + kEnd + data))),
              "line 3: text after the end-of-file record, which the program never reads");
    EXPECT_EQ(Faults(CheckImage("scanner.hex", Bytes(kUpper + Record(0, 0x1000, kDigits) + kEnd))),
              "no data from 0x80002000 on: the sensor board would be sent nothing of it");
}

TEST(ImageCheck, XLoaderWithoutItsText) {
    EXPECT_EQ(Faults(CheckImage("xloader.bin", XLoader("X-Loader1.5.4"))),
              "no version text (\"X-Loader ...\"): the step compares these texts to decide whether to program it");
    std::vector<uint8_t> open = XLoader("", 64);
    const std::string text = "X-Loader 1.5.4";
    std::copy(text.begin(), text.end(), open.end() - text.size());
    EXPECT_EQ(Faults(CheckImage("xloader.bin", open)),
              "its version text runs to the end of the file, with no zero byte after it");
    EXPECT_EQ(Faults(CheckImage("xloader.bin", XLoader("X-Loader 1.5.40 (Dec  1 2026)"))),
              "carries \"X-Loader 1.5.40 (Dec  1 2026)\", but release.cmake sets ORVANE_XLOADER_VERSION 1.5.4");
    EXPECT_EQ(Faults(CheckImage("xloader.bin", XLoader("X-Loader 1.5.4 (Dec  1 2026)"))), "");
}

TEST(ImageCheck, ChecksumIsThatOfWhatTheWriterIsSent) {
    EXPECT_EQ(CheckImage("application.bin", kDigits).checksum, 0x340BC6D9u);
    // The scanner: the range of the window from 0x80002000, not the text.
    const auto scanner = CheckImage("scanner.hex", Bytes(kUpper + Record(0, 0x0100, {0x55}) +
                                                         Record(0, 0x2000, kDigits) + kEnd));
    EXPECT_EQ(Faults(scanner), "");
    EXPECT_EQ(scanner.checksum, 0x340BC6D9u);
    EXPECT_EQ(scanner.description, "Orvane, resource 174: keyboard scanner 14760, sent as 0x80002000-0x80002008");
}
