// The four seams a dialog needs, handed over together.
#pragma once

#include "platform/device.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/window.h"

namespace platform {

struct Platform {
    WindowBackend& window;
    System& system;
    Resources& resources;
    DeviceProvider& devices;
};

}  // namespace platform

namespace platform {

// Stands in for the framework's application object: the entry point hands
// it the platform, it takes its name from string 57344 when constructed
// without one, and runs InitInstance.
class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr) : m_appName(appName ? appName : "") {}
    virtual ~CWinApp() = default;
    virtual bool InitInstance() = 0;

    int Run(const Platform& platform) {
        m_platform = &platform;
        if (m_appName.empty()) m_appName = platform.resources.LoadString(kAppNameString);
        // One copy at a time: two would drive one writer.
        if (!platform.system.ClaimOnlyCopy()) return 1;
        platform.window.SetApplicationName(m_appName);
        InitInstance();
        m_platform = nullptr;
        return 0;
    }
    const Platform& GetPlatform() const { return *m_platform; }

    static constexpr uint32_t kAppNameString = 57344;
    std::string m_appName;
    CDialog* m_pMainWnd = nullptr;

private:
    const Platform* m_platform = nullptr;
};

}  // namespace platform
