// What the writer received, as a list of command codes.
#pragma once

#include <vector>

#include "simulator/writer_model.h"

namespace testsupport {

inline std::vector<uint16_t> Commands(const sim::WriterModel& writer) {
    std::vector<uint16_t> out;
    for (const sim::RequestRecord& r : writer.log) out.push_back(r.command);
    return out;
}

}  // namespace testsupport
