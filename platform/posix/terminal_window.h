// The terminal front end: the dialog framework on a text stream.
//   empty line or "go"   presses the default button (1001)
//   "beta"               presses the hidden BETA button (1022)
//   "about"              opens the About box
//   "q", "quit", EOF     closes the program
#pragma once

#include <iosfwd>
#include <string>

#include "platform/window.h"

namespace platform::posix {

class TerminalWindow : public WindowBackend {
public:
    // `showProgress`: the output is a terminal, where one line can rewrite itself.
    TerminalWindow(std::istream& in, std::ostream& out, bool interactive, bool showProgress = false);

    intptr_t RunModal(CDialog& dialog) override;
    void EndDialog(CDialog& dialog, intptr_t result) override;
    void SetItemText(CDialog& dialog, int id, const std::string& text) override;
    std::string GetItemText(CDialog& dialog, int id) override;
    void SetCaption(CDialog& dialog, const std::string& text) override;
    int MessageBox(CDialog& owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    int AppMessageBox(const std::string& text, unsigned style) override;
    void SetApplicationName(const std::string& name) override { m_appName = name; }
    bool AppendSystemMenuItem(CDialog&, unsigned, const std::string&) override { return true; }
    IconHandle LoadAppIcon(int) override { return nullptr; }
    void SetIcon(CDialog&, IconHandle, bool) override {}
    bool IsIconic(CDialog&) override { return false; }
    IconPaint BeginIconPaint(CDialog&) override { return {}; }
    void EndIconPaint(CDialog&, IconHandle, int, int) override {}
    void DefaultPaint(CDialog&) override {}
    void DefaultSysCommand(CDialog& dialog, unsigned id, intptr_t lparam) override;
    void SetProgress(CDialog& dialog, uint64_t done, uint64_t total) override;

    // "[#######.......]  48 %  1.4 / 3.0 MB"
    static std::string ProgressLine(uint64_t done, uint64_t total);

private:
    // Takes a progress line off the screen before anything else is printed.
    void ClearProgress();

    int Box(const std::string& text, const std::string& caption, unsigned style);
    bool ReadLine(std::string& line);

    std::istream& m_in;
    std::ostream& m_out;
    bool m_interactive;
    bool m_showProgress;
    bool m_progressShown = false;
    std::string m_appName;
};

}  // namespace platform::posix
