// The boundary helpers of the service-side classes: every failure goes out
// with an error object naming the class and the interface it came through.
#pragma once

#include <string>
#include <string_view>

#include "platform/oleaut/bstr.h"
#include "platform/com/com_object.h"

namespace skyvane::weather {

// The class and interface that a failure is reported for.
struct ComSite {
    const CLSID& clsid;
    const IID& iid;
};

inline HRESULT Fail(const ComSite& site, HRESULT hr, std::u16string_view description) {
    return skyvane::ReportError(hr, site.clsid, site.iid, description);
}

inline HRESULT NullPointer(const ComSite& site) { return Fail(site, E_POINTER, u"Invalid pointer"); }

// Runs a member's body so that no exception leaves it.
template <class F>
HRESULT Guard(const ComSite& site, F&& body) noexcept {
    return skyvane::ComGuard(site.clsid, site.iid, std::forward<F>(body));
}

template <class T, class V>
HRESULT GetValue(const ComSite& site, T* out, V value) {
    if (!out) return NullPointer(site);
    *out = T(value);
    return S_OK;
}

// Hands out a copy of the text, or a null string when it is empty.
inline HRESULT GetText(const ComSite& site, BSTR* out, std::u16string_view text) {
    if (!out) return NullPointer(site);
    *out = nullptr;
    if (text.empty()) return S_OK;
    *out = skyvane::AllocBstr(text);
    return *out ? S_OK : Fail(site, E_OUTOFMEMORY, u"Out of memory");
}

// Copies the argument; a null argument makes the text empty.
inline HRESULT SetText(const ComSite& site, std::u16string& field, BSTR value) {
    return Guard(site, [&] {
        field.assign(skyvane::BstrView(value));
        return S_OK;
    });
}

}  // namespace skyvane::weather
