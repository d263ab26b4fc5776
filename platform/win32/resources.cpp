#include "platform/win32/windows_headers.h"

#include <memory>

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

void Win32Resources::ReadProductVersion(uint32_t& mostSignificant, uint32_t& leastSignificant) {
    char path[260] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return;
    std::unique_ptr<char[]> block(new char[size + 1]);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (GetFileVersionInfoA(path, 0, size, block.get()) &&
        VerQueryValueA(block.get(), "\\", reinterpret_cast<void**>(&info), &length) && info) {
        mostSignificant = info->dwProductVersionMS;
        leastSignificant = info->dwProductVersionLS;
    }
}

}  // namespace platform::win32
