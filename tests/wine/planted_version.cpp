// A stand-in VERSION.dll, as an attacker would leave it beside a downloaded
// exe: it leaves a marker file beside itself when a process loads it, and
// another when its code is called.
#include "platform/win32/windows_headers.h"

#include <string>


namespace {
HINSTANCE g_self = nullptr;

// Leaves `name` beside this DLL.
void Mark(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(g_self, path, sizeof path);
    std::string marker(path);
    marker = marker.substr(0, marker.find_last_of("\\/") + 1) + name;
    HANDLE h = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    g_self = self;
    if (reason == DLL_PROCESS_ATTACH) Mark("planted-dll-loaded.txt");
    return TRUE;
}

// The exports a program linked against VERSION.dll needs; a call leaves a mark.
extern "C" DWORD WINAPI PlantedSize(LPCSTR, LPDWORD) {
    Mark("planted-dll-called.txt");
    return 0;
}
extern "C" BOOL WINAPI PlantedInfo(LPCSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" BOOL WINAPI PlantedQuery(LPCVOID, LPCSTR, LPVOID*, PUINT) { return FALSE; }

// Wine's own user32 imports these (Windows' does not): present, silent and failing.
extern "C" DWORD WINAPI PlantedSizeW(LPCWSTR, LPDWORD) { return 0; }
extern "C" BOOL WINAPI PlantedInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" BOOL WINAPI PlantedQueryW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }
