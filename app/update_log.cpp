// The update log: one block of time-stamped lines per button press.
#include <cstdio>

#include "app/message_format.h"
#include "app/update_dlg.h"
#include "app/version_stamp.h"
#include "resources/resource.h"

namespace {
constexpr size_t kPathBuffer = 520;
constexpr size_t kLineBuffer = 520;
constexpr size_t kStampBuffer = 128;
const char kLogFileName[] = "QXUpdate.log";
// English whatever the locale: the log is read by support staff.
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
}  // namespace

// "%B %d, %Y  %H:%M:%S" of the PC's local time; empty when it cannot be had.
std::string CQuonUpdate100Dlg::TimeStamp() {
    platform::LocalTimeParts t;
    if (!System().LocalTime(System().UtcSeconds(), t) || t.month < 1 || t.month > 12) return "";
    char stamp[kStampBuffer];
    const int n = std::snprintf(stamp, sizeof stamp, "%s %02d, %04d  %02d:%02d:%02d",
                                kMonths[t.month - 1], t.day, t.year, t.hour, t.minute, t.second);
    if (n < 0 || size_t(n) >= sizeof stamp) return "";
    return stamp;
}

void CQuonUpdate100Dlg::OpenUpdateLog() {
    std::string folder;
    if (!System().GetDocumentsFolder(folder)) return;
    const std::string path = System().JoinPath(folder, kLogFileName);
    if (path.size() >= kPathBuffer) return;  // does not fit the path buffer: no log
    m_logFile = System().OpenLogFile(path);
    if (!m_logFile) return;
    m_logOpen = 1;
    const std::string title = m_platform.resources.LoadString(IDS_APP_TITLE);
    const std::string version = GetProgramVersionText(m_platform.resources);
    const std::string header = FormatText<kLineBuffer>("%s - %s: Build: %s\n", TimeStamp().c_str(),
                                                       title.c_str(), version.c_str());
    m_logFile->Write(header.data(), header.size());
    m_logFile->Flush();
}

void CQuonUpdate100Dlg::WriteLogLine(const char* text) {
    if (!m_logOpen || !m_logFile) return;
    const std::string line = TimeStamp() + " - " + (text ? text : "") + "\n";
    m_logFile->Write(line.data(), line.size());
    m_logFile->Flush();
}

void CQuonUpdate100Dlg::CloseUpdateLog() {
    if (m_logOpen && m_logFile) {
        const std::string line = FormatText<kLineBuffer>("%s - Exiting\n", TimeStamp().c_str());
        m_logFile->Write(line.data(), line.size());
        m_logFile.reset();
    }
    m_logOpen = 0;
}
