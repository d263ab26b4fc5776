// A minimal check harness for the Windows test programs run under Wine.
#pragma once

#include <cstdio>
#include <string>

#include "platform/win32/windows_headers.h"

inline int g_failures = 0;
inline int g_checks = 0;

#define CHECK(condition)                                                              \
    do {                                                                              \
        ++g_checks;                                                                   \
        if (!(condition)) {                                                           \
            ++g_failures;                                                             \
            std::printf("FAILED %s:%d: %s\n", __FILE__, __LINE__, #condition);        \
        }                                                                             \
    } while (0)

#define CHECK_EQ_STR(actual, expected)                                                \
    do {                                                                              \
        ++g_checks;                                                                   \
        const std::string a_ = (actual), e_ = (expected);                             \
        if (a_ != e_) {                                                               \
            ++g_failures;                                                             \
            std::printf("FAILED %s:%d: \"%s\" != \"%s\"\n", __FILE__, __LINE__, a_.c_str(), e_.c_str()); \
        }                                                                             \
    } while (0)

inline int CheckSummary(const char* name) {
    std::printf("%s: %d passed, %d failed\n", name, g_checks - g_failures, g_failures);
    std::fflush(stdout);
    return g_failures == 0 ? 0 : 1;
}

// The top-level window with this caption, waited for up to `timeoutMs`.
inline HWND WaitForWindow(const char* caption, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        if (HWND h = FindWindowA(nullptr, caption)) return h;
        Sleep(100);
    }
    return nullptr;
}
