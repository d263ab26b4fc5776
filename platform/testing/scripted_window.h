// Window double: records every status text, caption and box, and answers
// boxes from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window.h"

namespace platform::testing {

struct BoxRecord {
    bool applicationLevel;  // the framework's application box
    std::string caption;
    std::string text;
    unsigned style;
    int answer;
};

class ScriptedWindow : public WindowBackend {
public:
    // Answers for Yes/No boxes, in order; when the script runs out, No.
    void AnswerNext(int answer) { m_answers.push_back(answer); }

    std::vector<BoxRecord> boxes;
    std::vector<std::string> statusTexts;  // every text set into control 1002
    std::vector<std::pair<unsigned, std::string>> systemMenu;
    std::string caption;
    std::string appName;
    // Called while a box is up, before it is answered (a test can let time pass).
    std::function<void(const std::string& text)> onBox;
    bool hasSystemMenu = true;
    bool ended = false;
    intptr_t endResult = -1;
    int modalRuns = 0;
    // Dialogs run with RunModal, by template id, with their texts at the end.
    std::vector<std::pair<int, std::map<int, std::string>>> modalDialogs;

    std::string Status() const { return statusTexts.empty() ? "" : statusTexts.back(); }
    std::string ItemText(int id) const;

    intptr_t RunModal(CDialog& dialog) override;
    void EndDialog(CDialog& dialog, intptr_t result) override;
    void SetItemText(CDialog& dialog, int id, const std::string& text) override;
    std::string GetItemText(CDialog& dialog, int id) override;
    void SetCaption(CDialog& dialog, const std::string& text) override;
    int MessageBox(CDialog& owner, const std::string& text, const std::string& caption,
                   unsigned style) override;
    int AppMessageBox(const std::string& text, unsigned style) override;
    void SetApplicationName(const std::string& name) override { appName = name; }
    bool AppendSystemMenuItem(CDialog& dialog, unsigned id, const std::string& text) override;
    IconHandle LoadAppIcon(int id) override { return reinterpret_cast<IconHandle>(intptr_t(id)); }
    void SetIcon(CDialog&, IconHandle icon, bool big) override { (big ? bigIcon : smallIcon) = icon; }
    bool IsIconic(CDialog&) override { return iconic; }
    IconPaint BeginIconPaint(CDialog&) override { return paintMetrics; }
    void EndIconPaint(CDialog&, IconHandle icon, int x, int y) override {
        paintedIcon = icon; iconX = x; iconY = y;
    }
    void DefaultPaint(CDialog&) override { ++defaultPaints; }
    void DefaultSysCommand(CDialog&, unsigned id, intptr_t) override { defaultSysCommands.push_back(id); }
    void SetProgress(CDialog&, uint64_t done, uint64_t total) override { progress.emplace_back(done, total); }
    // Every progress call, (done, total); (0, 0) hides the bar.
    std::vector<std::pair<uint64_t, uint64_t>> progress;

    IconHandle bigIcon = nullptr, smallIcon = nullptr, paintedIcon = nullptr;
    bool iconic = false;
    IconPaint paintMetrics;
    int iconX = -1, iconY = -1, defaultPaints = 0;
    std::vector<unsigned> defaultSysCommands;

private:
    int Answer(unsigned style);
    std::deque<int> m_answers;
    std::map<const CDialog*, std::map<int, std::string>> m_items;
};

}  // namespace platform::testing
