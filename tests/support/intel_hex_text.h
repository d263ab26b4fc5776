// Intel HEX text for test images of the sensor board.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

// `data` at `address`: an extended linear address record, data records of
// 16 bytes, the end-of-file record; lines end in CR LF.
inline std::vector<uint8_t> IntelHexText(uint32_t address, const std::vector<uint8_t>& data) {
    std::string text;
    char field[16];
    auto record = [&](uint32_t type, uint32_t at, const uint8_t* bytes, uint32_t count) {
        unsigned sum = count + ((at >> 8) & 0xFF) + (at & 0xFF) + type;
        std::snprintf(field, sizeof field, ":%02X%04X%02X", count, at & 0xFFFF, type);
        text += field;
        for (uint32_t i = 0; i < count; ++i) {
            std::snprintf(field, sizeof field, "%02X", bytes[i]);
            text += field;
            sum += bytes[i];
        }
        std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        text += field;
    };
    const uint8_t upper[2] = {uint8_t(address >> 24), uint8_t(address >> 16)};
    record(4, 0, upper, 2);
    for (uint32_t done = 0; done < data.size(); done += 16)
        record(0, address + done, data.data() + done, std::min<uint32_t>(16, uint32_t(data.size()) - done));
    record(1, 0, nullptr, 0);
    return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace testsupport
