// Start-up, the main window's initialisation, painting and the About box.
#include "app/update_dlg.h"

#include <cstdarg>
#include <cstdio>

#include "app/about_dlg.h"
#include "app/message_format.h"
#include "app/version_stamp.h"
#include "resources/resource.h"

CQuonUpdate100App theApp;

bool CQuonUpdate100App::InitInstance() {
    CQuonUpdate100Dlg dialog(GetPlatform());
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return false;  // no message loop: the program ends with the dialog
}

std::string BuildWelcomeText(const MachineInfo* releaseModels) {
    std::string text =
        "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine "
        "software.\n\n";
    for (const MachineInfo* m = releaseModels; m->name[0] != '\0'; ++m) {
        if (m->appVersion == 0) continue;
        if (VersionBeta(m->appVersion) != 0)
            text += FormatText("%s - Build: %d Beta %X\n", m->name, int(m->appBuild),
                                  VersionBeta(m->appVersion));
        else
            text += FormatText("%s - Build: %d\n", m->name, int(m->appBuild));
    }
    return text;
}

CQuonUpdate100Dlg::CQuonUpdate100Dlg(const platform::Platform& platform, platform::CDialog*)
    : CDialog(IDD_QUONUPDATE100_DIALOG, platform.window),
      m_platform(platform),
      m_link(platform.devices, platform.system, &platform.window) {
    m_hIcon = platform.window.LoadAppIcon(IDR_MAINFRAME);
    m_link.m_onChunk = [this](uint32_t done, uint32_t total) { ShowProgress(done, total); };
}

void CQuonUpdate100Dlg::ShowProgress(uint32_t done, uint32_t total) {
    if (total == 0) return HideProgress();
    if (done > total) done = total;
    // A new transfer starts at 0; within one, only a new percent or the end
    // is shown, so no transfer moves the bar more than about 100 times.
    const uint32_t percent = uint32_t(uint64_t(done) * 100 / total);
    const bool start = done == 0 || total != m_progressTotal;
    if (!start && percent <= m_progressPercent && done != total) return;
    if (!start && done == m_progressDone) return;
    m_progressTotal = total;
    m_progressPercent = percent;
    m_progressDone = done;
    Backend().SetProgress(*this, done, total);
}

void CQuonUpdate100Dlg::HideProgress() {
    if (m_progressTotal == 0) return;
    m_progressTotal = 0;
    Backend().SetProgress(*this, 0, 0);
}

CQuonUpdate100Dlg::~CQuonUpdate100Dlg() = default;

void CQuonUpdate100Dlg::DoDataExchange() { m_goButton.Attach(*this, IDC_GO); }

bool CQuonUpdate100Dlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DoDataExchange();
    const std::string aboutMenu = m_platform.resources.LoadString(IDS_ABOUTBOX);
    if (!aboutMenu.empty() && Backend().AppendSystemMenuItem(*this, 0, ""))
        Backend().AppendSystemMenuItem(*this, IDM_ABOUTBOX, aboutMenu);
    Backend().SetIcon(*this, m_hIcon, true);
    Backend().SetIcon(*this, m_hIcon, false);
    m_versionText = GetProgramVersionText(m_platform.resources);
    m_title = m_platform.resources.LoadString(IDS_APP_TITLE);
    SetWindowText(FormatText("%s - Build:  %s", m_title.c_str(), m_versionText.c_str()));
    m_welcomeText = BuildWelcomeText(g_releaseModels);
    m_goButton.SetWindowText("&Go!");
    SetDlgItemText(IDC_STATUS, m_welcomeText);
    m_logOpen = 0;
    return true;
}

bool CQuonUpdate100Dlg::OnCommand(int id, int notifyCode) {
    if (notifyCode == ui::kBnClicked && id == IDC_GO) {
        OnGoClicked();
        return true;
    }
    if (notifyCode == ui::kBnClicked && id == IDC_BETA) {
        OnBetaClicked();
        return true;
    }
    return CDialog::OnCommand(id, notifyCode);
}

void CQuonUpdate100Dlg::OnSysCommand(unsigned id, intptr_t lparam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(Backend());
        about.m_aboutText = FormatText("%s Build:  %s", m_title.c_str(),
                                          GetProgramVersionText(m_platform.resources).c_str());
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, lparam);
}

void CQuonUpdate100Dlg::OnPaint() {
    if (!Backend().IsIconic(*this)) {
        CDialog::OnPaint();
        return;
    }
    const platform::WindowBackend::IconPaint m = Backend().BeginIconPaint(*this);
    const int x = (m.clientWidth - m.iconWidth + 1) / 2;
    const int y = (m.clientHeight - m.iconHeight + 1) / 2;
    Backend().EndIconPaint(*this, m_hIcon, x, y);
}

const MachineInfo& CQuonUpdate100Dlg::WriterRow() const {
    static const MachineInfo kNoRow{kMachineTypeUnknown, MachineName(kMachineTypeUnknown)};
    return m_link.m_machineType < kMachineTypeCount ? m_modelTable[m_link.m_machineType] : kNoRow;
}

platform::IconHandle CQuonUpdate100Dlg::OnQueryDragIcon() { return m_hIcon; }

void CQuonUpdate100Dlg::OnCancel() { EndDialog(ui::kIdCancel); }
