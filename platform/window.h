// Window seam: the dialog framework the dialogs are written against.
// Backends: Win32 dialogs from resource templates, the terminal front end,
// and a scripted double for tests.
#pragma once

#include <cstdint>
#include <string>

namespace ui {
// Same values as the Win32 message-box styles and answers, so the win32
// backend passes them through unchanged.
constexpr unsigned kMbOk = 0x00000000;
constexpr unsigned kMbYesNo = 0x00000004;
constexpr unsigned kMbIconError = 0x00000010;
constexpr unsigned kMbIconQuestion = 0x00000020;
constexpr unsigned kMbIconExclamation = 0x00000030;
constexpr unsigned kMbIconInformation = 0x00000040;
constexpr unsigned kMbTypeMask = 0x0000000F;
constexpr unsigned kMbIconMask = 0x000000F0;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
constexpr int kBnClicked = 0;
constexpr unsigned kScClose = 0xF060;
}  // namespace ui

namespace platform {

using IconHandle = void*;
class CDialog;

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // Runs the dialog until EndDialog; returns the value given to EndDialog.
    virtual intptr_t RunModal(CDialog& dialog) = 0;
    virtual void EndDialog(CDialog& dialog, intptr_t result) = 0;
    virtual void SetItemText(CDialog& dialog, int id, const std::string& text) = 0;
    virtual std::string GetItemText(CDialog& dialog, int id) = 0;
    virtual void SetCaption(CDialog& dialog, const std::string& text) = 0;
    // A box owned by the dialog's window.
    virtual int MessageBox(CDialog& owner, const std::string& text, const std::string& caption,
                           unsigned style) = 0;
    // The framework's application-level box: caption is the application
    // name; with no icon asked for, OK boxes get the exclamation icon and
    // Yes/No boxes the question icon.
    virtual int AppMessageBox(const std::string& text, unsigned style) = 0;
    virtual void SetApplicationName(const std::string& name) = 0;
    // False when the window has no system menu. An empty text appends a separator.
    virtual bool AppendSystemMenuItem(CDialog& dialog, unsigned commandId,
                                      const std::string& text) = 0;
    virtual IconHandle LoadAppIcon(int resourceId) = 0;
    virtual void SetIcon(CDialog& dialog, IconHandle icon, bool big) = 0;
    virtual bool IsIconic(CDialog& dialog) = 0;
    // Paints a minimised dialog: erases the icon background and draws the
    // icon at the client position the dialog computed.
    struct IconPaint {
        int clientWidth = 0;
        int clientHeight = 0;
        int iconWidth = 32;  // SM_CXICON
        int iconHeight = 32;  // SM_CYICON
    };
    virtual IconPaint BeginIconPaint(CDialog& dialog) = 0;
    virtual void EndIconPaint(CDialog& dialog, IconHandle icon, int x, int y) = 0;
    virtual void DefaultPaint(CDialog& dialog) = 0;
    virtual void DefaultSysCommand(CDialog& dialog, unsigned id, intptr_t lparam) = 0;
    // The progress of the current transfer, `done` of `total` bytes, shown at
    // once even while the window's thread is busy; a total of 0 hides it.
    virtual void SetProgress(CDialog& dialog, uint64_t done, uint64_t total) = 0;
};

// Base of both dialogs, standing in for the framework's CDialog.
class CDialog {
public:
    CDialog(int templateId, WindowBackend& backend) : m_templateId(templateId), m_backend(backend) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    intptr_t DoModal() { return m_backend.RunModal(*this); }
    int TemplateId() const { return m_templateId; }
    WindowBackend& Backend() { return m_backend; }

    // Called by the backend.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(ui::kIdOk); }
    virtual void OnCancel() { EndDialog(ui::kIdCancel); }
    // BN_CLICKED and other control notifications; false when not handled.
    virtual bool OnCommand(int id, int notifyCode) {
        if (notifyCode != ui::kBnClicked) return false;
        if (id == ui::kIdOk) { OnOK(); return true; }
        if (id == ui::kIdCancel) { OnCancel(); return true; }
        return false;
    }
    virtual void OnSysCommand(unsigned id, intptr_t lparam) {
        m_backend.DefaultSysCommand(*this, id, lparam);
    }
    virtual void OnPaint() { m_backend.DefaultPaint(*this); }
    virtual IconHandle OnQueryDragIcon() { return nullptr; }

    void EndDialog(intptr_t result) { m_backend.EndDialog(*this, result); }
    void SetDlgItemText(int id, const std::string& text) { m_backend.SetItemText(*this, id, text); }
    std::string GetDlgItemText(int id) { return m_backend.GetItemText(*this, id); }
    void SetWindowText(const std::string& text) { m_backend.SetCaption(*this, text); }
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) {
        return m_backend.MessageBox(*this, text, caption, style);
    }

    // Backend-owned window state (HWND on Windows).
    void* m_native = nullptr;

private:
    int m_templateId;
    WindowBackend& m_backend;
};

// A control bound by data exchange; only its text is used.
class CButton {
public:
    void Attach(CDialog& dialog, int id) { m_dialog = &dialog; m_id = id; }
    void SetWindowText(const std::string& text) {
        if (m_dialog) m_dialog->SetDlgItemText(m_id, text);
    }
    int Id() const { return m_id; }

private:
    CDialog* m_dialog = nullptr;
    int m_id = 0;
};
using CStatic = CButton;

}  // namespace platform
