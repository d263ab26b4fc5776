#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/intel_hex.h"

namespace {

constexpr uint32_t kBase = 0x80000000;
constexpr uint32_t kSize = 0x80000;

struct Parsed {
    int32_t result;
    std::vector<uint8_t> image;
};

Parsed Parse(const std::string& text) {
    Parsed p{0, std::vector<uint8_t>(kSize, 0xFF)};
    p.result = ParseIntelHex(text.data(), uint32_t(text.size()), p.image.data(), kSize, kBase);
    return p;
}

const std::string kUpper = ":020000048000" "7A" "\r\n";
const std::string kEnd = ":00000001FF\r\n";

}  // namespace

TEST(IntelHex, DataRecordsLandAtTheirWindowOffsets) {
    const Parsed p = Parse(kUpper + ":0420000001020304" "D2" "\r\n" + kEnd);
    EXPECT_EQ(p.result, 4);
    EXPECT_EQ(p.image[0x2000], 1);
    EXPECT_EQ(p.image[0x2003], 4);
    EXPECT_EQ(p.image[0x2004], 0xFF);
}

TEST(IntelHex, LowerCaseIsAccepted) {
    const Parsed p = Parse(":020000048000" "7a\n:02200000abcc" "67\n:00000001ff\n");
    EXPECT_EQ(p.result, 2);
    EXPECT_EQ(p.image[0x2000], 0xAB);
    EXPECT_EQ(p.image[0x2001], 0xCC);
}

TEST(IntelHex, SpanCoversLowestToHighestAddress) {
    const Parsed p = Parse(kUpper + ":0100100011" "DE" "\n" + ":01300000AA" "25" "\n" + kEnd);
    EXPECT_EQ(p.result, 0x3000 - 0x0010 + 1);
}

TEST(IntelHex, StoppingCharacterBetweenRecordsEndsWithTheSpanSoFar) {
    const Parsed p = Parse(kUpper + ":0120000055" "8A" "\n" + " trailing notes\n" + ":0120010066" "78" "\n");
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.image[0x2001], 0xFF);
}

TEST(IntelHex, WrongChecksumIsMinusThree) {
    EXPECT_EQ(Parse(kUpper + ":0120000055" "8B" "\n" + kEnd).result, kHexBadChecksum);
}

TEST(IntelHex, AddressOutsideTheWindowIsMinusTwo) {
    EXPECT_EQ(Parse(":0100000055" "AA" "\n" + kEnd).result, kHexOutsideWindow);  // below the base
    EXPECT_EQ(Parse(":020000048008" "72" "\n:0100000055" "AA" "\n" + kEnd).result, kHexOutsideWindow);
}

TEST(IntelHex, NoEndRecordOrNoColonFirstIsMinusOne) {
    EXPECT_EQ(Parse(kUpper + ":0120000055" "8A" "\n").result, kHexNoEnd);
    EXPECT_EQ(Parse("\n" + kUpper + kEnd).result, kHexNoEnd);
    EXPECT_EQ(Parse(kUpper + ":01200000").result, kHexNoEnd);
}

TEST(IntelHex, EndRecordEndsTheParseEvenWithAWrongChecksum) {
    EXPECT_EQ(Parse(kUpper + ":0120000055" "8A" "\n" + ":0000000100\n" + ":zz").result, 1);
}

TEST(IntelHex, DecisionsForEmptyDataRecordsTypeThreeAndNoData) {
    // A data record of no bytes is accepted and defines nothing.
    EXPECT_EQ(Parse(kUpper + ":00200000" "E0" "\n" + ":0120000055" "8A" "\n" + kEnd).result, 1);
    // Type 3 is summed and ignored like type 5.
    const Parsed t3 = Parse(kUpper + ":0400000300001234" "B3" "\n" + ":0120000055" "8A" "\n" + kEnd);
    EXPECT_EQ(t3.result, 1);
    EXPECT_EQ(t3.image[0], 0xFF);
    // A text that defines no data byte is not usable.
    EXPECT_EQ(Parse(kUpper + kEnd).result, kHexNoEnd);
}

TEST(IntelHex, SegmentAddressRecordsMultiplyBySixteen) {
    // Segment 0x0200 * 16 = 0x2000 with no upper linear address: outside the window.
    EXPECT_EQ(Parse(":020000020200" "FA" "\n:0100000055" "AA" "\n" + kEnd).result, kHexOutsideWindow);
}
