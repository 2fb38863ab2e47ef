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
// Declares a GUID from its text at compile time: constexpr GUID x = MakeGuid("{...}").
constexpr GUID MakeGuid(const char (&s)[39]) {
    auto hex = [](char c) -> unsigned {
        return c >= '0' && c <= '9' ? unsigned(c - '0') : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10) : unsigned(c - 'A' + 10);
    };
    auto num = [&](int pos, int digits) {
        unsigned long long v = 0;
        for (int i = 0; i < digits; ++i) v = v * 16 + hex(s[pos + i]);
        return v;
    };
    GUID g{};
    g.Data1 = DWORD(num(1, 8));
    g.Data2 = WORD(num(10, 4));
    g.Data3 = WORD(num(15, 4));
    g.Data4[0] = BYTE(num(20, 2));
    g.Data4[1] = BYTE(num(22, 2));
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = BYTE(num(25 + 2 * i, 2));
    return g;
}
}  // namespace skyvane

template <>
struct std::hash<GUID> {
    std::size_t operator()(const GUID& g) const noexcept;
};
