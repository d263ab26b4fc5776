#include "tools/release_images.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace release_images {
namespace {

class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return uint32_t(m_state >> 16);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }

private:
    uint64_t m_state;
};

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

const char* const kWords[] = {
    "writer", "steno", "error", "file", "open", "close", "job", "real-time", "battery", "USB",
    "display", "keyboard", "sensor", "font", "dictionary", "translate", "court", "page", "line",
    "stroke", "buffer", "memory", "card", "WiFi", "network", "clock", "date", "time", "setting",
    "menu", "select", "cancel", "power", "charging", "update", "version", "build", "failed",
    "ready", "please", "wait", "insert", "remove", "saved", "deleted", "invalid", "%d", "%s"};

// Code-like bytes: instruction words from a few common shapes, literal
// pools of addresses, message strings and zero-filled alignment gaps.
void FillCode(std::vector<uint8_t>& b, size_t from, size_t to, Rng& rng) {
    static const uint32_t kShapes[] = {0xE59F0000, 0xE1A00000, 0xE3A00000, 0xE2800000,
                                       0xE5900000, 0xE5800000, 0xEB000000, 0xE12FFF10,
                                       0xE3500000, 0x0A000000, 0x1A000000, 0xE92D4000,
                                       0xE8BD8000, 0xE0800000, 0xE2400000, 0xE1500000};
    size_t i = from;
    uint32_t recentTarget = 0x100;
    while (i + 4 <= to) {
        const uint32_t pick = rng.Below(100);
        if (pick < 78) {  // a function body
            const uint32_t words = 8 + rng.Below(48);
            for (uint32_t w = 0; w < words && i + 4 <= to; ++w, i += 4) {
                uint32_t shape = kShapes[rng.Below(16) & rng.Below(16) & rng.Below(16)];
                uint32_t rd = rng.Below(4) & rng.Below(8), rn = rng.Below(4) ? rng.Below(4) : 13;
                const uint32_t kind = rng.Below(10);
                uint32_t imm = kind < 7 ? rng.Below(17) * 4 : kind < 9 ? rng.Below(256) : rng.Below(4096);
                if ((shape & 0x0F000000) == 0x0B000000 || (shape & 0x0F000000) == 0x0A000000) {
                    if (rng.Below(6) == 0) recentTarget = rng.Below(0x3FFFF);
                    imm = (recentTarget - uint32_t(i / 4)) & 0x00FFFFFF;
                    Put32(b, i, shape | imm);
                } else {
                    Put32(b, i, shape | (rn << 16) | (rd << 12) | (imm & 0xFFF));
                }
            }
        } else if (pick < 90) {  // literal pool
            const uint32_t words = 2 + rng.Below(10);
            for (uint32_t w = 0; w < words && i + 4 <= to; ++w, i += 4)
                Put32(b, i, 0x80000000u + (rng.Below(0x40000) & ~3u));
        } else if (pick < 97) {  // message strings
            const uint32_t count = 1 + rng.Below(6);
            for (uint32_t s = 0; s < count && i < to; ++s) {
                const uint32_t nw = 1 + rng.Below(6);
                for (uint32_t k = 0; k < nw && i < to; ++k) {
                    const char* word = kWords[rng.Below(sizeof kWords / sizeof kWords[0])];
                    for (const char* p = word; *p && i < to; ++p) b[i++] = uint8_t(*p);
                    if (i < to) b[i++] = k + 1 < nw ? ' ' : 0;
                }
            }
            while (i % 4 && i < to) b[i++] = 0;
        } else {  // alignment gap
            const uint32_t gap = 4 * (1 + rng.Below(64));
            for (uint32_t k = 0; k < gap && i < to; ++k) b[i++] = 0;
        }
    }
    while (i < to) b[i++] = uint8_t(rng.Below(256));
}

std::vector<uint8_t> MakeCodeImage(size_t length, Kind kind, uint32_t version, uint32_t build,
                                   uint64_t seed) {
    std::vector<uint8_t> b(length, 0);
    Rng rng(seed);
    // A vector table, then the descriptor, then code.
    for (size_t i = 0; i < 0x40; i += 4) Put32(b, i, 0xEA000000u | uint32_t(0x100 + i));
    WriteDescriptor(b, kDescriptorOffset, kind, version, build);
    FillCode(b, 0x80, length, rng);
    return b;
}

// Glyph bitmaps: for each size, 224 glyphs of strokes on a blank cell, with
// a small header per glyph. Mostly blank rows, as fonts are.
std::vector<uint8_t> MakeFontImage(size_t length, uint64_t seed) {
    std::vector<uint8_t> b(length, 0);
    Rng rng(seed);
    size_t i = 0;
    static const uint8_t kSizes[][2] = {{8, 12}, {12, 16}, {16, 24}, {24, 32}, {32, 48}};
    uint32_t sizeIndex = 0;
    std::memcpy(&b[0], "ORVFONT\0", 8);
    i = 64;
    while (i < length) {
        const uint32_t w = kSizes[sizeIndex % 5][0], h = kSizes[sizeIndex % 5][1];
        const uint32_t rowBytes = (w + 7) / 8;
        for (uint32_t glyph = 0; glyph < 224 && i < length; ++glyph) {
            if (i + 4 <= length) {
                b[i] = uint8_t(glyph + 32);
                b[i + 1] = uint8_t(w - rng.Below(3));
                b[i + 2] = uint8_t(h);
                b[i + 3] = 0;
                i += 4;
            }
            // A few strokes: vertical bars, horizontal bars and diagonals.
            std::vector<uint8_t> cell(rowBytes * h, 0);
            const uint32_t strokes = 2 + rng.Below(3);
            for (uint32_t s = 0; s < strokes; ++s) {
                const uint32_t kindOfStroke = rng.Below(3);
                const uint32_t x0 = 1 + rng.Below(w - 2), y0 = 2 + rng.Below(h / 2);
                const uint32_t len = h / 2 + rng.Below(h / 3);
                const uint32_t thick = 1 + w / 12;
                for (uint32_t t = 0; t < len; ++t)
                    for (uint32_t k = 0; k < thick; ++k) {
                        uint32_t x = x0 + k, y = y0 + t;
                        if (kindOfStroke == 1) { x = (x0 + t) % w; y = y0 + k; }
                        if (kindOfStroke == 2) { x = (x0 + t / 2 + k) % w; y = y0 + t; }
                        if (x < w && y < h) cell[y * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
                    }
            }
            for (uint8_t v : cell) {
                if (i >= length) break;
                b[i++] = v;
            }
        }
        ++sizeIndex;
    }
    return b;
}

}  // namespace

void WriteDescriptor(std::vector<uint8_t>& b, size_t at, Kind kind, uint32_t version, uint32_t build) {
    std::memcpy(&b[at], kDescriptorMagic, 8);
    Put32(b, at + 8, uint32_t(kind));
    Put32(b, at + 12, version);
    Put32(b, at + 16, build);
}

bool ReadDescriptor(const uint8_t* image, size_t size, Descriptor& d) {
    if (size < kDescriptorOffset + 20) return false;
    const uint8_t* p = image + kDescriptorOffset;
    if (std::memcmp(p, kDescriptorMagic, 8) != 0) return false;
    auto get = [&](int at) {
        return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 |
               uint32_t(p[at + 3]) << 24;
    };
    d.kind = Kind(get(8));
    d.version = get(12);
    d.build = get(16);
    return true;
}

std::vector<uint8_t> MakeApplication(uint32_t version, uint32_t build, uint32_t variant) {
    return MakeCodeImage(kApplicationLength, Kind::kApplication, version, build, 169 + variant * 1000);
}

std::vector<uint8_t> MakeBoot(uint32_t version, uint32_t build, uint32_t variant) {
    return MakeCodeImage(kBootLength, Kind::kBoot, version, build, 170 + variant * 1000);
}

std::vector<uint8_t> MakeSpare() {
    // Calibration-style tables: long runs of slowly changing records.
    std::vector<uint8_t> b(kSpareLength, 0xFF);
    Rng rng(171);
    size_t i = 0;
    uint32_t base = 0;
    while (i + 16 <= b.size()) {
        if (rng.Below(50) == 0) base = rng.Next();
        Put32(b, i, base);
        Put32(b, i + 4, base + uint32_t(i / 16));
        Put32(b, i + 8, rng.Below(8) == 0 ? rng.Next() : 0);
        Put32(b, i + 12, 0x0000FFFF);
        i += 16;
        if (rng.Below(200) == 0) i += 16 * rng.Below(256);  // erased gaps stay 0xFF
    }
    return b;
}

std::vector<uint8_t> MakeFonts(uint32_t variant) { return MakeFontImage(kFontsLength, 172 + variant * 1000); }
std::vector<uint8_t> MakeFont2(uint32_t variant) { return MakeFontImage(kFont2Length, 173 + variant * 1000); }

std::vector<uint8_t> MakeXLoader(const std::string& versionText, uint32_t variant) {
    std::vector<uint8_t> b = MakeCodeImage(kXLoaderLength, Kind::kXLoader, 0, 0, 189 + variant * 1000);
    const size_t at = 0x400;
    std::memcpy(&b[at], versionText.c_str(), versionText.size() + 1);
    return b;
}

std::vector<uint8_t> MakeScannerHex(uint32_t version, uint32_t variant) {
    // The window image first: a boot stub below 0x2000 (parsed, never sent)
    // and the board's program above it.
    const uint32_t stubEnd = 0x0C00;
    const uint32_t programStart = 0x2000;
    const uint32_t dataBytesTarget = 43000;
    std::vector<uint8_t> window(0x80000, 0xFF);
    Rng rng(174 + variant * 1000);
    std::vector<uint8_t> code(dataBytesTarget + 0x1000);
    FillCode(code, 0, code.size(), rng);
    std::memcpy(&window[0], code.data(), stubEnd);
    std::vector<uint8_t> program(code.begin() + stubEnd, code.end());
    std::memcpy(&window[programStart], program.data(), program.size());
    std::vector<uint8_t> desc(32, 0);
    WriteDescriptor(desc, 0, Kind::kScanner, version, 0);
    std::memcpy(&window[programStart + kDescriptorOffset], desc.data(), 20);

    std::string text;
    char line[80];
    auto record = [&](uint32_t count, uint32_t address, uint32_t type, const uint8_t* data) {
        uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
        int n = std::snprintf(line, sizeof line, ":%02X%04X%02X", count, address & 0xFFFF, type);
        text.append(line, size_t(n));
        for (uint32_t k = 0; k < count; ++k) {
            std::snprintf(line, sizeof line, "%02X", data[k]);
            text += line;
            sum += data[k];
        }
        std::snprintf(line, sizeof line, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    };
    const uint8_t upper[2] = {0x80, 0x00};
    record(2, 0, 4, upper);
    for (uint32_t a = 0; a < stubEnd; a += 16) record(16, a, 0, &window[a]);
    // Program records until the text is one end record short of its length.
    const size_t endRecord = 13;  // ":00000001FF\r\n"
    uint32_t a = programStart;
    while (true) {
        const size_t left = kScannerTextLength - endRecord - text.size();
        if (left < 15) break;  // smallest data record: 13 characters + one byte
        uint32_t count = 16;
        if (left < 45 + 15) count = uint32_t((left - 13) / 2);
        if (count > 16) count = 16;
        record(count, a, 0, &window[a]);
        a += count;
    }
    // An odd remainder is taken up by one blank line between records.
    while (text.size() + endRecord < kScannerTextLength) text += "\n";
    text += ":00000001FF\r\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace release_images
