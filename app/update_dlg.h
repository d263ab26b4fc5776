// The main window and everything behind its buttons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "firmware/image_loader.h"
#include "firmware/machine_info.h"
#include "link/quon_usb.h"
#include "platform/platform.h"

// Step results: 0 done or nothing to do, above 0 failed and already
// reported (the update stops), below 0 go on.
constexpr int kStepDone = 0;
// No memory, a missing or unusable image, a failed scanner or X-Loader read.
constexpr int kStepError = 1;
constexpr int kStepFailed = 5;
constexpr int kStepRegionDiffers = 6;
constexpr int kStepNoFontRegion = 7;

// Writers below this build first get the boot code (and then the
// application or an erased application region) before the chain.
constexpr uint32_t kBootUpgradeBuild = 33720;

constexpr uint32_t kMinBetaBuild = 34110;
constexpr uint32_t kClockToleranceSeconds = 300;

// The PC's local wall clock in seconds, as the writer's clock keeps it.
uint32_t LocalClockSeconds(platform::System& system);

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

    // Image steps, in the order of the chain's calls; each follows the step
    // results above and has shown its own message when it returns above 0.
    int UpdateScanner();
    int UpdateWifiApp();
    int UpdateWifiNvs();
    int UpdateFonts();
    int UpdateFont2();
    int UpdateXLoader();
    int UpdateBootCode();
    int UpdateApplicationCode();
    int EraseApplicationRegion();

    // The seven texts a region check shows; the log and status texts take
    // the model name.
    struct RegionTexts {
        const char* checkDisplay;
        const char* checkLog;
        const char* checkStatus;
        const char* rewriteDisplay;
        const char* rewriteLog;
        const char* rewriteStatus;
        const char* failureDisplay;
    };
    // Reads a region back and rewrites it on a difference: at most three
    // checks and two rewrites. Returns 0, 1, 6, `sizeZeroResult` when the
    // writer reports the region's size as 0, or 5 when a query of the region
    // got no valid reply.
    int VerifyAndRewriteRegion(uint32_t regionId, const uint8_t* image, uint32_t length,
                               const RegionTexts& texts, int sizeZeroResult);
    // Loads a carried image and makes the writer's region hold it (the font
    // and WiFi steps, after their own announcement).
    int UpdateRegionImage(uint32_t resourceId, uint32_t regionId, const RegionTexts& texts,
                          int sizeZeroResult);

private:
    int UpdateFontSet(uint32_t resourceId, uint32_t regionId, const char* announceLog,
                      const RegionTexts& texts);
    int FinishCodeTransfer(uint32_t rc, uint8_t& sentFlag);
    // A region query with no valid reply: told, logged, result 5.
    int ReportLostRegionQuery();

public:
    int SwitchToBeta(bool on);

    // The progress of the transfer under way, `done` of `total` bytes: shown
    // from 0, moved at most once per percent, hidden by a total of 0.
    void ShowProgress(uint32_t done, uint32_t total);
    void HideProgress();
    void DisconnectWriter();

private:
    void DoDataExchange();
    // Phases A to D; returns when the update stops or ends.
    void RunUpdate();
    // Phases E to G: the boot-code path, the fixed chain, the success path.
    void RunProgrammingChain();
    // Phase H: runs on every way out of the update.
    void CleanUp();
    // Loads a step's carried image. 0 when loaded; otherwise the step's
    // result (1) after the user has been told. `logNoMemory`: the X-Loader
    // step logs its memory message too.
    int LoadStepImage(uint32_t resourceId, uint32_t slack, DecodedImage& image,
                      bool logNoMemory = false);
    // A carried image the program cannot use (missing, or beyond what its
    // step sends): told like a damaged copy of the program; returns 1.
    int ReportUnusableImage(uint32_t resourceId);
    // The memory box of every step: shown, logged only when asked.
    void ReportNoMemory(bool log);
    // Logs a failure and shows it in an error box owned by the window.
    void ReportError(const std::string& text);
    std::string ModelName() const { return MachineName(m_link.m_machineType); }
    // The model table's row of the connected writer; a type without a row
    // carries no images.
    const MachineInfo& WriterRow() const;
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
    // The model table the steps read, by machine type (tests give their own).
    const MachineInfo* m_modelTable = g_machineInfo;
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

private:
    uint32_t m_progressTotal = 0;  // 0 while the bar is hidden
    uint32_t m_progressPercent = 0;
    uint32_t m_progressDone = 0;
};

class CQuonUpdate100App : public platform::CWinApp {
public:
    CQuonUpdate100App() : CWinApp(nullptr) {}
    bool InitInstance() override;
};

extern CQuonUpdate100App theApp;
