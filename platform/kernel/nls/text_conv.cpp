#include "platform/kernel/nls/text_conv.h"

#include <array>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/kernel/handles.h"
#include "platform/registry/registry.h"

namespace {

#include "platform/kernel/nls/code_page_tables.inc"

const char16_t* HighTable(UINT cp) {
    switch (cp) {
        case 1250: return kHigh1250;
        case 1251: return kHigh1251;
        case 1252: return kHigh1252;
        default: return nullptr;
    }
}

// UTF-16 → byte for one single-byte page, built on first use.
const std::unordered_map<char16_t, unsigned char>& ReverseTable(UINT cp) {
    static std::array<std::unordered_map<char16_t, unsigned char>, 3> maps;
    static std::once_flag once[3];
    size_t slot = cp == 1250 ? 0 : cp == 1251 ? 1 : 2;
    std::call_once(once[slot], [&] {
        const char16_t* high = HighTable(cp);
        for (int i = 0; i < 128; ++i) maps[slot].emplace(high[i], (unsigned char)(0x80 + i));
    });
    return maps[slot];
}

UINT ResolvePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_OEMCP) return GetACP();
    return cp;
}

bool Supported(UINT cp) { return cp == CP_UTF8 || HighTable(cp); }

// Decodes UTF-8; malformed sequences (overlong forms, surrogates, truncated
// sequences, stray continuation bytes) become U+FFFD one byte at a time.
bool DecodeUtf8(const unsigned char* s, size_t n, std::u16string& out) {
    bool clean = true;
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        char32_t cp = extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = extra > 0 && i + size_t(extra) < n;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if ((s[i + k] & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (s[i + k] & 0x3F);
            }
        }
        static const char32_t minimum[4] = {0, 0x80, 0x800, 0x10000};
        if (ok && (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(0xFFFD);
            clean = false;
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
        i += extra + 1;
    }
    return clean;
}

void EncodeUtf8(const char16_t* s, size_t n, std::string& out) {
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // an unpaired surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out.push_back(char(cp));
        } else if (cp < 0x800) {
            out.push_back(char(0xC0 | (cp >> 6)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(char(0xE0 | (cp >> 12)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (cp >> 18)));
            out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(char(0x80 | (cp & 0x3F)));
        }
    }
}

void DecodeSingleByte(UINT cp, const unsigned char* s, size_t n, std::u16string& out) {
    const char16_t* high = HighTable(cp);
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) out.push_back(s[i] < 0x80 ? char16_t(s[i]) : high[s[i] - 0x80]);
}

bool EncodeSingleByte(UINT cp, const char16_t* s, size_t n, std::string& out, char defaultChar) {
    const auto& reverse = ReverseTable(cp);
    bool usedDefault = false;
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < 0x80) {
            out.push_back(char(s[i]));
            continue;
        }
        auto it = reverse.find(s[i]);
        if (it != reverse.end()) {
            out.push_back(char(it->second));
        } else {
            out.push_back(defaultChar);
            usedDefault = true;
            // A surrogate pair is one character and gets one default character.
            if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
        }
    }
    return usedDefault;
}

}  // namespace

UINT GetACP() {
    // The device profile may name another page; anything unsupported keeps 1252.
    HKEY key;
    DWORD page = 1252;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD value = 0, size = sizeof value, type = 0;
        if (RegQueryValueExW(key, u"CodePage", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof value && HighTable(value))
            page = value;
        RegCloseKey(key);
    }
    return page;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int cbMultiByte, LPWSTR wide, int cchWideChar) {
    if (!mb || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolvePage(codePage);
    if (!Supported(cp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = cbMultiByte < 0 ? std::strlen(mb) + 1 : size_t(cbMultiByte);
    std::u16string out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(mb);
    if (cp == CP_UTF8) {
        if (!DecodeUtf8(bytes, n, out) && (flags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        DecodeSingleByte(cp, bytes, n, out);
    }
    if (cchWideChar == 0) return int(out.size());
    if (out.size() > size_t(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar, LPSTR mb, int cbMultiByte,
                        LPCSTR lpDefaultChar, BOOL* lpUsedDefaultChar) {
    if (!wide || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte && !mb)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UINT cp = ResolvePage(codePage);
    if (!Supported(cp) || (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = 0;
    if (cchWideChar < 0)
        while (wide[n++]) {}
    else
        n = size_t(cchWideChar);
    std::string out;
    bool usedDefault = false;
    if (cp == CP_UTF8)
        EncodeUtf8(wide, n, out);
    else
        usedDefault = EncodeSingleByte(cp, wide, n, out, lpDefaultChar ? *lpDefaultChar : '?');
    if (lpUsedDefaultChar) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0) return int(out.size());
    if (out.size() > size_t(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(mb, out.data(), out.size());
    return int(out.size());
}

namespace skyvane {

std::string ToUtf8(std::u16string_view s) {
    std::string out;
    EncodeUtf8(s.data(), s.size(), out);
    return out;
}

std::u16string FromUtf8(std::string_view s) {
    std::u16string out;
    DecodeUtf8(reinterpret_cast<const unsigned char*>(s.data()), s.size(), out);
    return out;
}

std::string ToAnsi(std::u16string_view s, UINT codePage) {
    UINT cp = ResolvePage(codePage);
    std::string out;
    if (cp == CP_UTF8)
        EncodeUtf8(s.data(), s.size(), out);
    else
        EncodeSingleByte(Supported(cp) ? cp : 1252, s.data(), s.size(), out, '?');
    return out;
}

std::u16string FromAnsi(std::string_view s, UINT codePage) {
    UINT cp = ResolvePage(codePage);
    std::u16string out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
    if (cp == CP_UTF8)
        DecodeUtf8(bytes, s.size(), out);
    else
        DecodeSingleByte(Supported(cp) ? cp : 1252, bytes, s.size(), out);
    return out;
}

}  // namespace skyvane
