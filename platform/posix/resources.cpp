// Resources linked into the POSIX program: the packed images as blobs, the
// string table and the version record of the Windows .rc.
#include "platform/posix/posix_resources.h"

#include "resources/resource.h"
#include "resources/version.h"

extern "C" {
#define ORVANE_BLOB(id) extern const uint8_t orvane_blob_##id[], orvane_blob_##id##_end[];
ORVANE_BLOB(169)
ORVANE_BLOB(170)
ORVANE_BLOB(171)
ORVANE_BLOB(172)
ORVANE_BLOB(173)
ORVANE_BLOB(174)
ORVANE_BLOB(189)
#undef ORVANE_BLOB
}

namespace platform::posix {
namespace {
struct Blob {
    uint32_t id;
    const uint8_t* begin;
    const uint8_t* end;
};
const Blob kBlobs[] = {
    {169, orvane_blob_169, orvane_blob_169_end}, {170, orvane_blob_170, orvane_blob_170_end},
    {171, orvane_blob_171, orvane_blob_171_end}, {172, orvane_blob_172, orvane_blob_172_end},
    {173, orvane_blob_173, orvane_blob_173_end}, {174, orvane_blob_174, orvane_blob_174_end},
    {189, orvane_blob_189, orvane_blob_189_end},
};
}  // namespace

const VersionRecord& ProgramVersionRecord() {
    static const VersionRecord record = {
        (uint32_t(ORVANE_VER_MAJOR) << 16) | ORVANE_VER_BUILD,
        (uint32_t(ORVANE_VER_THIRD) << 16) | ORVANE_VER_FOURTH,
        (uint32_t(ORVANE_VER_MAJOR) << 16) | ORVANE_VER_BUILD,
        (uint32_t(ORVANE_VER_THIRD) << 16) | ORVANE_VER_FOURTH,
        0x3F,
        0,
        0x00000004,  // VOS__WINDOWS32
        0x00000001,  // VFT_APP
        ORVANE_VER_LANGUAGE,
        ORVANE_VER_CODEPAGE,
        {{"Comments", ORVANE_VER_COMMENTS},
         {"CompanyName", ORVANE_VER_COMPANY},
         {"FileDescription", ORVANE_VER_DESCRIPTION},
         {"FileVersion", ORVANE_VER_TEXT},
         {"InternalName", ORVANE_VER_INTERNAL},
         {"LegalCopyright", ORVANE_VER_COPYRIGHT},
         {"OriginalFilename", ORVANE_VER_ORIGINAL},
         {"ProductName", ORVANE_VER_PRODUCT},
         {"ProductVersion", ORVANE_VER_TEXT}},
    };
    return record;
}

bool PosixResources::FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) {
    for (const Blob& b : kBlobs) {
        if (b.id != id) continue;
        data = b.begin;
        size = uint32_t(b.end - b.begin);
        return true;
    }
    return false;
}

std::string PosixResources::LoadString(uint32_t id) {
    switch (id) {
        case IDS_APP_TITLE: return ORVANE_APP_TITLE;
        case IDS_ABOUTBOX: return ORVANE_ABOUT_MENU;
        default: return "";
    }
}

void PosixResources::ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) {
    const VersionRecord& r = ProgramVersionRecord();
    mostSignificant = r.productVersionMS;
    leastSignificant = r.productVersionLS;
}

}  // namespace platform::posix
