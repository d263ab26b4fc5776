// Win32 dialogs from the module's templates, driving the dialog classes.
#include "platform/win32/windows_headers.h"

#include <vector>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

struct DialogRun {
    CDialog* dialog;
    Win32Window* backend;
    bool wantDefault = false;  // the dialog asked for the framework's default handling
    PAINTSTRUCT paint{};
    HDC dc = nullptr;
};

std::vector<HWND> g_windows;  // running modal dialogs, innermost last

HWND Hwnd(CDialog& dialog) { return static_cast<HWND>(dialog.m_native); }

DialogRun* RunOf(HWND hwnd) { return reinterpret_cast<DialogRun*>(GetWindowLongPtrA(hwnd, DWLP_USER)); }

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        DialogRun* run = reinterpret_cast<DialogRun*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, LONG_PTR(run));
        run->dialog->m_native = hwnd;
        g_windows.push_back(hwnd);
        return run->dialog->OnInitDialog() ? TRUE : FALSE;
    }
    DialogRun* run = RunOf(hwnd);
    if (!run) return FALSE;
    CDialog& dialog = *run->dialog;
    switch (message) {
        case WM_COMMAND:
            return dialog.OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_SYSCOMMAND:
            run->wantDefault = false;
            dialog.OnSysCommand(unsigned(wParam), intptr_t(lParam));
            return run->wantDefault ? FALSE : TRUE;
        case WM_PAINT:
            run->wantDefault = false;
            dialog.OnPaint();
            return run->wantDefault ? FALSE : TRUE;
        case WM_QUERYDRAGICON:
            return INT_PTR(dialog.OnQueryDragIcon());
        case WM_DESTROY:
            if (!g_windows.empty() && g_windows.back() == hwnd) g_windows.pop_back();
            return FALSE;
        default:
            return FALSE;
    }
}

HWND Owner() { return g_windows.empty() ? nullptr : g_windows.back(); }

}  // namespace

intptr_t Win32Window::RunModal(CDialog& dialog) {
    DialogRun run{&dialog, this};
    void* outer = dialog.m_native;
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.TemplateId()),
                                           Owner(), DialogProc, LPARAM(&run));
    dialog.m_native = outer;
    return intptr_t(result);
}

void Win32Window::EndDialog(CDialog& dialog, intptr_t result) {
    if (Hwnd(dialog)) ::EndDialog(Hwnd(dialog), INT_PTR(result));
}

void Win32Window::SetItemText(CDialog& dialog, int id, const std::string& text) {
    // A static control breaks lines on a line feed alone: the text goes as it is.
    SetDlgItemTextA(Hwnd(dialog), id, text.c_str());
    // The one thread stays busy until the handler returns: paint the new text now.
    if (HWND item = GetDlgItem(Hwnd(dialog), id)) {
        InvalidateRect(item, nullptr, TRUE);
        UpdateWindow(item);
    }
}

std::string Win32Window::GetItemText(CDialog& dialog, int id) {
    char text[2048] = {};
    GetDlgItemTextA(Hwnd(dialog), id, text, sizeof text);
    return text;
}

void Win32Window::SetCaption(CDialog& dialog, const std::string& text) {
    SetWindowTextA(Hwnd(dialog), text.c_str());
}

int Win32Window::MessageBox(CDialog& owner, const std::string& text, const std::string& caption,
                            unsigned style) {
    return MessageBoxA(Hwnd(owner), text.c_str(), caption.c_str(), style);
}

int Win32Window::AppMessageBox(const std::string& text, unsigned style) {
    // The framework's default icon when none is asked for.
    if ((style & ui::kMbIconMask) == 0)
        style |= (style & ui::kMbTypeMask) == ui::kMbOk ? MB_ICONEXCLAMATION : MB_ICONQUESTION;
    return MessageBoxA(Owner(), text.c_str(), m_appName.c_str(), style);
}

bool Win32Window::AppendSystemMenuItem(CDialog& dialog, unsigned id, const std::string& text) {
    HMENU menu = GetSystemMenu(Hwnd(dialog), FALSE);
    if (!menu) return false;
    if (text.empty()) return AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) != FALSE;
    return AppendMenuA(menu, MF_STRING, id, text.c_str()) != FALSE;
}

IconHandle Win32Window::LoadAppIcon(int resourceId) {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
}

void Win32Window::SetIcon(CDialog& dialog, IconHandle icon, bool big) {
    SendMessageA(Hwnd(dialog), WM_SETICON, big ? ICON_BIG : ICON_SMALL, LPARAM(icon));
}

bool Win32Window::IsIconic(CDialog& dialog) { return ::IsIconic(Hwnd(dialog)) != FALSE; }

WindowBackend::IconPaint Win32Window::BeginIconPaint(CDialog& dialog) {
    DialogRun* run = RunOf(Hwnd(dialog));
    run->dc = BeginPaint(Hwnd(dialog), &run->paint);
    SendMessageA(Hwnd(dialog), WM_ICONERASEBKGND, WPARAM(run->dc), 0);
    RECT client;
    GetClientRect(Hwnd(dialog), &client);
    IconPaint m;
    m.clientWidth = client.right - client.left;
    m.clientHeight = client.bottom - client.top;
    m.iconWidth = GetSystemMetrics(SM_CXICON);
    m.iconHeight = GetSystemMetrics(SM_CYICON);
    return m;
}

void Win32Window::EndIconPaint(CDialog& dialog, IconHandle icon, int x, int y) {
    DialogRun* run = RunOf(Hwnd(dialog));
    DrawIcon(run->dc, x, y, HICON(icon));
    EndPaint(Hwnd(dialog), &run->paint);
    run->dc = nullptr;
}

void Win32Window::DefaultPaint(CDialog& dialog) { RunOf(Hwnd(dialog))->wantDefault = true; }

void Win32Window::DefaultSysCommand(CDialog& dialog, unsigned, intptr_t) {
    RunOf(Hwnd(dialog))->wantDefault = true;
}

}  // namespace platform::win32
