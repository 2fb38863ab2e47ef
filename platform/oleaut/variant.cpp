#include "platform/oleaut/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "platform/oleaut/ole_date.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/com/unknwn.h"
#include "platform/base/wide_string.h"

#define VARIANT_ALPHABOOL 0x2

namespace {

bool IsSupported(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_DATE:
        case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_UI1:
        case VT_UI4: case VT_INT: case VT_UINT:
            return true;
        default:
            return false;
    }
}

// Numbers as a double, for conversions between numeric kinds.
bool AsDouble(const VARIANT& v, double& out) {
    switch (v.vt) {
        case VT_EMPTY: out = 0; return true;
        case VT_I2: out = v.iVal; return true;
        case VT_I4: case VT_INT: out = v.lVal; return true;
        case VT_UI1: out = v.bVal; return true;
        case VT_UI4: case VT_UINT: out = v.ulVal; return true;
        case VT_R4: out = v.fltVal; return true;
        case VT_R8: out = v.dblVal; return true;
        case VT_DATE: out = v.date; return true;
        case VT_BOOL: out = v.boolVal ? -1 : 0; return true;
        default: return false;
    }
}

// Automation rounds halves to even when a real becomes an integer.
bool ToInteger(double d, double lo, double hi, long long& out) {
    if (std::isnan(d)) return false;
    double r = std::nearbyint(d);  // default rounding mode: to nearest, ties to even
    if (r < lo || r > hi) return false;
    out = (long long)r;
    return true;
}

std::u16string NumberText(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return skyvane::W(buf);
}

}  // namespace

void VariantInit(VARIANTARG* v) {
    if (!v) return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    v->dblVal = 0;
}

HRESULT VariantClear(VARIANTARG* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (!IsSupported(v->vt)) return DISP_E_BADVARTYPE;
        if (v->vt == VT_BSTR)
            SysFreeString(v->bstrVal);
        else if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal)
            v->punkVal->Release();
    }
    v->vt = VT_EMPTY;
    v->dblVal = 0;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (!(src->vt & VT_BYREF) && !IsSupported(src->vt)) return DISP_E_BADVARTYPE;
    if (dest == src) return S_OK;
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) return hr;
    *dest = *src;
    if (src->vt == VT_BSTR) {
        dest->bstrVal = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
        if (src->bstrVal && !dest->bstrVal) {
            dest->vt = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
        src->punkVal->AddRef();
    }
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    if (!IsSupported(src->vt) || !IsSupported(vt)) return DISP_E_BADVARTYPE;
    VARIANT result;
    VariantInit(&result);
    if (src->vt == vt) {
        HRESULT hr = VariantCopy(&result, src);
        if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
        std::u16string text;
        if (src->vt == VT_DATE) {
            BSTR b = nullptr;
            HRESULT hr = VarBstrFromDate(src->date, LOCALE_USER_DEFAULT, 0, &b);
            if (FAILED(hr)) return hr;
            result.vt = VT_BSTR;
            result.bstrVal = b;
        } else if (src->vt == VT_BOOL) {
            text = (flags & VARIANT_ALPHABOOL) ? (src->boolVal ? u"True" : u"False") : (src->boolVal ? u"-1" : u"0");
        } else {
            double d;
            if (!AsDouble(*src, d)) return DISP_E_TYPEMISMATCH;
            if (src->vt == VT_EMPTY) text.clear();
            else text = NumberText(d);
        }
        if (result.vt != VT_BSTR) {
            result.vt = VT_BSTR;
            result.bstrVal = skyvane::AllocBstr(text);
        }
    } else if (vt == VT_EMPTY || vt == VT_NULL) {
        if (src->vt != VT_EMPTY && src->vt != VT_NULL) return DISP_E_TYPEMISMATCH;
        result.vt = vt;
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        if (src->vt != VT_UNKNOWN && src->vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        void* out = nullptr;
        if (src->punkVal) {
            HRESULT hr = src->punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &out);
            if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        }
        result.vt = vt;
        result.punkVal = static_cast<IUnknown*>(out);
    } else {
        double d;
        if (src->vt == VT_BSTR) {
            std::u16string_view t = skyvane::BstrView(src->bstrVal);
            while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
            while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
            if (vt == VT_BOOL && (skyvane::EqualsNoCase(t, u"true") || skyvane::EqualsNoCase(t, u"false"))) {
                d = skyvane::EqualsNoCase(t, u"true") ? -1 : 0;
            } else {
                std::u16string s(t);
                WCHAR* end = nullptr;
                d = wcstod(s.c_str(), &end);
                if (s.empty() || end != s.c_str() + s.size()) return DISP_E_TYPEMISMATCH;
            }
        } else if (!AsDouble(*src, d)) {
            return DISP_E_TYPEMISMATCH;
        }
        long long i = 0;
        result.vt = vt;
        switch (vt) {
            case VT_R8: result.dblVal = d; break;
            case VT_R4:
                if (std::fabs(d) > std::numeric_limits<float>::max() && std::isfinite(d)) return DISP_E_OVERFLOW;
                result.fltVal = float(d);
                break;
            case VT_DATE:
                if (d < -657434.0 || d >= 2958466.0) return DISP_E_OVERFLOW;
                result.date = d;
                break;
            case VT_BOOL: result.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
            case VT_I2:
                if (!ToInteger(d, -32768, 32767, i)) return DISP_E_OVERFLOW;
                result.iVal = SHORT(i);
                break;
            case VT_UI1:
                if (!ToInteger(d, 0, 255, i)) return DISP_E_OVERFLOW;
                result.bVal = BYTE(i);
                break;
            case VT_I4:
            case VT_INT:
            case VT_ERROR:
                if (!ToInteger(d, -2147483648.0, 2147483647.0, i)) return DISP_E_OVERFLOW;
                result.lVal = LONG(i);
                break;
            case VT_UI4:
            case VT_UINT:
                if (!ToInteger(d, 0, 4294967295.0, i)) return DISP_E_OVERFLOW;
                result.ulVal = ULONG(i);
                break;
            default: return DISP_E_TYPEMISMATCH;
        }
    }
    // The source may be the destination: clear only once the result is ready.
    VariantClear(dest);
    *dest = result;
    return S_OK;
}
