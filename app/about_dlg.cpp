#include "app/about_dlg.h"

#include "resources/resource.h"
#include "resources/version.h"

CAboutDlg::CAboutDlg(platform::WindowBackend& backend) : CDialog(IDD_ABOUTBOX, backend) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange() { m_versionStatic.Attach(*this, IDC_VERSION); }

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    DoDataExchange();
    // The template carries caption and second line; setting them again
    // lets front ends without templates show them too.
    SetWindowText(ORVANE_ABOUT_CAPTION);
    m_versionStatic.SetWindowText(m_aboutText);
    SetDlgItemText(IDC_ABOUT_LINE2, ORVANE_ABOUT_LINE2);
    return true;
}
