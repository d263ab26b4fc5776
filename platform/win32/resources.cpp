#include "platform/win32/windows_headers.h"

#include <cstring>
#include <memory>

#include "platform/win32/system_dll.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

bool Win32Resources::FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return false;
    data = static_cast<const uint8_t*>(LockResource(loaded));
    size = SizeofResource(nullptr, found);
    return data != nullptr;
}

std::string Win32Resources::LoadString(uint32_t id) {
    char text[512] = {};
    const int n = ::LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return n > 0 ? std::string(text, size_t(n)) : std::string();
}

HMODULE LoadSystemDll(const char* name) {
    char path[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n + 1 + strlen(name) >= MAX_PATH) return nullptr;
    strcat(path, "\\");
    strcat(path, name);
    if (HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    // A Windows without the search flags (before KB2533623) refuses them:
    // the full path still keeps the DLL itself to the system folder.
    return GetLastError() == ERROR_INVALID_PARAMETER ? LoadLibraryExA(path, nullptr, 0) : nullptr;
}

namespace {
// VERSION.dll is no known system DLL: linked at build time, Windows would look
// for it beside the exe first. It is loaded from the system folder only, by
// its full path, so a copy of that name loaded by anyone else is never used.
class VersionDll {
public:
    VersionDll() : m_module(LoadSystemDll("version.dll")) {
        if (!m_module) return;
        m_size = reinterpret_cast<SizeFn>(Find("GetFileVersionInfoSizeA"));
        m_info = reinterpret_cast<InfoFn>(Find("GetFileVersionInfoA"));
        m_query = reinterpret_cast<QueryFn>(Find("VerQueryValueA"));
    }
    ~VersionDll() {
        if (m_module) FreeLibrary(m_module);
    }
    bool Ready() const { return m_size && m_info && m_query; }

    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    SizeFn m_size = nullptr;
    InfoFn m_info = nullptr;
    QueryFn m_query = nullptr;

private:
    void* Find(const char* name) { return reinterpret_cast<void*>(GetProcAddress(m_module, name)); }
    HMODULE m_module;
};
}  // namespace

void Win32Resources::ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) {
    const VersionDll dll;
    if (!dll.Ready()) return;
    char path[260] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD handle = 0;
    const DWORD size = dll.m_size(path, &handle);
    if (size == 0) return;
    std::unique_ptr<char[]> block(new char[size + 1]);
    void* found = nullptr;
    UINT length = 0;
    if (dll.m_info(path, 0, size, block.get()) && dll.m_query(block.get(), "\\", &found, &length) && found &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* info = static_cast<const VS_FIXEDFILEINFO*>(found);
        mostSignificant = info->dwProductVersionMS;
        leastSignificant = info->dwProductVersionLS;
    }
}

}  // namespace platform::win32
