#pragma once

#include <string>

#include "platform/window.h"

class CAboutDlg : public platform::CDialog {
public:
    explicit CAboutDlg(platform::WindowBackend& backend);
    ~CAboutDlg() override;
    bool OnInitDialog() override;

    platform::CStatic m_versionStatic;  // control 1003
    std::string m_aboutText;

private:
    void DoDataExchange();
};
