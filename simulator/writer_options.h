// The simulated writer's options on a command line, shared by
// orvane-writer-sim on both platforms.
#pragma once

#include <string>
#include <vector>

#include "simulator/writer_setup.h"

namespace platform {
class Resources;
}

namespace sim {

struct WriterOptions {
    WriterSetup setup;
    std::vector<Fault> faults;
    bool noScannerVersion = false;
    bool stayAway = false;
    uint32_t displayNack = 0;
};

enum class OptionResult { kTaken, kBadValue, kNotAWriterOption };

// Reads the writer option at args[i], moving i past its value.
OptionResult ParseWriterOption(const std::vector<std::string>& args, size_t& i, WriterOptions& options);

// Builds the writer the options describe; `release` supplies this release's images.
void ApplyWriterOptions(WriterModel& model, const WriterOptions& options, platform::Resources& release);

}  // namespace sim
