// Serves a writer model on the POSIX device socket: a SOCK_SEQPACKET
// socket named NAME.sock in the writer directory, gone while it restarts.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>

#include "simulator/writer_model.h"

namespace sim {

struct ServeOptions {
    std::string directory;
    std::string name = "writer0";
    std::ostream* trace = nullptr;  // readable trace of requests and display texts
};

// Runs until `stop` becomes true. Returns nonzero when the socket cannot be made.
int ServeSocket(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop);

// A readable name for a command code.
const char* CommandName(uint16_t command);

}  // namespace sim
