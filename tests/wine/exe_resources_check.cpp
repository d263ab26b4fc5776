// Reads OrvaneUpdate.exe's version record, manifest and its seven firmware
// containers back from the file, as Windows sees them.
#include "platform/win32/windows_headers.h"

#include <cstring>
#include <memory>
#include <string>

#include "firmware/image_loader.h"
#include "firmware/intel_hex.h"
#include "firmware/lzari.h"
#include "tests/wine/wine_check.h"

namespace {

std::string VersionString(const char* block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block, path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "";
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* exe = argv[1];

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe, &handle);
    CHECK(size != 0);
    std::unique_ptr<char[]> block(new char[size + 1]);
    CHECK(GetFileVersionInfoA(exe, 0, size, block.get()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    CHECK(VerQueryValueA(block.get(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed);
    if (fixed) {
        CHECK(fixed->dwFileVersionMS == ((1u << 16) | 35680) && fixed->dwFileVersionLS == 0);
        CHECK(fixed->dwProductVersionMS == ((1u << 16) | 35680) && fixed->dwProductVersionLS == 0);
        CHECK(fixed->dwFileFlagsMask == 0x3F);
        CHECK(fixed->dwFileFlags == 0);
        CHECK(fixed->dwFileOS == VOS__WINDOWS32);
        CHECK(fixed->dwFileType == VFT_APP);
    }
    WORD* translation = nullptr;
    CHECK(VerQueryValueA(block.get(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    if (translation) CHECK(translation[0] == 0x0409 && translation[1] == 0x04B0);
    CHECK_EQ_STR(VersionString(block.get(), "Comments"), "Build 35680");
    CHECK_EQ_STR(VersionString(block.get(), "FileDescription"), "OrvaneUpdate");
    CHECK_EQ_STR(VersionString(block.get(), "FileVersion"), "1.35680.0.0");
    CHECK_EQ_STR(VersionString(block.get(), "InternalName"), "OrvaneUpdate");
    CHECK_EQ_STR(VersionString(block.get(), "OriginalFilename"), "OrvaneUpdate.exe");
    CHECK_EQ_STR(VersionString(block.get(), "ProductName"), "OrvaneUpdate");
    CHECK_EQ_STR(VersionString(block.get(), "ProductVersion"), "1.35680.0.0");

    HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    CHECK(module != nullptr);
    const struct { uint32_t id, length; } kImages[] = {{169, 3037340}, {170, 475388}, {171, 768128}, {172, 1154944},
                                                      {173, 505152},  {174, 122152}, {189, 32712}};
    for (const auto& image : kImages) {
        HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(10), MAKEINTRESOURCEA(image.id),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        CHECK(found != nullptr);
        if (!found) continue;
        const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
        const uint32_t bytes = SizeofResource(module, found);
        CHECK(ContainerDecodedLength(data) == image.length);
        std::unique_ptr<uint8_t[]> out(new uint8_t[image.length + kDecodeSlack]);
        CArithmeticCompression decoder;
        CHECK(decoder.Decompress(data + 4, bytes - 4, out.get(), image.length) == image.length);
        if (image.id == 174) {
            std::unique_ptr<uint8_t[]> window(new uint8_t[0x80000]);
            std::memset(window.get(), 0xFF, 0x80000);
            CHECK(ParseIntelHex(reinterpret_cast<const char*>(out.get()), image.length, window.get(), 0x80000,
                                0x80000000) > 0);
        }
        if (image.id == 189) {
            bool banner = false;
            for (uint32_t i = 0; i + 9 <= image.length && !banner; ++i)
                banner = std::memcmp(out.get() + i, "X-Loader ", 9) == 0;
            CHECK(banner);
        }
    }
    char title[64] = {};
    LoadStringA(module, 57344, title, sizeof title);
    CHECK_EQ_STR(title, "Orvane Update");
    // The manifest's version follows the version record.
    HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    CHECK(manifest != nullptr);
    if (manifest) {
        const std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                               SizeofResource(module, manifest));
        CHECK(text.find("<assemblyIdentity version=\"1.35680.0.0\"") != std::string::npos);
    }
    return CheckSummary("exe_resources_check");
}
