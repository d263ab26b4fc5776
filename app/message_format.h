// printf-style formatting into the fixed buffers the messages use.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

constexpr size_t kMessageBuffer = 512;
constexpr size_t kShortMessageBuffer = 128;

// Formats into a buffer of `Size` bytes: at most Size - 1 characters.
template <size_t Size = kMessageBuffer>
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

template <size_t Size>
std::string FormatText(const char* format, ...) {
    char text[Size];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}
