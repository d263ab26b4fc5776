#include "app/version_stamp.h"

#include <cstdio>

void ReadProgramVersion(platform::Resources& resources, uint32_t& mostSignificant,
                        uint32_t& leastSignificant) {
    resources.ReadProductVersion(mostSignificant, leastSignificant);
}

std::string GetProgramVersionText(platform::Resources& resources) {
    uint32_t ms = 0, ls = 0;
    ReadProgramVersion(resources, ms, ls);
    const unsigned long second = ms & 0xFFFF;
    const unsigned long third = ls >> 16;
    const unsigned long fourth = ls & 0xFFFF;
    char text[64];
    if (fourth != 0)
        std::snprintf(text, sizeof text, "%lu Beta %lu", second, fourth);
    else if (third != 0)
        std::snprintf(text, sizeof text, "%lu.%lu.%lu", second, third, fourth);
    else
        std::snprintf(text, sizeof text, "%lu", second);
    return text;
}
