// The main window and everything behind its buttons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "firmware/machine_info.h"
#include "link/quon_usb.h"
#include "platform/platform.h"

// Step results: 0 done or nothing to do, above 0 failed and already
// reported (the update stops), below 0 go on.
constexpr int kStepDone = 0;
constexpr int kStepFailed = 5;

constexpr uint32_t kMinBetaBuild = 34110;
constexpr uint32_t kClockToleranceSeconds = 300;

// The idle text of the status box for a release list ended by an empty name.
std::string BuildWelcomeText(const MachineInfo* releaseModels);

class CQuonUpdate100Dlg : public platform::CDialog {
public:
    explicit CQuonUpdate100Dlg(const platform::Platform& platform, platform::CDialog* parent = nullptr);
    ~CQuonUpdate100Dlg() override;

    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnCommand(int id, int notifyCode) override;
    void OnSysCommand(unsigned id, intptr_t lparam) override;
    void OnPaint() override;
    platform::IconHandle OnQueryDragIcon() override;

    // Button handlers.
    void OnGoClicked();
    void OnBetaClicked();

    // Update log and status display.
    void OpenUpdateLog();
    void WriteLogLine(const char* text);
    void CloseUpdateLog();

    // Writer clock.
    uint32_t GetLocalClockSeconds();
    int CheckWriterClock();

    int ResetWriter();
    int SwitchToBeta(bool on);
    void DisconnectWriter();

private:
    void DoDataExchange();
    // Phases A to D; returns when the update stops or ends.
    void RunUpdate();
    // Phase H: runs on every way out of the update.
    void CleanUp();
    // Logs a failure and shows it in an error box owned by the window.
    void ReportError(const std::string& text);
    std::string ModelName() const { return MachineName(m_link.m_machineType); }
    std::string TimeStamp();
    platform::System& System() { return m_platform.system; }

    const platform::Platform& m_platform;

public:
    platform::CButton m_goButton;
    platform::IconHandle m_hIcon = nullptr;
    std::string m_welcomeText;
    std::string m_versionText;
    std::string m_title;
    CQuonUsb m_link;
    uint32_t m_writerAppVersion = 0;
    uint32_t m_writerInBoot = 0;
    uint32_t m_writerAppBuild = 0;
    uint32_t m_writerMainBootVersion = 0;
    uint32_t m_writerMainBootBuild = 0;
    uint32_t m_writerSecBootVersion = 0;
    uint32_t m_writerSecBootBuild = 0;
    std::unique_ptr<platform::LogFile> m_logFile;
    uint8_t m_logOpen = 0;
    uint8_t m_updateStarted = 0;
    uint8_t m_xloaderDone = 0;
    uint8_t m_bootCodeSent = 0;
    uint8_t m_appCodeSent = 0;
};

class CQuonUpdate100App : public platform::CWinApp {
public:
    CQuonUpdate100App() : CWinApp(nullptr) {}
    bool InitInstance() override;
};

extern CQuonUpdate100App theApp;
