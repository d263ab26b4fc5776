// Reads its own version record through VERSION.dll linked at build time, as
// the program once did: the control case of the DLL planting check.
#include "platform/win32/windows_headers.h"

#include <cstdio>

int main() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD handle = 0;
    std::printf("version record: %lu bytes\n", static_cast<unsigned long>(GetFileVersionInfoSizeA(path, &handle)));
    return 0;
}
