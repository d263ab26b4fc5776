// orvane-pack: writes and reads the image container.
//   orvane-pack pack IN OUT     container of IN (length word + LZARI stream)
//   orvane-pack unpack IN OUT   decodes with the program's decoder
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "firmware/image_loader.h"
#include "firmware/lzari.h"
#include "tools/lzari_encoder.h"

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const char* path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return bool(out);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "orvane-pack: %s\n", message.c_str());
    return 1;
}

int Usage() {
    std::fprintf(stderr, "usage: orvane-pack pack IN OUT | orvane-pack unpack IN OUT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Usage();
    const std::string verb = argv[1];
    std::vector<uint8_t> in;
    if (verb != "pack" && verb != "unpack") return Usage();
    if (!ReadFile(argv[2], in)) return Fail(std::string("cannot read ") + argv[2]);

    if (verb == "pack") {
        if (in.size() > kMaxDecodedLength)
            return Fail(std::string(argv[2]) + " is larger than 64 MiB");
        std::vector<uint8_t> container = PackContainer(in.data(), in.size());
        if (!WriteFile(argv[3], container.data(), container.size()))
            return Fail(std::string("cannot write ") + argv[3]);
        return 0;
    }

    if (in.size() < 4) return Fail(std::string(argv[2]) + ": damaged container (no length word)");
    const uint32_t length = ContainerDecodedLength(in.data());
    if (length == 0) return WriteFile(argv[3], in.data(), 0) ? 0 : Fail(std::string("cannot write ") + argv[3]);
    if (in.size() == 4) return Fail(std::string(argv[2]) + ": damaged container (no stream)");
    if (length > kMaxDecodedLength)
        return Fail(std::string(argv[2]) + ": decoded length " + std::to_string(length) +
                    " is too large");
    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size_t(length) + kDecodeSlack]);
    if (!out) return Fail("out of memory");
    CArithmeticCompression decoder;
    const uint32_t count = decoder.Decompress(in.data() + 4, uint32_t(in.size() - 4), out.get(), length);
    if (count != length)
        return Fail(std::string(argv[2]) + ": damaged container (decoded " + std::to_string(count) +
                    " bytes, length word says " + std::to_string(length) + ")");
    if (!WriteFile(argv[3], out.get(), count)) return Fail(std::string("cannot write ") + argv[3]);
    return 0;
}
