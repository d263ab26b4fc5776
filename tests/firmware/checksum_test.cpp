#include <gtest/gtest.h>

#include <cstring>

#include "firmware/image_checksum.h"

TEST(ImageChecksum, CheckValueOfTheDigitsIsTheComplementOfCommonCrc32) {
    const char* digits = "123456789";
    EXPECT_EQ(ComputeImageChecksum(reinterpret_cast<const uint8_t*>(digits), 9), 0x340BC6D9u);
    EXPECT_EQ(~ComputeImageChecksum(reinterpret_cast<const uint8_t*>(digits), 9), 0xCBF43926u);
}

TEST(ImageChecksum, EmptyRangeKeepsTheInitialRegister) {
    EXPECT_EQ(ComputeImageChecksum(nullptr, 0), 0xFFFFFFFFu);
}

TEST(ImageChecksum, TableIsBuiltOnceAndByteUpdatesMatchRangeUpdates) {
    ImageChecksum first(kCrcInitial);
    ASSERT_EQ(g_crcTableReady, 1);
    g_crcTable[0] ^= 1;  // a rebuild would mend this entry
    ImageChecksum second(kCrcInitial);
    EXPECT_EQ(g_crcTable[0] & 1, 1u);
    g_crcTable[0] ^= 1;
    EXPECT_EQ(g_crcTable[1], 0x77073096u);

    uint8_t data[300];
    for (int i = 0; i < 300; ++i) data[i] = uint8_t(i * 7);
    ImageChecksum bytewise(kCrcInitial);
    for (uint8_t b : data) bytewise.Update(b);
    EXPECT_EQ(bytewise.Value(), ComputeImageChecksum(data, sizeof data));
}
