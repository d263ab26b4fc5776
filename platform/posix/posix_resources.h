#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/resources.h"

namespace platform::posix {

// The same values the Windows version resource holds.
struct VersionRecord {
    uint32_t fileVersionMS, fileVersionLS, productVersionMS, productVersionLS;
    uint32_t fileFlagsMask, fileFlags, fileOS, fileType;
    uint16_t language, codePage;
    std::vector<std::pair<std::string, std::string>> strings;
};
const VersionRecord& ProgramVersionRecord();

class PosixResources : public Resources {
public:
    bool FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) override;
    std::string LoadString(uint32_t id) override;
    void ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) override;
};

}  // namespace platform::posix
