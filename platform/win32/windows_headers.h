// Windows headers for the win32 backends, with the macros that would rename
// the seams' own methods (LoadString, MessageBox) taken back out.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef LoadString
#undef MessageBox
