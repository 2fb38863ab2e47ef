#include "platform/base/wide_string.h"

#include <locale.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/kernel/nls/text_conv.h"

namespace skyvane {

char16_t FoldLower(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return u'i';
        if (c == 0x178) return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? char16_t(c + 1) : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? c : char16_t(c + 1);
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return char16_t(c + 37);
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return char16_t(c + 63);
    if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
    if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) ? c : char16_t(c + 1);
    if (c >= 0xFF21 && c <= 0xFF3A) return char16_t(c + 32);
    return c;
}

char16_t FoldUpper(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131) return u'I';
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : char16_t(c - 1);
        if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? char16_t(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return char16_t(c - 32);
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return char16_t(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return char16_t(c - 63);
    if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) ? char16_t(c - 1) : c;
    if (c >= 0xFF41 && c <= 0xFF5A) return char16_t(c - 32);
    return c;
}

std::u16string ToLower(std::u16string_view s) {
    std::u16string r(s);
    for (auto& c : r) c = FoldLower(c);
    return r;
}

std::u16string ToUpper(std::u16string_view s) {
    std::u16string r(s);
    for (auto& c : r) c = FoldUpper(c);
    return r;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t x = FoldLower(a[i]), y = FoldLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::u16string W(std::string_view utf8) { return FromUtf8(utf8); }

}  // namespace skyvane

using skyvane::FoldLower;
using skyvane::FoldUpper;

size_t wcslen(const WCHAR* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

int lstrlenW(LPCWSTR s) { return s ? int(wcslen(s)) : 0; }

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
    WCHAR* d = dst;
    while ((*d++ = *src++)) {}
    return dst;
}

LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src) {
    if (!dst || !src) return nullptr;
    return wcscpy(dst, src);
}

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int cchMax) {
    if (!dst || cchMax <= 0) return dst;
    int i = 0;
    if (src)
        for (; i < cchMax - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
    wcscpy(dst + wcslen(dst), src);
    return dst;
}

LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src) {
    if (!dst || !src) return nullptr;
    return wcscat(dst, src);
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
    for (;; ++a, ++b) {
        if (*a != *b) return *a < *b ? -1 : 1;
        if (!*a) return 0;
    }
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (!a[i]) return 0;
    }
    return 0;
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        WCHAR x = FoldLower(a[i]), y = FoldLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
    return 0;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) { return _wcsnicmp(a, b, size_t(-1)); }

int lstrcmpW(LPCWSTR a, LPCWSTR b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return wcscmp(a, b);
}

int lstrcmpiW(LPCWSTR a, LPCWSTR b) {
    if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
    return _wcsicmp(a, b);
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
    const WCHAR* last = nullptr;
    for (;; ++s) {
        if (*s == c) last = s;
        if (!*s) return last;
    }
}

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub) {
    size_t n = wcslen(sub);
    if (!n) return s;
    for (; *s; ++s)
        if (wcsncmp(s, sub, n) == 0) return s;
    return nullptr;
}

WCHAR towlower(WCHAR c) { return FoldLower(c); }
WCHAR towupper(WCHAR c) { return FoldUpper(c); }

LPWSTR CharLowerW(LPWSTR s) {
    if (s)
        for (WCHAR* p = s; *p; ++p) *p = FoldLower(*p);
    return s;
}

LPWSTR CharUpperW(LPWSTR s) {
    if (s)
        for (WCHAR* p = s; *p; ++p) *p = FoldUpper(*p);
    return s;
}

namespace {
// Digits and signs are ASCII, so the numeric readers run on a narrowed copy
// of the leading run of characters that can belong to a number.
std::string NumberPrefix(const WCHAR* s, size_t& skipped) {
    size_t i = 0;
    while (s[i] == u' ' || (s[i] >= u'\t' && s[i] <= u'\r')) ++i;
    skipped = i;
    std::string out;
    for (; s[i] && s[i] < 0x80; ++i) {
        char c = char(s[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' || c == '-' ||
            c == '.')
            out.push_back(c);
        else
            break;
    }
    return out;
}
}  // namespace

long wcstol(const WCHAR* s, WCHAR** end, int base) {
    size_t skipped;
    std::string text = NumberPrefix(s, skipped);
    char* e = nullptr;
    long v = std::strtol(text.c_str(), &e, base);
    if (end) *end = const_cast<WCHAR*>(e == text.c_str() ? s : s + skipped + (e - text.c_str()));
    return v;
}

double wcstod(const WCHAR* s, WCHAR** end) {
    size_t skipped;
    std::string text = NumberPrefix(s, skipped);
    char* e = nullptr;
    // The "C" locale's decimal point, whatever the process locale says.
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    double v = strtod_l(text.c_str(), &e, cLocale);
    if (end) *end = const_cast<WCHAR*>(e == text.c_str() ? s : s + skipped + (e - text.c_str()));
    return v;
}

int _wtoi(const WCHAR* s) { return s ? int(wcstol(s, nullptr, 10)) : 0; }
