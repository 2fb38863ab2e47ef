#include "platform/com/guid.h"

#include <algorithm>
#include <cstring>

const GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

bool operator<(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }

std::size_t std::hash<GUID>::operator()(const GUID& g) const noexcept {
    std::uint64_t lo, hi;
    std::memcpy(&lo, &g, 8);
    std::memcpy(&hi, reinterpret_cast<const char*>(&g) + 8, 8);
    return std::hash<std::uint64_t>()(lo ^ (hi * 0x9E3779B97F4A7C15ull));
}

namespace skyvane {

std::u16string GuidToString(REFGUID g) {
    static const char digits[] = "0123456789ABCDEF";
    std::u16string s;
    s.reserve(38);
    auto put = [&](unsigned long long v, int nibbles) {
        for (int i = nibbles - 1; i >= 0; --i) s.push_back(char16_t(digits[(v >> (4 * i)) & 0xF]));
    };
    s.push_back(u'{');
    put(g.Data1, 8);
    s.push_back(u'-');
    put(g.Data2, 4);
    s.push_back(u'-');
    put(g.Data3, 4);
    s.push_back(u'-');
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    s.push_back(u'-');
    for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
    s.push_back(u'}');
    return s;
}

bool GuidFromString(std::u16string_view t, GUID& out) {
    if (t.size() == 38) {
        if (t.front() != u'{' || t.back() != u'}') return false;
        t = t.substr(1, 36);
    }
    if (t.size() != 36) return false;
    auto hex = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    };
    bool ok = true;
    auto num = [&](size_t pos, int digits) {
        unsigned long long v = 0;
        for (int i = 0; i < digits; ++i) {
            int d = hex(t[pos + i]);
            if (d < 0) ok = false;
            v = v * 16 + unsigned(d < 0 ? 0 : d);
        }
        return v;
    };
    if (t[8] != u'-' || t[13] != u'-' || t[18] != u'-' || t[23] != u'-') return false;
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

}  // namespace skyvane

int StringFromGUID2(REFGUID guid, LPOLESTR lpsz, int cchMax) {
    if (!lpsz || cchMax < 39) return 0;
    std::u16string s = skyvane::GuidToString(guid);
    std::copy(s.begin(), s.end(), lpsz);
    lpsz[38] = 0;
    return 39;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID_NULL;
        return S_OK;
    }
    std::u16string_view t(lpsz);
    // Only the braced form is a class string.
    if (t.size() != 38 || !skyvane::GuidFromString(t, *pclsid)) {
        *pclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    return S_OK;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* piid) {
    if (!lpsz) {
        if (piid) *piid = GUID_NULL;
        return S_OK;
    }
    HRESULT hr = CLSIDFromString(lpsz, piid);
    return hr == CO_E_CLASSSTRING ? E_INVALIDARG : hr;
}
