// Serves a writer model on the POSIX device socket: a SOCK_SEQPACKET
// socket named NAME.sock in the writer directory, gone while it restarts.
#pragma once

#include "simulator/presenter.h"

namespace sim {

// Runs until `stop` becomes true. Returns nonzero when the socket cannot be made.
int ServeSocket(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop);

}  // namespace sim
