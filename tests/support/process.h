// Starting the project's programs as child processes for end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    // Starts `argv` with extra environment entries; stdout and stderr go to `logPath`.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& logPath, const std::string& stdinText = "");
    ~ChildProcess();
    // Waits for the exit; -1 when it had to be killed after `timeoutMs`.
    int Wait(int timeoutMs);
    void Stop();

private:
    int m_pid = -1;
};

// Polls until `path` exists (true) or `timeoutMs` passed (false).
bool WaitForPath(const std::string& path, int timeoutMs);

}  // namespace testsupport
