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
    return t.size() == 36 && ParseGuidText(t.data(), out);
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
