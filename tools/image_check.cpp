#include "tools/image_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "firmware/image_checksum.h"
#include "firmware/image_limits.h"
#include "firmware/machine_info.h"
#include "firmware/scanner_image.h"
#include "orvane_release.h"

namespace image_check {
namespace {

enum class Kind { kApplication, kBoot, kSpare, kFonts, kFont2, kScanner, kXLoader };

struct ImageKind {
    const char* file;
    Kind kind;
    uint32_t MachineInfo::*resource;
};

const ImageKind kImages[] = {
    {"application.bin", Kind::kApplication, &MachineInfo::appResource},
    {"boot.bin", Kind::kBoot, &MachineInfo::bootResource},
    {"spare.bin", Kind::kSpare, &MachineInfo::spareResource},
    {"fonts.bin", Kind::kFonts, &MachineInfo::fontResource},
    {"font2.bin", Kind::kFont2, &MachineInfo::font2Resource},
    {"scanner.hex", Kind::kScanner, &MachineInfo::scannerResource},
    {"xloader.bin", Kind::kXLoader, &MachineInfo::xloaderResource},
};

// A damaged text can break every line; the first few say enough.
constexpr size_t kMaxHexFaults = 8;

const ImageKind* Find(const std::string& name) {
    for (const ImageKind& k : kImages)
        if (name == k.file) return &k;
    return nullptr;
}

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// The tightest limit the file exceeds, if any.
bool CheckSize(Kind kind, uint64_t size, FileReport& r) {
    if (size == 0) {
        r.faults.push_back("empty");
        return false;
    }
    struct Limit {
        uint32_t bytes;
        const char* what;
    };
    std::vector<Limit> limits = {{kMaxDecodedLength, "the decoder's largest output"}};
    if (kind == Kind::kBoot) limits.push_back({kMaxTransferCopy, "the boot code transfer"});
    if (kind == Kind::kXLoader) limits.push_back({kMaxTransferCopy, "the X-Loader transfer"});
    std::stable_sort(limits.begin(), limits.end(), [](const Limit& a, const Limit& b) { return a.bytes < b.bytes; });
    for (const Limit& limit : limits) {
        if (size > limit.bytes) {
            r.faults.push_back(Format("%llu bytes, larger than %s (%u bytes)", (unsigned long long)size,
                                      limit.what, limit.bytes));
            return false;
        }
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Intel HEX held to its format, line by line. The step's parser skips what
// lies between records and stops at a character it does not expect, so a
// damaged file could otherwise lose records without a word.
void CheckHexRecords(const std::vector<uint8_t>& text, FileReport& r) {
    size_t faults = 0;
    auto fault = [&](size_t line, const std::string& what) {
        if (++faults <= kMaxHexFaults) r.faults.push_back(Format("line %zu: %s", line, what.c_str()));
    };
    if (text[0] != ':') {
        r.faults.push_back("does not begin with ':', so the program's parser reads nothing of it");
        return;
    }
    uint32_t extended = 0;
    bool ended = false;
    size_t lineNumber = 0;
    for (size_t pos = 0; pos < text.size();) {
        // Lines end in CR LF, LF or CR, as the parser skips either between records.
        size_t eol = pos;
        while (eol < text.size() && text[eol] != '\n' && text[eol] != '\r') ++eol;
        const std::string line(text.begin() + pos, text.begin() + eol);
        pos = eol + (eol + 1 < text.size() && text[eol] == '\r' && text[eol + 1] == '\n' ? 2 : 1);
        ++lineNumber;
        if (line.empty()) continue;
        if (ended) {
            fault(lineNumber, "text after the end-of-file record, which the program never reads");
            break;
        }
        if (line[0] != ':') {
            fault(lineNumber, "does not start with ':'");
            continue;
        }
        const size_t bad = line.find_first_not_of("0123456789ABCDEFabcdef", 1);
        if (bad != std::string::npos) {
            const unsigned char c = uint8_t(line[bad]);
            fault(lineNumber, std::isprint(c) ? Format("'%c' in column %zu is not a hex digit", c, bad + 1)
                                              : Format("byte 0x%02X in column %zu is not a hex digit", c, bad + 1));
            continue;
        }
        if (line.size() % 2 == 0 || line.size() < 11) {
            fault(lineNumber, Format("%zu hex digits: a record has an even number, at least 10", line.size() - 1));
            continue;
        }
        std::vector<uint8_t> bytes;
        for (size_t i = 1; i < line.size(); i += 2)
            bytes.push_back(uint8_t(HexValue(line[i]) << 4 | HexValue(line[i + 1])));
        const uint32_t count = bytes[0], address = uint32_t(bytes[1]) << 8 | bytes[2], type = bytes[3];
        if (bytes.size() != count + 5) {
            fault(lineNumber, Format("holds %zu data bytes, its count says %u", bytes.size() - 5, count));
            continue;
        }
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < bytes.size(); ++i) sum = uint8_t(sum + bytes[i]);
        if (uint8_t(sum + bytes.back()) != 0) {
            fault(lineNumber, Format("checksum 0x%02X, the record needs 0x%02X", bytes.back(), uint8_t(-sum)));
            continue;
        }
        if (type == 1) {
            ended = true;
        } else if (type == 2 || type == 4) {
            if (count != 2) {
                fault(lineNumber, Format("address record with %u data bytes instead of 2", count));
                continue;
            }
            extended = (uint32_t(bytes[4]) << 8 | bytes[5]) * (type == 2 ? 16u : 65536u);
        } else if (type == 0) {
            const uint32_t first = extended + address, last = first + count - 1;
            if (count != 0 && (first < kScannerBase || last - kScannerBase >= kScannerWindow || last < first))
                fault(lineNumber, Format("data at 0x%08X, outside the scanner's window 0x%08X-0x%08X", first,
                                         kScannerBase, kScannerBase + kScannerWindow - 1));
        } else if (type != 3 && type != 5) {
            fault(lineNumber, Format("record type %u, which the program would take for data", type));
        }
    }
    if (faults > kMaxHexFaults) r.faults.push_back(Format("and %zu more faults", faults - kMaxHexFaults));
    if (!ended) r.faults.push_back("no end-of-file record (:00000001FF) before the end of the text");
}

void CheckScanner(const std::vector<uint8_t>& text, FileReport& r) {
    CheckHexRecords(text, r);
    if (!r.faults.empty()) return;
    // What the step itself makes of the text, and the range it sends.
    std::unique_ptr<uint8_t[]> window(new uint8_t[kScannerWindow]);
    const int32_t parsed =
        ParseScannerWindow(reinterpret_cast<const char*>(text.data()), uint32_t(text.size()), window.get());
    if (parsed <= 0) {
        r.faults.push_back(Format("the program's parser refuses it (result %d)", int(parsed)));
        return;
    }
    const uint32_t end = ScannerSentEnd(window.get());
    if (end == kScannerFirstSent + 1 && window[kScannerFirstSent] == 0xFF) {
        r.faults.push_back(Format("no data from 0x%08X on: the sensor board would be sent nothing of it",
                                  kScannerBase + kScannerFirstSent));
        return;
    }
    r.checksum = ComputeImageChecksum(window.get() + kScannerFirstSent, end - kScannerFirstSent);
    r.description += Format(" %u, sent as 0x%08X-0x%08X", unsigned(ORVANE_RELEASE_SCANNER_VERSION),
                            kScannerBase + kScannerFirstSent, kScannerBase + end - 1);
}

void CheckXLoader(const std::vector<uint8_t>& bytes, FileReport& r) {
    static const char kMarker[] = "X-Loader ";
    const auto at = std::search(bytes.begin(), bytes.end(), kMarker, kMarker + sizeof kMarker - 1);
    if (at == bytes.end()) {
        r.faults.push_back("no version text (\"X-Loader ...\"): the step compares these texts to decide "
                           "whether to program it");
        return;
    }
    const auto stop = std::find(at, bytes.end(), uint8_t(0));
    if (stop == bytes.end()) {
        r.faults.push_back("its version text runs to the end of the file, with no zero byte after it");
        return;
    }
    const std::string text(at, stop);
    const std::string number = text.substr(sizeof kMarker - 1);
    const std::string expected = ORVANE_RELEASE_XLOADER_VERSION;
    const bool agrees = number.compare(0, expected.size(), expected) == 0 &&
                        (number.size() == expected.size() ||
                         !(std::isdigit(uint8_t(number[expected.size()])) || number[expected.size()] == '.'));
    if (!agrees) {
        r.faults.push_back("carries \"" + text.substr(0, 80) + "\", but release.cmake sets ORVANE_XLOADER_VERSION " +
                           expected);
        return;
    }
    r.description += " \"" + text.substr(0, 80) + "\"";
}

}  // namespace

const std::vector<std::string>& ImageFileNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const ImageKind& k : kImages) out.push_back(k.file);
        return out;
    }();
    return names;
}

FileReport CheckImage(const std::string& name, const std::vector<uint8_t>& bytes) {
    FileReport r;
    r.name = name;
    r.size = bytes.size();
    const ImageKind* kind = Find(name);
    if (!kind) {
        r.faults.push_back("not one of the release's images");
        return r;
    }
    const MachineInfo& row = g_machineInfo[kMachineTypeOrvane];
    r.description = Format("%s, resource %u: ", row.name, row.*(kind->resource));
    switch (kind->kind) {
        case Kind::kApplication:
            r.description += Format("application code %s, build %u", FormatVersion(row.appVersion).c_str(),
                                    row.appBuild);
            break;
        case Kind::kBoot:
            r.description += Format("boot code %s, build %u", FormatVersion(row.bootVersion).c_str(), row.bootBuild);
            break;
        case Kind::kSpare: r.description += "spare image, loaded by no step"; break;
        case Kind::kFonts: r.description += "fonts"; break;
        case Kind::kFont2: r.description += "Font2"; break;
        case Kind::kScanner: r.description += "keyboard scanner"; break;
        case Kind::kXLoader: r.description += "X-Loader"; break;
    }
    if (!CheckSize(kind->kind, bytes.size(), r)) return r;
    r.checksum = ComputeImageChecksum(bytes.data(), bytes.size());
    if (kind->kind == Kind::kScanner) CheckScanner(bytes, r);
    if (kind->kind == Kind::kXLoader) CheckXLoader(bytes, r);
    return r;
}

std::vector<FileReport> CheckImageFolder(const std::string& folder) {
    std::vector<FileReport> reports;
    for (const ImageKind& kind : kImages) {
        const std::filesystem::path path = std::filesystem::path(folder) / kind.file;
        std::error_code error;
        const bool present = std::filesystem::is_regular_file(path, error);
        const uint64_t size = present ? std::filesystem::file_size(path, error) : 0;
        if (!present || error) {
            FileReport r;
            r.name = kind.file;
            r.faults.push_back("missing");
            reports.push_back(r);
            continue;
        }
        // Too large to be sent is told without reading the file.
        if (size == 0 || size > kMaxDecodedLength) {
            FileReport r;
            r.name = kind.file;
            r.size = size;
            CheckSize(kind.kind, size, r);
            reports.push_back(r);
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad() || bytes.size() != size) {
            FileReport r;
            r.name = kind.file;
            r.faults.push_back("cannot be read");
            reports.push_back(r);
            continue;
        }
        reports.push_back(CheckImage(kind.file, bytes));
    }
    return reports;
}

}  // namespace image_check
