// Win32 backends of the seams, and the one extra the Wine tests need.
#pragma once

#include <memory>
#include <string>

#include "platform/device.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/window.h"

namespace platform::win32 {

class Win32System : public System {
public:
    void Sleep(uint32_t milliseconds) override;
    bool GetDocumentsFolder(std::string& folder) override;
    std::string JoinPath(const std::string& folder, const char* name) override {
        return folder + "\\" + name;
    }
    int64_t UtcSeconds() override;
    bool LocalTime(int64_t utcSeconds, LocalTimeParts& parts) override;
    TimeZoneBias GetTimeZoneBias() override;
    std::unique_ptr<LogFile> OpenLogFile(const std::string& path) override;
    std::unique_ptr<PressHold> HoldForPress(void* window) override;
    bool ClaimOnlyCopy() override;
};

class Win32Resources : public Resources {
public:
    bool FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) override;
    std::string LoadString(uint32_t id) override;
    void ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) override;
};

// SetupAPI discovery, then device file I/O with bounded reads.
class SetupApiDeviceProvider : public DeviceProvider {
public:
    std::unique_ptr<Device> OpenDeviceInterface(const Guid& interfaceClass, uint32_t member,
                                                uint32_t& error) override;
};

// Opens a device (or a message-mode pipe) by path; null with the system's
// error code on failure.
std::unique_ptr<Device> OpenDevicePath(const std::string& path, uint32_t& error,
                                       uint32_t readTimeoutMs = kReadTimeoutMs);

// Win32 dialogs built from the resource templates of the module.
class Win32Window : public WindowBackend {
public:
    intptr_t RunModal(CDialog& dialog) override;
    void EndDialog(CDialog& dialog, intptr_t result) override;
    void SetItemText(CDialog& dialog, int id, const std::string& text) override;
    std::string GetItemText(CDialog& dialog, int id) override;
    void SetCaption(CDialog& dialog, const std::string& text) override;
    int MessageBox(CDialog& owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    int AppMessageBox(const std::string& text, unsigned style) override;
    void SetApplicationName(const std::string& name) override { m_appName = name; }
    bool AppendSystemMenuItem(CDialog& dialog, unsigned id, const std::string& text) override;
    IconHandle LoadAppIcon(int resourceId) override;
    void SetIcon(CDialog& dialog, IconHandle icon, bool big) override;
    bool IsIconic(CDialog& dialog) override;
    IconPaint BeginIconPaint(CDialog& dialog) override;
    void EndIconPaint(CDialog& dialog, IconHandle icon, int x, int y) override;
    void DefaultPaint(CDialog& dialog) override;
    void DefaultSysCommand(CDialog& dialog, unsigned id, intptr_t lparam) override;
    void SetProgress(CDialog& dialog, uint64_t done, uint64_t total) override;

private:
    std::string m_appName;
};

// Opens a file to append to, exclusive to one writer; `shareReads` lets
// others read it meanwhile (the tests' log double).
std::unique_ptr<LogFile> OpenAppendingLog(const std::string& path, bool shareReads);

}  // namespace platform::win32
