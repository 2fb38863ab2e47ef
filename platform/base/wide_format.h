// printf-style formatting of UTF-16 texts, as the platform's wide printf does:
// %s takes a WCHAR text (NULL prints "(null)"), %S an 8-bit text, %c a WCHAR;
// flags - + 0 space #, width and precision (also *), length prefixes h l ll I64
// and conversions d i u x X o c s S f e E g G p %.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/base/win_types.h"

// Writes at most cchMax characters including the terminator; returns the number
// written without it, or -1 when the text was cut (the buffer is still
// terminated). The bounded form every caller uses (the platform's swprintf
// takes no size).
int _snwprintf(WCHAR* buf, size_t cchMax, const WCHAR* fmt, ...);
int _vsnwprintf(WCHAR* buf, size_t cchMax, const WCHAR* fmt, va_list args);
// Unbounded: the caller's buffer must be large enough (the platform's contract;
// prefer the bounded forms). Limited to 1024 characters as the platform does.
int wsprintfW(WCHAR* buf, const WCHAR* fmt, ...);

namespace skyvane {
std::u16string FormatW(const WCHAR* fmt, ...);
std::u16string VFormatW(const WCHAR* fmt, va_list args);
}  // namespace skyvane
