// The simulated writer presented where the program looks for writers: a
// socket in the writer directory on POSIX, a device interface of the
// writer's class with a pipe behind its path under Wine. One per platform.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "simulator/writer_model.h"

namespace sim {

struct ServeOptions {
    std::string directory;          // POSIX: the writer directory
    std::string name = "writer0";   // the socket's name; under Wine, the device instance
    std::ostream* trace = nullptr;  // readable trace of requests and display texts
};

// Presents the writer until `stop` becomes true. Returns nonzero when it
// cannot be presented at all.
int PresentWriter(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop);

// A readable name for a command code.
const char* CommandName(uint16_t command);

}  // namespace sim
