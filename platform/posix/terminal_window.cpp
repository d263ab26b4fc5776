#include "platform/posix/terminal_window.h"

#include <cstdio>
#include <istream>
#include <map>
#include <ostream>

#include "resources/resource.h"

namespace platform::posix {
namespace {

struct DialogState {
    bool ended = false;
    intptr_t result = 0;
    std::map<int, std::string> items;
    std::string caption;
};

DialogState& State(CDialog& dialog) { return *static_cast<DialogState*>(dialog.m_native); }

std::string WithoutLeadingLineFeeds(const std::string& text) {
    const size_t first = text.find_first_not_of('\n');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

}  // namespace

TerminalWindow::TerminalWindow(std::istream& in, std::ostream& out, bool interactive, bool showProgress)
    : m_in(in), m_out(out), m_interactive(interactive), m_showProgress(showProgress) {}

std::string TerminalWindow::ProgressLine(uint64_t done, uint64_t total) {
    constexpr int kBarWidth = 14;
    if (done > total) done = total;
    const int filled = total ? int((done * kBarWidth + total / 2) / total) : 0;
    const int percent = total ? int(done * 100 / total) : 0;
    char line[96];
    std::snprintf(line, sizeof line, "[%s%s] %3d %%  %.1f / %.1f MB", std::string(size_t(filled), '#').c_str(),
                  std::string(size_t(kBarWidth - filled), '.').c_str(), percent, double(done) / 1e6,
                  double(total) / 1e6);
    return line;
}

void TerminalWindow::SetProgress(CDialog&, uint64_t done, uint64_t total) {
    // Scripts and tests read the output line by line: only a terminal gets it.
    if (!m_showProgress) return;
    if (total == 0) return ClearProgress();
    m_out << "\r" << ProgressLine(done, total) << std::flush;
    m_progressShown = true;
}

void TerminalWindow::ClearProgress() {
    if (!m_progressShown) return;
    m_out << "\r\033[K" << std::flush;
    m_progressShown = false;
}

bool TerminalWindow::ReadLine(std::string& line) {
    if (m_interactive) m_out << "> " << std::flush;
    if (!std::getline(m_in, line)) return false;
    // Piped input is not echoed by a terminal; show what was read.
    if (!m_interactive) m_out << "> " << line << "\n" << std::flush;
    return true;
}

intptr_t TerminalWindow::RunModal(CDialog& dialog) {
    DialogState state;
    void* outer = dialog.m_native;
    dialog.m_native = &state;
    dialog.OnInitDialog();
    if (dialog.TemplateId() == IDD_ABOUTBOX) {
        // The About box has only its OK button: show it and close it.
        m_out << "[" << state.caption << "]\n";
        for (const auto& [id, text] : state.items) m_out << text << "\n";
        m_out << std::flush;
        dialog.m_native = outer;
        return ui::kIdOk;
    }
    if (m_interactive)
        m_out << "Commands: Enter or \"go\" updates, \"about\", \"q\" quits.\n" << std::flush;
    while (!state.ended) {
        std::string line;
        if (!ReadLine(line)) {
            dialog.OnCancel();
            break;
        }
        const std::string command = Lower(Trim(line));
        if (command.empty() || command == "go") {
            dialog.OnCommand(IDC_GO, ui::kBnClicked);
        } else if (command == "beta") {
            dialog.OnCommand(IDC_BETA, ui::kBnClicked);
        } else if (command == "about") {
            dialog.OnSysCommand(IDM_ABOUTBOX, 0);
        } else if (command == "q" || command == "quit") {
            dialog.OnCancel();
        } else {
            m_out << "Unknown command \"" << command << "\": use go, beta, about or q.\n"
                  << std::flush;
        }
    }
    dialog.m_native = outer;
    return state.result;
}

void TerminalWindow::EndDialog(CDialog& dialog, intptr_t result) {
    if (!dialog.m_native) return;
    State(dialog).ended = true;
    State(dialog).result = result;
}

void TerminalWindow::SetItemText(CDialog& dialog, int id, const std::string& text) {
    if (!dialog.m_native) return;
    State(dialog).items[id] = text;
    if (id != IDC_STATUS) return;
    ClearProgress();
    m_out << WithoutLeadingLineFeeds(text) << "\n" << std::flush;
}

std::string TerminalWindow::GetItemText(CDialog& dialog, int id) {
    if (!dialog.m_native) return "";
    auto& items = State(dialog).items;
    auto it = items.find(id);
    return it == items.end() ? std::string() : it->second;
}

void TerminalWindow::SetCaption(CDialog& dialog, const std::string& text) {
    if (!dialog.m_native) return;
    State(dialog).caption = text;
    if (dialog.TemplateId() != IDD_ABOUTBOX) m_out << "== " << text << " ==\n" << std::flush;
}

int TerminalWindow::Box(const std::string& text, const std::string& caption, unsigned style) {
    ClearProgress();
    m_out << "[" << caption << "]\n" << text << "\n";
    if ((style & ui::kMbTypeMask) != ui::kMbYesNo) {
        m_out << std::flush;
        return ui::kIdOk;
    }
    m_out << "(y/n) " << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) {
        m_out << "\n" << std::flush;
        return ui::kIdNo;
    }
    if (!m_interactive) m_out << line << "\n" << std::flush;
    const std::string answer = Lower(Trim(line));
    return (answer == "y" || answer == "yes") ? ui::kIdYes : ui::kIdNo;
}

int TerminalWindow::MessageBox(CDialog&, const std::string& text, const std::string& caption,
                               unsigned style) {
    return Box(text, caption, style);
}

int TerminalWindow::AppMessageBox(const std::string& text, unsigned style) {
    return Box(text, m_appName, style);
}

void TerminalWindow::DefaultSysCommand(CDialog& dialog, unsigned id, intptr_t) {
    if ((id & 0xFFF0) == ui::kScClose) dialog.OnCancel();
}

}  // namespace platform::posix
