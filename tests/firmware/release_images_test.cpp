// The seven containers the program carries, read back through the resources seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "firmware/image_loader.h"
#include "firmware/intel_hex.h"
#include "firmware/machine_info.h"
#include "tests/support/writer_fixture.h"
#include "tools/release_images.h"

namespace {

class FakeResources : public platform::Resources {
public:
    std::vector<uint8_t> blob;
    bool FindRcData(uint32_t, const uint8_t*& data, uint32_t& size) override {
        if (blob.empty()) return false;
        data = blob.data();
        size = uint32_t(blob.size());
        return true;
    }
    std::string LoadString(uint32_t) override { return ""; }
    void ReadProductVersion(uint32_t&, uint32_t&) override {}
};

}  // namespace

TEST(ReleaseImages, EveryContainerDecodesToItsTabledLength) {
    using namespace release_images;
    testsupport::ReleaseResources resources;
    const struct { uint32_t id, length; } kImages[] = {
        {169, kApplicationLength}, {170, kBootLength},     {171, kSpareLength}, {172, kFontsLength},
        {173, kFont2Length},       {174, kScannerTextLength}, {189, kXLoaderLength}};
    for (const auto& image : kImages) {
        SCOPED_TRACE(image.id);
        DecodedImage decoded;
        ASSERT_EQ(LoadCarriedImage(resources, image.id, image.id == 169 ? kApplicationDecodeSlack : kDecodeSlack,
                            decoded),
                  ImageLoadResult::kOk);
        EXPECT_EQ(decoded.lengthWord, image.length);
        EXPECT_EQ(decoded.length, image.length);
        EXPECT_GE(decoded.capacity, image.length + 256);
        if (image.id == 174) {
            std::vector<uint8_t> window(0x80000, 0xFF);
            EXPECT_GT(ParseIntelHex(reinterpret_cast<const char*>(decoded.bytes.get()), decoded.length,
                                    window.data(), 0x80000, 0x80000000),
                      0);
        }
        if (image.id == 189) {
            const uint8_t* b = decoded.bytes.get();
            const char marker[] = "X-Loader ";
            const uint8_t* hit = std::search(b, b + decoded.length, marker, marker + 9);
            ASSERT_NE(hit, b + decoded.length);
            EXPECT_STREQ(reinterpret_cast<const char*>(hit), kReleaseXLoaderVersion);
        }
    }
    const MachineInfo& row = g_machineInfo[22];
    for (uint32_t id : {row.appResource, row.bootResource, row.fontResource, row.font2Resource,
                        row.scannerResource, row.xloaderResource, row.spareResource}) {
        const uint8_t* data;
        uint32_t size;
        EXPECT_TRUE(resources.FindRcData(id, data, size)) << id;
    }
}

TEST(ReleaseImages, CodeImagesCarryTheirDescriptors) {
    using namespace release_images;
    const auto app = MakeApplication(kReleaseAppVersion, kReleaseAppBuild);
    Descriptor d{};
    ASSERT_TRUE(ReadDescriptor(app.data(), app.size(), d));
    EXPECT_EQ(d.kind, Kind::kApplication);
    EXPECT_EQ(d.build, 35680u);
    EXPECT_EQ(MakeScannerHex(kReleaseScannerVersion).size(), kScannerTextLength);
}

TEST(ImageLoader, DamagedLengthWordsTakeTheOutOfMemoryPath) {
    FakeResources r;
    DecodedImage image;
    EXPECT_EQ(LoadCarriedImage(r, 169, kDecodeSlack, image), ImageLoadResult::kMissing);
    r.blob = {1, 2, 3};
    EXPECT_EQ(LoadCarriedImage(r, 169, kDecodeSlack, image), ImageLoadResult::kMissing);
    r.blob = {0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34};  // 4 GiB - 1: must not wrap to a small buffer
    EXPECT_EQ(LoadCarriedImage(r, 169, kDecodeSlack, image), ImageLoadResult::kNoMemory);
    r.blob = {0x01, 0x00, 0x00, 0x04, 0x12};  // 64 MiB + 1
    EXPECT_EQ(LoadCarriedImage(r, 169, kDecodeSlack, image), ImageLoadResult::kNoMemory);
    r.blob = {0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(LoadCarriedImage(r, 169, kDecodeSlack, image), ImageLoadResult::kOk);
    EXPECT_EQ(image.length, 0u);
}
