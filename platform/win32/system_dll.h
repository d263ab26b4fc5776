// Loading DLLs that are no known system DLLs, safely.
#pragma once

#include "platform/win32/windows_headers.h"

namespace platform::win32 {

// Loads a DLL of the system folder by its full path, its own dependencies
// from the system folder too where Windows offers that. Null on failure.
HMODULE LoadSystemDll(const char* name);

}  // namespace platform::win32
