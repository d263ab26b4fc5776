// Resources seam: RCDATA by id, string resources and the version record.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class Resources {
public:
    virtual ~Resources() = default;
    // The bytes stay valid for the life of the program.
    virtual bool FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) = 0;
    // Empty when there is no such string.
    virtual std::string LoadString(uint32_t id) = 0;
    // The product version words of the program's own version record;
    // the outputs are written only when the record could be read.
    virtual void ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) = 0;
};

}  // namespace platform
