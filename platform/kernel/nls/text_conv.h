// Conversion between UTF-16, UTF-8 and the device's ANSI code page, with the
// platform's MultiByteToWideChar/WideCharToMultiByte contract.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/win_types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_NO_BEST_FIT_CHARS 0x00000400

// The device's ANSI code page: 1252 unless the device profile names another
// supported one (1250, 1251, 1252).
UINT GetACP();

// cbMultiByte -1 converts through the terminator (which is counted). With
// cchWideChar 0 returns the needed size. A buffer too small gives 0 and
// ERROR_INSUFFICIENT_BUFFER. Invalid UTF-8 becomes U+FFFD, or fails with
// ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int cbMultiByte, LPWSTR wide, int cchWideChar);
// Characters the code page lacks become lpDefaultChar (default "?"), and
// *lpUsedDefaultChar is set when that happened.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar, LPSTR mb, int cbMultiByte,
                        LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar);

namespace skyvane {
std::string ToUtf8(std::u16string_view s);
std::u16string FromUtf8(std::string_view s);
std::string ToAnsi(std::u16string_view s, UINT codePage = CP_ACP);
std::u16string FromAnsi(std::string_view s, UINT codePage = CP_ACP);
}  // namespace skyvane
