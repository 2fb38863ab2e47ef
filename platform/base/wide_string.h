// UTF-16 string functions of the platform's C library (wcslen and friends for
// WCHAR), and the case rules its file system and registry use for names.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/win_types.h"

int lstrlenW(LPCWSTR s);  // NULL gives 0
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int cchMax);  // always terminates
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
size_t wcslen(const WCHAR* s);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub);
WCHAR towlower(WCHAR c);
WCHAR towupper(WCHAR c);
long wcstol(const WCHAR* s, WCHAR** end, int base);
double wcstod(const WCHAR* s, WCHAR** end);
int _wtoi(const WCHAR* s);
LPWSTR CharLowerW(LPWSTR s);
LPWSTR CharUpperW(LPWSTR s);

namespace skyvane {
// Simple case mapping for Latin-1, Latin Extended-A, Greek and Cyrillic, the
// scripts the system's texts use; other characters map to themselves.
char16_t FoldLower(char16_t c);
char16_t FoldUpper(char16_t c);
std::u16string ToLower(std::u16string_view s);
std::u16string ToUpper(std::u16string_view s);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
// 8-bit texts with only the ASCII letters folded; other bytes (UTF-8
// sequences) must match exactly. For keywords and for names known to be ASCII.
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);
int CompareNoCase(std::u16string_view a, std::u16string_view b);
// A UTF-16 text from an ASCII/UTF-8 literal at run time.
std::u16string W(std::string_view utf8);
}  // namespace skyvane
