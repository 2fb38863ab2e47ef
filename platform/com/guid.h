// GUID comparison and the registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(a.Data4, a.Data4 + 8, b.Data4);
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
bool operator<(REFGUID a, REFGUID b);

extern const GUID GUID_NULL;
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

// Writes the braced form with its terminator; returns the characters written
// including the terminator, or 0 when cchMax is below 39.
int StringFromGUID2(REFGUID guid, LPOLESTR lpsz, int cchMax);
// Parses the braced form (hex digits in either case). CO_E_CLASSSTRING on any
// other text; the output is cleared to GUID_NULL then.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, IID* piid);

namespace skyvane {
// The braced upper-case form.
std::u16string GuidToString(REFGUID guid);
// Parses the braced form; also accepts the unbraced 36-character form.
bool GuidFromString(std::u16string_view text, GUID& out);

// The GUID written in the 36 characters "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"
// at t (hex digits in either case); false, with out untouched, for anything else.
template <class Char>
constexpr bool ParseGuidText(const Char* t, GUID& out) {
    if (t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') return false;
    bool ok = true;
    auto num = [&](int pos, int digits) {
        unsigned long long v = 0;
        for (int i = 0; i < digits; ++i) {
            const Char c = t[pos + i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            ok = ok && d >= 0;
            v = v * 16 + unsigned(d < 0 ? 0 : d);
        }
        return v;
    };
    GUID g{};
    g.Data1 = DWORD(num(0, 8));
    g.Data2 = WORD(num(9, 4));
    g.Data3 = WORD(num(14, 4));
    g.Data4[0] = BYTE(num(19, 2));
    g.Data4[1] = BYTE(num(21, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = BYTE(num(24 + 2 * i, 2));
    if (!ok) return false;
    out = g;
    return true;
}

// Declares a GUID from its braced text: constexpr GUID x = MakeGuid("{...}").
// A text that is not a GUID does not compile.
constexpr GUID MakeGuid(const char (&s)[39]) {
    GUID g{};
    if (s[0] != '{' || s[37] != '}' || !ParseGuidText(s + 1, g)) throw "MakeGuid: not a braced GUID";
    return g;
}
}  // namespace skyvane

template <>
struct std::hash<GUID> {
    std::size_t operator()(const GUID& g) const noexcept;
};
