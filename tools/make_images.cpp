// orvane-make-images OUTDIR: writes the release's placeholder images.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/release_images.h"

using namespace release_images;

static bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) std::fprintf(stderr, "orvane-make-images: cannot write %s\n", path.c_str());
    return bool(out);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvane-make-images OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = Write(dir + "/application.bin", MakeApplication(kReleaseAppVersion, kReleaseAppBuild)) &&
              Write(dir + "/boot.bin", MakeBoot(kReleaseBootVersion, kReleaseBootBuild)) &&
              Write(dir + "/spare.bin", MakeSpare()) && Write(dir + "/fonts.bin", MakeFonts()) &&
              Write(dir + "/font2.bin", MakeFont2()) &&
              Write(dir + "/scanner.hex", MakeScannerHex(kReleaseScannerVersion)) &&
              Write(dir + "/xloader.bin", MakeXLoader(kReleaseXLoaderVersion));
    return ok ? 0 : 1;
}
