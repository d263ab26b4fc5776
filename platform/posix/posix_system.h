// POSIX pieces that tests and the simulator reuse.
#pragma once

#include <memory>
#include <string>

#include "platform/system.h"

namespace platform::posix {

// Append-only, binary, exclusively locked (flock) while open; null when the
// file cannot be opened or another holder has it locked.
std::unique_ptr<LogFile> OpenExclusiveLog(const std::string& path);
// The documents folder: $XDG_DOCUMENTS_DIR, else DOCUMENTS of user-dirs.dirs,
// else $HOME/Documents.
bool FindDocumentsFolder(std::string& folder);
// The writer directory: $ORVANE_WRITER_DIR, else $XDG_RUNTIME_DIR/orvane-writers,
// else /tmp/orvane-writers-<uid>.
std::string WriterDirectory();

class PosixSystem : public System {
public:
    void Sleep(uint32_t milliseconds) override;
    bool GetDocumentsFolder(std::string& folder) override { return FindDocumentsFolder(folder); }
    std::string JoinPath(const std::string& folder, const char* name) override {
        return folder + "/" + name;
    }
    int64_t UtcSeconds() override;
    bool LocalTime(int64_t utcSeconds, LocalTimeParts& parts) override;
    TimeZoneBias GetTimeZoneBias() override;
    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override {
        return OpenExclusiveLog(path);
    }
    // Nothing on Linux to hold.
    std::unique_ptr<PressHold> HoldForPress(void*) override { return std::make_unique<PressHold>(); }
    // An exclusive lock on the writer directory.
    bool ClaimOnlyCopy() override;
};

}  // namespace platform::posix
