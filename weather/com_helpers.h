// The boundary helpers of the service-side classes: every failure goes out
// with an error object naming the class and the interface it came through.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/base/log.h"
#include "platform/com/com_object.h"
#include "platform/com/guid.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"

namespace skyvane::weather {

// The interface table of a class with one dual interface: the dual answered
// at every numbered level given (the newest first, which is also the
// object's identity), IDispatch, and ISupportErrorInfo.
template <class Class, class Dual, const IID&... Levels>
inline constexpr skyvane::InterfaceEntry kDualInterfaces[] = {
    skyvane::InterfaceEntry::Of<Class, Dual>(Levels)...,
    skyvane::InterfaceEntry::Of<Class, Dual>(IID_IDispatch),
    skyvane::InterfaceEntry::Of<Class, ISupportErrorInfo>(IID_ISupportErrorInfo),
};

// The class and interface that a failure is reported for.
struct ComSite {
    const CLSID& clsid;
    const IID& iid;
};

inline HRESULT Fail(const ComSite& site, HRESULT hr, std::u16string_view description) {
    return skyvane::ReportError(hr, site.clsid, site.iid, description);
}

inline HRESULT NullPointer(const ComSite& site) { return Fail(site, E_POINTER, u"Invalid pointer"); }

// Writes what the exception being handled is to the developer log; for use
// inside a catch block only.
inline void LogCaught(const char* where) noexcept {
    try {
        throw;
    } catch (const skyvane::ComError& e) {
        SKYVANE_LOG("kweather", "%s failed: 0x%08X %s", where, unsigned(e.Result()),
                    skyvane::ToUtf8(e.Description()).c_str());
    } catch (const std::exception& e) {
        SKYVANE_LOG("kweather", "%s failed: %s", where, e.what());
    } catch (...) {
        SKYVANE_LOG("kweather", "%s failed: an exception of unknown type", where);
    }
}

// Runs a member's body so that no exception leaves it: what is caught is
// logged, then converted (a ComError gives its result, bad_alloc
// E_OUTOFMEMORY, anything else E_FAIL with "Unknown error").
template <class F>
HRESULT Guard(const ComSite& site, F&& body) noexcept {
    return skyvane::ComGuard(site.clsid, site.iid, [&]() -> HRESULT {
        try {
            return body();
        } catch (...) {
            if (skyvane::LogEnabled("kweather"))
                LogCaught(("a member of " + skyvane::ToUtf8(skyvane::GuidToString(site.clsid))).c_str());
            throw;
        }
    });
}

template <class T, class V>
HRESULT GetValue(const ComSite& site, T* out, V value) {
    if (!out) return NullPointer(site);
    *out = T(value);
    return S_OK;
}

// A setter that stores its argument as it is.
template <class T>
HRESULT SetValue(T& field, T value) {
    field = value;
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
