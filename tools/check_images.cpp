// orvane-check-images FOLDER [--summary]: checks the release's images in
// FOLDER before anything is packed. Each fault goes to stderr as
// "FOLDER/file: fault", and any fault makes the exit status 1. --summary
// prints one tab-separated line per image for the release notes: name,
// bytes, image checksum, what the release carries it as.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/image_check.h"

int main(int argc, char** argv) {
    const bool summary = argc == 3 && std::strcmp(argv[2], "--summary") == 0;
    if (argc != 2 && !summary) {
        std::fprintf(stderr, "usage: orvane-check-images FOLDER [--summary]\n");
        return 2;
    }
    std::string folder = argv[1];
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    int faults = 0;
    for (const image_check::FileReport& r : image_check::CheckImageFolder(folder)) {
        for (const std::string& fault : r.faults) {
            std::fprintf(stderr, "orvane-check-images: %s/%s: %s\n", folder.c_str(), r.name.c_str(), fault.c_str());
            ++faults;
        }
        if (summary && r.faults.empty())
            std::printf("%s\t%llu\t0x%08X\t%s\n", r.name.c_str(), (unsigned long long)r.size, r.checksum,
                        r.description.c_str());
    }
    if (faults) std::fprintf(stderr, "orvane-check-images: %d fault(s): nothing may be packed from %s\n", faults, folder.c_str());
    return faults ? 1 : 0;
}
