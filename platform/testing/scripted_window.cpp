#include "platform/testing/scripted_window.h"

namespace platform::testing {

namespace {
constexpr int kStatusControl = 1002;
}

std::string ScriptedWindow::ItemText(int id) const {
    for (const auto& [dialog, items] : m_items) {
        auto it = items.find(id);
        if (it != items.end()) return it->second;
    }
    return "";
}

intptr_t ScriptedWindow::RunModal(CDialog& dialog) {
    ++modalRuns;
    dialog.OnInitDialog();
    modalDialogs.emplace_back(dialog.TemplateId(), m_items[&dialog]);
    m_items.erase(&dialog);
    return 1;  // nested dialogs (the About box) close at once with OK
}

void ScriptedWindow::EndDialog(CDialog&, intptr_t result) {
    ended = true;
    endResult = result;
}

void ScriptedWindow::SetItemText(CDialog& dialog, int id, const std::string& text) {
    m_items[&dialog][id] = text;
    if (id == kStatusControl) statusTexts.push_back(text);
}

std::string ScriptedWindow::GetItemText(CDialog& dialog, int id) { return m_items[&dialog][id]; }

void ScriptedWindow::SetCaption(CDialog&, const std::string& text) { caption = text; }

int ScriptedWindow::Answer(unsigned style) {
    if ((style & ui::kMbTypeMask) != ui::kMbYesNo) return ui::kIdOk;
    if (m_answers.empty()) return ui::kIdNo;
    const int a = m_answers.front();
    m_answers.pop_front();
    return a;
}

int ScriptedWindow::MessageBox(CDialog&, const std::string& text, const std::string& cap,
                               unsigned style) {
    if (onBox) onBox(text);
    const int a = Answer(style);
    boxes.push_back({false, cap, text, style, a});
    return a;
}

int ScriptedWindow::AppMessageBox(const std::string& text, unsigned style) {
    if (onBox) onBox(text);
    const int a = Answer(style);
    boxes.push_back({true, appName, text, style, a});
    return a;
}

bool ScriptedWindow::AppendSystemMenuItem(CDialog&, unsigned id, const std::string& text) {
    if (!hasSystemMenu) return false;
    systemMenu.emplace_back(id, text);
    return true;
}

}  // namespace platform::testing
