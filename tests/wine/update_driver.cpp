// Drives the shipped OrvaneUpdate.exe from outside, as a user would, against
// orvane-writer-sim.exe (from the driver's own folder), which presents the
// simulated writer as a device of the writer's class: presses Go! (by click
// or Enter), follows the status box, reads each message box (caption, text,
// icon, owner), answers it, and waits for the program to end.
//   update_driver EXE whole      a whole update
//   update_driver EXE bootpath   an application below build 33720: the boot-code
//        path, the writer found again after each restart
//   update_driver EXE downgrade  newer writer, No
//   update_driver EXE model      another model
//   update_driver EXE jobopen    REALTIME.000 open
//   update_driver EXE progress   the progress bar fills on the screen during a
//        slowed application transfer, hidden at the end
//   update_driver EXE crash      a writer that restarts into its boot loader
//        mid-transfer, brought to the release by a second press
//   update_driver EXE twowriters two writers present: only member 0 is opened
//   update_driver EXE busy       a writer listed whose path cannot be opened (another
//        program holds its one connection): the connection box, nothing sent
//   update_driver EXE nowriter   no writer; focus, Enter, close box
//   update_driver EXE secondcopy a second start brings the first (minimized)
//        window forward and ends without a window of its own
//   update_driver EXE spread KIND  unplug, noreply or late at requests of every
//        step; each press ends cleanly and the next one completes
//   update_driver EXE pictures DIR  a whole update that stops for pictures: it
//        leaves DIR\idle, DIR\transfer and DIR\success and holds each moment
//        for a few seconds (./dev.sh screenshot)
#include "platform/win32/windows_headers.h"

#include <setupapi.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/wine_check.h"

namespace {

const char kCaption[] = "Orvane Update - Build:  35680";
const char kWelcome[] =
    "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine software.\n\n"
    "Orvane - Build: 35680\n";
const char kSuccess[] = "Successfully updated the Orvane.\n           Click OK to Exit.";
const char kConnectionBox[] =
    "Unable to open a connection with your steno machine.\nPlease make sure the writer is turned On and the USB "
    "cable is firmly connected";
constexpr int kBoxTextId = 0xFFFF;  // the text of a message box
constexpr int kBoxIconIds[] = {20, 1088};  // its icon: Windows' id, Wine's id

struct Box {
    std::string caption, text;
    bool ownedByMain;
    bool iconMatches;  // an icon shows, and on Windows it is the expected one
};

bool IsWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

DWORD g_processId = 0;
HWND g_main = nullptr;

// A window's text, read without waiting on its (busy) thread.
std::string WindowText(HWND hwnd) {
    wchar_t text[2048] = {};
    InternalGetWindowText(hwnd, text, 2048);
    char out[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == g_processId && hwnd != g_main && IsWindowVisible(hwnd) && std::string(cls) == "#32770") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The path of member `member` of the writer's class as SetupAPI lists it; empty when none.
std::string MemberPath(DWORD member) {
    const GUID writers = {0x202E68C5, 0x5980, 0x4A60, {0xB7, 0x61, 0x77, 0xC4, 0xDE, 0x9D, 0x5D, 0xBF}};
    HDEVINFO set = SetupDiGetClassDevsA(&writers, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return "";
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    std::string path;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &writers, member, &data)) {
        std::vector<DWORD> buffer(512);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = sizeof *detail;
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, DWORD(buffer.size() * 4), nullptr, nullptr))
            path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    return path;
}

// orvane-writer-sim.exe presenting one writer, its trace in a file.
struct Writer {
    std::string name = "0000";
    std::string tracePath, path;
    PROCESS_INFORMATION pi{};

    static std::string Program() {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string folder(self);
        return folder.substr(0, folder.find_last_of('\\') + 1) + "orvane-writer-sim.exe";
    }
    // Starts it and waits until it says the program can find it.
    bool Start(const std::string& options) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        tracePath = std::string(temp) + "orvane-writer-" + name + ".txt";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileA(tracePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) return false;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = out;
        std::string command = "\"";
        command += Program();
        command += "\" --name ";
        command += name;
        command += " ";
        command += options;
        const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                            nullptr, nullptr, &si, &pi);
        CloseHandle(out);
        if (!started) return false;
        // A driver that is killed (a test's time limit) takes its writers with it.
        static const HANDLE job = [] {
            HANDLE j = CreateJobObjectA(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            if (j) SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
            return j;
        }();
        if (job) AssignProcessToJobObject(job, pi.hProcess);
        for (int waited = 0; waited < 30000; waited += 20) {
            const std::string t = Trace();
            const size_t ready = t.find("ready: ");
            if (ready != std::string::npos && t.find('\n', ready) != std::string::npos) {
                path = t.substr(ready + 7, t.find_first_of("\r\n", ready) - ready - 7);
                return true;
            }
            if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
        }
        std::printf("orvane-writer-sim did not get ready:\n%s\n", Trace().c_str());
        return false;
    }
    std::string Trace() const { return ReadFileText(tracePath); }
    // Whether no connection is open: every one it accepted has ended.
    bool Idle() const {
        const std::string t = Trace();
        return Count(t, "device: connected") == Count(t, "device: disconnected") + Count(t, "connection broken");
    }
    // Ends it through its stop event, so that it unlinks its device.
    void Stop() {
        if (!pi.hProcess) return;
        if (HANDLE e = OpenEventA(EVENT_MODIFY_STATE, FALSE, ("Local\\orvane-writer-sim-stop-" + name).c_str())) {
            SetEvent(e);
            CloseHandle(e);
        }
        if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
            std::printf("orvane-writer-sim %s did not stop\n", name.c_str());
            TerminateProcess(pi.hProcess, 1);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        pi = {};
    }
};

struct Run {
    PROCESS_INFORMATION pi{};
    Writer writer;
    std::vector<std::string> statuses;
    std::vector<Box> boxes;
    bool ended = false;

    // A writer described by `options` (none when null), then the program.
    bool Start(const std::string& exe, const char* options) {
        if (options && !writer.Start(options)) return false;
        return StartProgram(exe);
    }
    bool StartProgram(const std::string& exe) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        ended = false;
        std::string command = "\"" + exe + "\"";
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        g_processId = pi.dwProcessId;
        g_main = nullptr;
        g_main = WaitForWindow(kCaption, 45000);
        // The caption is set before the window shows and takes the focus.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        for (int waited = 0; g_main && waited < 10000; waited += 50) {
            if (IsWindowVisible(g_main) && GetGUIThreadInfo(pi.dwThreadId, &info) && info.hwndFocus) break;
            Sleep(50);
        }
        return g_main != nullptr;
    }
    void PressGo() { PostMessageA(GetDlgItem(g_main, 1001), BM_CLICK, 0, 0); }
    // Where pictures are taken: a marker file is left at each moment, which
    // is then held for a while.
    std::string pictures;
    void Moment(const char* name) {
        if (pictures.empty()) return;
        HANDLE h = CreateFileA((pictures + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        Sleep(3000);
    }
    // Follows the window until `boxCount` boxes were answered and the status
    // is back at `until`, or the program ended. `icons` are the expected icons.
    void Follow(size_t boxCount, const char* until, const std::vector<LPCSTR>& icons, int answer) {
        HWND status = GetDlgItem(g_main, 1002);
        for (int waited = 0; waited < 180000 && !ended; waited += 5) {
            const std::string text = WindowText(status);
            if (statuses.empty() || statuses.back() != text) {
                statuses.push_back(text);
                if (text == "\n\nSending Build 35680 to Orvane...") Moment("transfer");
            }
            if (boxes.size() == boxCount && until && text == until) break;
            HWND found = nullptr;
            EnumWindows(FindBox, LPARAM(&found));
            if (found) {
                char caption[256] = {}, body[2048] = {};
                GetWindowTextA(found, caption, sizeof caption);
                GetDlgItemTextA(found, kBoxTextId, body, sizeof body);
                HWND iconControl = nullptr;
                for (int id : kBoxIconIds)
                    if (!iconControl) iconControl = GetDlgItem(found, id);
                const HICON shown = iconControl ? HICON(SendMessageA(iconControl, STM_GETICON, 0, 0)) : nullptr;
                const size_t n = boxes.size();
                const bool same = n < icons.size() && shown == LoadIconA(nullptr, icons[n]);
                // Where icon handles cannot be compared across processes, an icon must still show.
                const bool icon = same || (IsWine() && shown != nullptr);
                boxes.push_back({caption, body, GetWindow(found, GW_OWNER) == g_main, icon});
                if (std::string(body).rfind("Successfully", 0) == 0) Moment("success");
                std::printf("box [%s] %s (icon %s)\n", caption, body, same ? "matches" : "not comparable");
                const bool question = std::string(body).find("?") != std::string::npos;
                PostMessageA(found, WM_COMMAND, question ? answer : IDOK, 0);
                for (int i = 0; i < 200 && IsWindow(found); ++i) Sleep(10);
            }
            ended = WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0;
        }
    }
    // Where `text` was first shown, or past the end.
    size_t Seen(const std::string& text) const {
        return size_t(std::find(statuses.begin(), statuses.end(), text) - statuses.begin());
    }
    // Ends the program through its close box, as the user would.
    void Close() {
        if (!ended) {
            PostMessageA(g_main, WM_SYSCOMMAND, SC_CLOSE, 0);
            ended = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
            CHECK(ended);
        }
        if (!ended) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        pi = {};
    }
    // The program, then the writer.
    void End() {
        if (pi.hProcess) Close();
        writer.Stop();
    }
};

// How much of the progress bar is filled on the screen: its pixels in the
// fill colour along the middle row, read from the screen, since a message to
// the bar would wait for the busy thread.
int FilledPixels(HWND bar) {
    RECT r;
    if (!GetWindowRect(bar, &r)) return -1;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(copy, bitmap);
    BitBlt(copy, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
    int filled = 0;
    for (int x = 0; x < w; ++x) filled += GetPixel(copy, x, h / 2) == fill;
    SelectObject(copy, old);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
    return filled;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

// The box a refusal shows, and the window back at its welcome text.
void Refusal(const std::string& exe, const std::string& options, const char* caption, const char* text,
             LPCSTR icon, int answer) {
    Run run;
    CHECK(run.Start(exe, options.c_str()));
    if (!g_main) return run.End();
    run.PressGo();
    run.Follow(1, kWelcome, {icon}, answer);
    CHECK(run.boxes.size() == 1);
    if (!run.boxes.empty()) {
        CHECK_EQ_STR(run.boxes[0].caption, caption);
        CHECK_EQ_STR(run.boxes[0].text, text);
        CHECK(run.boxes[0].ownedByMain);
        CHECK(run.boxes[0].iconMatches);
    }
    CHECK_EQ_STR(WindowText(GetDlgItem(g_main, 1002)), kWelcome);
    CHECK(!run.ended);
    run.End();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: update_driver EXE whole|bootpath|downgrade|model|jobopen|progress|crash|twowriters|busy|nowriter|spread KIND|pictures DIR\n");
        return 2;
    }
    const std::string exe = argv[1], scenario = argv[2];
    char documents[MAX_PATH] = {};
    CHECK(SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE));
    const std::string logPath = std::string(documents) + "\\QXUpdate.log";
    DeleteFileA(logPath.c_str());

    if (scenario == "whole") {
        // An out-of-date writer an hour off; slow display answers let every status text be seen.
        Run run;
        CHECK(run.Start(exe, "--clock-offset 3600 --restart-delay 300 --fault slow=150@cmd:0x0007*0"));
        if (g_main) {
            run.PressGo();
            run.Follow(2, nullptr, {IDI_QUESTION, IDI_ASTERISK}, IDYES);
        }
        CHECK(run.ended);
        for (const std::string& s : run.statuses) std::printf("status: %s\n", s.c_str());
        // The chain's order: scanner, fonts, application, then the success text.
        const size_t scanner = run.Seen("\n\nSending Sensor Board Code to Orvane...");
        const size_t fonts = run.Seen("\n\nSending Fonts to Orvane...");
        const size_t check = run.Seen("\n\nChecking Fonts. from Orvane...");
        const size_t app = run.Seen("\n\nSending Build 35680 to Orvane...");
        const size_t done = run.Seen("\n\n\n\n\n\nOrvane Updated.");
        CHECK(scanner < fonts && fonts < check && check < app && app < run.statuses.size());
        CHECK(done == run.statuses.size() || app < done);
        CHECK(run.boxes.size() == 2);
        if (run.boxes.size() == 2) {
            CHECK_EQ_STR(run.boxes[0].caption, "Orvane Update");
            CHECK_EQ_STR(run.boxes[0].text,
                         "Your Steno Machine's date/time doesn't match the PC date/time.\nDo you want it to match "
                         "the PC date/time?");
            CHECK_EQ_STR(run.boxes[1].caption, "Orvane Update");
            CHECK_EQ_STR(run.boxes[1].text, "Successfully updated the Orvane.\n           Click OK to Exit.");
            CHECK(run.boxes[1].ownedByMain);
            CHECK(run.boxes[1].iconMatches);
        }
        const std::string log = ReadFileText(logPath);
        const size_t success = log.find(" - Successfully updated the Orvane.\n");
        CHECK(success != std::string::npos);
        CHECK(log.size() > 11 && log.substr(log.size() - 11) == " - Exiting\n");
        CHECK(success != std::string::npos && log.find('\n', log.find('\n', success) + 1) == log.size() - 1);
        run.End();
    } else if (scenario == "pictures" && argc > 3) {
        // Slow display answers and one slow application chunk hold each moment on screen.
        Run run;
        run.pictures = argv[3];
        if (run.Start(exe, "--fault slow=150@cmd:0x0007*0 --fault slow=4000@cmd:0x0002:20")) {
            run.Moment("idle");
            run.PressGo();
            run.Follow(1, nullptr, {IDI_ASTERISK}, IDYES);
        }
        run.End();
    } else if (scenario == "progress") {
        // Slowed application chunks: the bar shows and fills while the thread is busy.
        Run run;
        CHECK(run.Start(exe, "--fault slow=250@cmd:0x0002*0"));
        HWND bar = g_main ? GetDlgItem(g_main, 1003) : nullptr;
        CHECK(bar != nullptr);
        if (bar) {
            char cls[64] = {};
            GetClassNameA(bar, cls, sizeof cls);
            CHECK_EQ_STR(std::string(cls), "msctls_progress32");
            CHECK(!IsWindowVisible(bar));
            HWND status = GetDlgItem(g_main, 1002);
            run.PressGo();
            CHECK(WaitFor([&] { return WindowText(status) == "\n\nSending Build 35680 to Orvane..."; }, 120000));
            CHECK(WaitFor([&] { return IsWindowVisible(bar) != FALSE; }, 10000));
            Sleep(2000);
            const int first = FilledPixels(bar);
            Sleep(4000);
            const int second = FilledPixels(bar);
            std::printf("progress bar: %d, then %d pixels filled\n", first, second);
            CHECK(IsWindowVisible(bar));
            CHECK(first > 0);
            CHECK(second > first);
            // Hidden by the time the success box shows.
            HWND box = nullptr;
            CHECK(WaitFor([&] { return EnumWindows(FindBox, LPARAM(&box)), box != nullptr; }, 120000));
            CHECK(!IsWindowVisible(bar));
            run.Follow(1, nullptr, {IDI_ASTERISK}, IDOK);
        }
        CHECK(run.ended);
        run.End();
    } else if (scenario == "crash") {
        // The writer restarts into its boot loader at the 10th application
        // chunk; the next press brings it to the release.
        Run run;
        CHECK(run.Start(exe, "--restart-delay 300 --fault crash@cmd:0x0002:10"));
        if (g_main) {
            run.PressGo();
            run.Follow(1, kWelcome, {IDI_HAND}, IDOK);
            run.PressGo();
            run.Follow(2, nullptr, {IDI_HAND, IDI_ASTERISK}, IDOK);
        }
        CHECK(run.ended);
        CHECK(run.boxes.size() == 2);
        if (run.boxes.size() == 2) {
            CHECK_EQ_STR(run.boxes[0].caption, "Error");
            CHECK_EQ_STR(run.boxes[0].text, "Unable to program your writer.  Error Code 101");
            CHECK_EQ_STR(run.boxes[1].text, "Successfully updated the Orvane.\n           Click OK to Exit.");
        }
        const std::string log = ReadFileText(logPath);
        CHECK(log.find(" - USB found Orvane(22), Boot. Ver. 0.00.00, Build 0\n") != std::string::npos);
        run.End();
    } else if (scenario == "downgrade") {
        Refusal(exe, "--app-build 35700", "Warning",
                "You are about to install version 1.00.00, Build 35680\non a Machine that is running version "
                "1.00.00, Build 35700.\n              Are you sure you want to do this?",
                IDI_QUESTION, IDNO);
    } else if (scenario == "model") {
        Refusal(exe, "--type 5 --app-version 0x0305", "Error",
                "Improper Machine Type.  This update is not for Kelvara Pravo!", IDI_HAND, IDOK);
    } else if (scenario == "jobopen") {
        Refusal(exe, "--job-open", "Error",
                "Unable to program your writer.\nPlease close any open files on your Orvane", IDI_HAND, IDOK);
    } else if (scenario == "nowriter") {
        Run run;
        CHECK(run.Start(exe, nullptr));
        if (g_main) {
            // The focus starts on Go!, and Enter presses it.
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            CHECK(GetGUIThreadInfo(run.pi.dwThreadId, &info));
            CHECK(info.hwndFocus == GetDlgItem(g_main, 1001));
            CHECK(GetNextDlgTabItem(g_main, GetDlgItem(g_main, 1001), FALSE) == GetDlgItem(g_main, IDCANCEL));
            CHECK(LOWORD(SendMessageA(g_main, DM_GETDEFID, 0, 0)) == 1001);
            PostMessageA(GetDlgItem(g_main, 1001), WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(GetDlgItem(g_main, 1001), WM_KEYUP, VK_RETURN, 0xC01C0001);
            run.Follow(1, kWelcome, {IDI_HAND}, IDOK);
            CHECK(run.boxes.size() == 1);
            if (!run.boxes.empty()) {
                CHECK_EQ_STR(run.boxes[0].caption, "Error");
                CHECK_EQ_STR(run.boxes[0].text,
                             "Unable to open a connection with your steno machine.\nPlease make sure the writer "
                             "is turned On and the USB cable is firmly connected");
                CHECK(run.boxes[0].ownedByMain);
                CHECK(run.boxes[0].iconMatches);
            }
            CHECK_EQ_STR(WindowText(GetDlgItem(g_main, 1002)), kWelcome);
        }
        run.End();  // the close box ends the program
        const std::string log = ReadFileText(logPath);
        CHECK(log.find(" - Orvane Update: Build: 35680\n") != std::string::npos);
        CHECK(log.find(" - Unable to open a connection with your steno machine.\nPlease make sure") !=
              std::string::npos);
        CHECK(log.size() > 11 && log.substr(log.size() - 11) == " - Exiting\n");
    } else if (scenario == "bootpath") {
        // Below build 33720 the boot code goes first, then the application;
        // after each restart the writer must be found again.
        Run run;
        CHECK(run.Start(exe, "--app-build 33000 --restart-delay 300"));
        if (g_main) {
            run.PressGo();
            run.Follow(1, nullptr, {IDI_ASTERISK}, IDOK);
        }
        CHECK(run.ended);
        CHECK(run.boxes.size() == 1 && run.boxes[0].text == kSuccess);
        const std::string trace = run.writer.Trace();
        // Both code transfers on the first connection; every restart but the
        // closing one is followed by a new connection.
        const size_t boot = trace.find("writer: boot code programmed"), app = trace.find("writer: application programmed");
        CHECK(boot != std::string::npos && app != std::string::npos && boot < app);
        CHECK(trace.find("device: connected", trace.find("device: connected") + 1) > app);
        size_t restarts = 0;
        for (size_t at = trace.find("writer: restarting"); at != std::string::npos;
             at = trace.find("writer: restarting", at + 1)) {
            ++restarts;
            if (at < trace.rfind("writer: restarting")) CHECK(trace.find("device: connected", at) != std::string::npos);
        }
        std::printf("restarts: %zu\n", restarts);
        // The reset after the two transfers, then the end of programming.
        CHECK(restarts == 2);
        CHECK(trace.find("device: connected", trace.find("writer: restarting")) <
              trace.find("writer: X-Loader programmed"));
        run.End();
    } else if (scenario == "twowriters") {
        // Two writers of the class present: only the first SetupAPI lists is opened.
        Run run;
        Writer second;
        second.name = "0001";
        CHECK(second.Start("--restart-delay 300"));
        CHECK(run.Start(exe, "--restart-delay 300"));
        const std::string first = MemberPath(0);
        CHECK(MemberPath(1) != "");
        CHECK(first == run.writer.path || first == second.path);
        if (g_main) {
            run.PressGo();
            run.Follow(1, nullptr, {IDI_ASTERISK}, IDOK);
        }
        CHECK(run.ended);
        CHECK(run.boxes.size() == 1 && run.boxes[0].text == kSuccess);
        const Writer& used = first == run.writer.path ? run.writer : second;
        const Writer& other = first == run.writer.path ? second : run.writer;
        std::printf("member 0 is %s\n", used.path.c_str());
        CHECK(Count(used.Trace(), "device: connected") > 0);
        CHECK(Count(other.Trace(), "device: connected") == 0);
        CHECK(Count(other.Trace(), "] #") == 0);
        run.End();
        second.Stop();
    } else if (scenario == "busy") {
        // Listed, but its one connection is held by another program: the
        // path cannot be opened, so nothing is sent.
        Run run;
        CHECK(run.writer.Start(""));
        HANDLE held = CreateFileA(run.writer.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        CHECK(held != INVALID_HANDLE_VALUE);
        CHECK(WaitFor([&] { return Count(run.writer.Trace(), "device: connected") == 1; }, 5000));
        CHECK(MemberPath(0) == run.writer.path);
        CHECK(run.StartProgram(exe));
        if (g_main) {
            run.PressGo();
            run.Follow(1, kWelcome, {IDI_HAND}, IDOK);
        }
        CHECK(run.boxes.size() == 1);
        if (!run.boxes.empty()) CHECK_EQ_STR(run.boxes[0].text, kConnectionBox);
        CHECK_EQ_STR(g_main ? WindowText(GetDlgItem(g_main, 1002)) : "", kWelcome);
        const std::string log = ReadFileText(logPath);
        CHECK(log.size() > 11 && log.substr(log.size() - 11) == " - Exiting\n");
        CHECK(Count(run.writer.Trace(), "] #") == 0);
        CHECK(Count(run.writer.Trace(), "device: connected") == 1);
        CloseHandle(held);
        run.End();
    } else if (scenario == "secondcopy") {
        Run run;
        CHECK(run.Start(exe, nullptr));
        if (g_main) {
            PostMessageA(g_main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
            CHECK(WaitFor([] { return IsIconic(g_main) != FALSE; }, 5000));
            STARTUPINFOA si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION second{};
            std::string command = "\"" + exe + "\"";
            const DWORD start = GetTickCount();
            CHECK(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &second));
            bool windowOfItsOwn = false;
            while (WaitForSingleObject(second.hProcess, 5) == WAIT_TIMEOUT && GetTickCount() - start < 10000) {
                const DWORD first = g_processId;
                g_processId = second.dwProcessId;
                HWND box = nullptr;
                EnumWindows(FindBox, LPARAM(&box));
                g_processId = first;
                HWND main = FindWindowA(nullptr, kCaption);
                DWORD owner = 0;
                if (main) GetWindowThreadProcessId(main, &owner);
                windowOfItsOwn = windowOfItsOwn || box || owner == second.dwProcessId;
            }
            const DWORD elapsed = GetTickCount() - start;
            DWORD code = 0;
            GetExitCodeProcess(second.hProcess, &code);
            std::printf("second copy ended after %lu ms with status %lu\n", elapsed, code);
            CHECK(elapsed < 1000);
            CHECK(code == 1);
            CHECK(!windowOfItsOwn);
            CloseHandle(second.hThread);
            CloseHandle(second.hProcess);
            CHECK(IsWindow(g_main) && !IsIconic(g_main));
            CHECK(GetForegroundWindow() == g_main);
        }
        run.End();
    } else if (scenario == "spread" && argc > 3) {
        // A fault of one kind at requests of every step. Each press ends with
        // one box, the clean-up and the exit line; the next press completes.
        // (This release carries no WiFi images: its WiFi steps send nothing.)
        const std::string kind = argv[3];
        const std::string fault = kind == "unplug" ? "unplug=1500" : kind == "noreply" ? "noreply" : "slow=32000";
        struct Point {
            const char* step;
            const char* where;
        };
        const Point points[] = {
            {"identification", "cmd:0x0001:1"}, {"boot versions", "cmd:0xE019:1"}, {"clock", "cmd:0xE005:1"},
            {"scanner", "cmd:0xE023:40"},       {"fonts, read-back", "cmd:0x0040:5"}, {"Font2, write", "cmd:0x100A:22"},
            {"X-Loader", "cmd:0x0060:1"},       {"boot code", "cmd:0x0050:4"},     {"application", "cmd:0x0002:20"},
            {"the reset", "cmd:0x0051:1"},
        };
        int held = 0;
        for (const Point& point : points) {
            const int before = g_failures;
            Run run;
            const std::string options = "--restart-delay 300 --fault " + fault + "@" + point.where;
            CHECK(run.Start(exe, options.c_str()));
            if (g_main) {
                run.PressGo();
                run.Follow(1, kWelcome, {IDI_HAND}, IDOK);
                // After the success box the welcome text comes back just before the program ends.
                if (run.boxes.size() == 1 && run.boxes[0].text == kSuccess)
                    run.ended = WaitForSingleObject(run.pi.hProcess, 20000) == WAIT_OBJECT_0;
                CHECK(run.boxes.size() == 1);
                if (!run.boxes.empty())
                    CHECK(run.boxes[0].caption == "Error" || (run.ended && run.boxes[0].text == kSuccess));
                if (!run.ended) CHECK_EQ_STR(WindowText(GetDlgItem(g_main, 1002)), kWelcome);
                const std::string log = ReadFileText(logPath);
                CHECK(log.size() > 11 && log.substr(log.size() - 11) == " - Exiting\n");
                CHECK(WaitFor([&] { return run.writer.Idle(); }, 5000));
                // The next press, with the writer back.
                CHECK(WaitFor([&] { return MemberPath(0) == run.writer.path; }, 10000));
                if (run.ended) {
                    run.Close();
                    CHECK(run.StartProgram(exe));
                }
                run.boxes.clear();
                if (g_main) {
                    run.PressGo();
                    run.Follow(1, nullptr, {IDI_ASTERISK}, IDOK);
                }
                CHECK(run.ended && run.boxes.size() == 1 && run.boxes[0].text == kSuccess);
            }
            run.End();
            if (g_failures == before) ++held;
            else std::printf("point not held: %s at %s (%s)\n", kind.c_str(), point.step, point.where);
        }
        std::printf("shipped exe, %s: %d of %zu points held\n", kind.c_str(), held, std::size(points));
    } else {
        return 2;
    }
    return CheckSummary(("update_driver " + scenario).c_str());
}
