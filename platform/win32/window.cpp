// Win32 dialogs from the module's templates, driving the dialog classes.
#include "platform/win32/windows_headers.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <vector>

#include "platform/win32/system_dll.h"
#include "platform/win32/win32_platform.h"
#include "resources/resource.h"

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

// The progress bar's class comes from the common controls, which the exe
// does not import: loaded by name, so that the side-by-side copy the
// manifest names is taken, from the system folder only, never from beside
// the exe. Registered once, before the first dialog is made.
void RegisterCommonControls() {
    static bool done = false;
    if (done) return;
    done = true;
    HMODULE module = LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A Windows without the search flags refuses them: the system folder's copy by its path.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadSystemDll("comctl32.dll");
    using InitControls = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = module ? reinterpret_cast<InitControls>(
                             reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControlsEx")))
                       : nullptr;
    const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    if (init) init(&classes);
}

// The taskbar button's progress (Windows 7 and later) through COM, loaded at
// run time; where the interface is missing the taskbar shows nothing.
class TaskbarProgress {
public:
    void Set(HWND window, uint64_t done, uint64_t total) {
        if (!Ready()) return;
        if (total == 0)
            m_list->SetProgressState(window, TBPF_NOPROGRESS);
        else
            m_list->SetProgressValue(window, done, total);
    }

private:
    bool Ready() {
        if (m_tried) return m_list != nullptr;
        m_tried = true;
        const GUID clsidTaskbarList = {0x56fdf344, 0xfd6d, 0x11d0, {0x95, 0x8a, 0x00, 0x60, 0x97, 0xc9, 0xa0, 0x90}};
        const GUID iidTaskbarList3 = {0xea1afb91, 0x9e28, 0x4b86, {0x90, 0xe9, 0x9e, 0x9f, 0x8a, 0x5e, 0xef, 0xaf}};
        HMODULE ole = LoadSystemDll("ole32.dll");
        if (!ole) return false;
        using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
        using Create = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
        auto initialize = reinterpret_cast<Initialize>(reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx")));
        auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(ole, "CoCreateInstance")));
        if (!initialize || !create) return false;
        const HRESULT joined = initialize(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(joined) && joined != RPC_E_CHANGED_MODE) return false;
        ITaskbarList3* list = nullptr;
        if (FAILED(create(clsidTaskbarList, nullptr, CLSCTX_INPROC_SERVER, iidTaskbarList3,
                          reinterpret_cast<void**>(&list))) || !list)
            return false;
        if (FAILED(list->HrInit())) {
            list->Release();
            return false;
        }
        m_list = list;
        return true;
    }

    bool m_tried = false;
    ITaskbarList3* m_list = nullptr;
};

TaskbarProgress g_taskbar;

}  // namespace

intptr_t Win32Window::RunModal(CDialog& dialog) {
    RegisterCommonControls();
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

void Win32Window::SetProgress(CDialog& dialog, uint64_t done, uint64_t total) {
    HWND bar = GetDlgItem(Hwnd(dialog), IDC_PROGRESS);
    if (!bar) return;
    g_taskbar.Set(Hwnd(dialog), done, total);
    // The bar's own style: IsWindowVisible is false too while the dialog is hidden.
    const bool shown = (GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) != 0;
    if (total == 0) {
        if (!shown) return;
        ShowWindow(bar, SW_HIDE);
        UpdateWindow(Hwnd(dialog));  // where the bar was, now
        return;
    }
    constexpr int kSteps = 1000;
    const int position = int((done < total ? done : total) * kSteps / total);
    SendMessageA(bar, PBM_SETRANGE32, 0, kSteps);
    // A themed bar glides up on timer messages, which the busy thread never
    // gets; a step back is drawn at once.
    if (position < kSteps) SendMessageA(bar, PBM_SETPOS, WPARAM(position + 1), 0);
    SendMessageA(bar, PBM_SETPOS, WPARAM(position), 0);
    if (!shown) ShowWindow(bar, SW_SHOWNA);
    // The one thread stays busy until the handler returns: paint it now.
    UpdateWindow(bar);
}

}  // namespace platform::win32
