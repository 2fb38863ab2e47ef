#include "platform/oleaut/dispatch.h"

#include <cstring>

#include "platform/base/log.h"
#include "platform/com/runtime.h"
#include "platform/base/wide_string.h"

namespace skyvane {

namespace dispatch_detail {

namespace {

// A by-value view of an argument: a VT_BYREF argument read through its
// reference. The view owns nothing.
HRESULT Dereference(const VARIANT& arg, VARIANT& view) noexcept {
    if (!(arg.vt & VT_BYREF)) {
        view = arg;
        return S_OK;
    }
    if (!arg.byref) return DISP_E_TYPEMISMATCH;
    VARTYPE base = VARTYPE(arg.vt & ~VT_BYREF);
    if (base == VT_VARIANT) {
        const VARIANT& target = *arg.pvarVal;
        // One more reference is followed, to a value of a plain type; a
        // VARIANT by reference that leads to another one is refused, as it may
        // lead back to itself.
        if (target.vt == (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
        if (target.vt & VT_BYREF) return Dereference(target, view);
        view = target;
        return S_OK;
    }
    VariantInit(&view);
    view.vt = base;
    switch (base) {
        case VT_I2: case VT_BOOL: view.iVal = *static_cast<SHORT*>(arg.byref); break;
        case VT_I4: case VT_INT: case VT_UI4: case VT_UINT: case VT_ERROR:
            view.lVal = *static_cast<LONG*>(arg.byref);
            break;
        case VT_R4: view.fltVal = *static_cast<float*>(arg.byref); break;
        case VT_R8: case VT_DATE: view.dblVal = *static_cast<double*>(arg.byref); break;
        case VT_UI1: view.bVal = *static_cast<BYTE*>(arg.byref); break;
        case VT_BSTR: view.bstrVal = *static_cast<BSTR*>(arg.byref); break;
        case VT_UNKNOWN: case VT_DISPATCH: view.punkVal = *static_cast<IUnknown**>(arg.byref); break;
        default: return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

}  // namespace

bool SameStorage(VARTYPE a, VARTYPE b) noexcept {
    auto group = [](VARTYPE vt) -> int {
        switch (vt) {
            case VT_I4: case VT_INT: return 1;
            case VT_UI4: case VT_UINT: return 2;
            case VT_R8: case VT_DATE: return 3;
            case VT_I2: case VT_BOOL: return 4;
            default: return 100 + vt;
        }
    };
    return group(a) == group(b);
}

HRESULT ConvertArg(const VARIANT& arg, VARTYPE vt, VARIANT* out) noexcept {
    VARIANT view;
    HRESULT hr = Dereference(arg, view);
    if (FAILED(hr)) return hr;
    VariantClear(out);
    if (vt == VT_VARIANT || view.vt == vt) return VariantCopy(out, &view);
    return VariantChangeType(out, &view, 0, vt);
}

HRESULT ArgToObject(const VARIANT& arg, REFIID iid, void** out) noexcept {
    *out = nullptr;
    VARIANT view;
    HRESULT hr = Dereference(arg, view);
    if (FAILED(hr)) return hr;
    switch (view.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return S_OK;  // Nothing: the member gets NULL
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (!view.punkVal) return S_OK;
            return SUCCEEDED(view.punkVal->QueryInterface(iid, out)) ? S_OK : DISP_E_TYPEMISMATCH;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

void Retag(VARIANT* value, VARTYPE vt) noexcept {
    if (vt == VT_EMPTY || vt == value->vt) return;
    if (SameStorage(vt, value->vt)) {
        value->vt = vt;
        return;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (SUCCEEDED(VariantChangeType(&converted, value, 0, vt))) {
        VariantClear(value);
        *value = converted;
    }
}

}  // namespace dispatch_detail

HRESULT GetMemberIds(std::span<const DispMember> members, REFIID riid, LPOLESTR* names, UINT count,
                     DISPID* ids) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    HRESULT hr = DISP_E_UNKNOWNNAME;
    if (names[0]) {
        std::u16string_view wanted(names[0], size_t(lstrlenW(names[0])));
        for (const DispMember& m : members) {
            if (EqualsNoCase(m.name, wanted)) {
                ids[0] = m.id;
                hr = S_OK;
                break;
            }
        }
    }
    // Parameter names are not offered: any asked for are unknown.
    return count > 1 ? DISP_E_UNKNOWNNAME : hr;
}

namespace {

void FillExcepInfo(EXCEPINFO* info, HRESULT hr) {
    std::memset(info, 0, sizeof *info);
    info->scode = hr;
    ComPtr<IErrorInfo> error;
    if (GetErrorInfo(0, &error) != S_OK || !error) return;
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
    error->GetHelpFile(&info->bstrHelpFile);
    error->GetHelpContext(&info->dwHelpContext);
}

}  // namespace

HRESULT InvokeMember(std::span<const DispMember> members, IDispatch* self, DISPID id, REFIID riid, WORD flags,
                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) noexcept {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if ((params->cArgs && !params->rgvarg) || params->cNamedArgs > params->cArgs ||
        (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    // The member whose kind the flags ask for; a property put by reference
    // (Set x.Prop = obj) is served by the put.
    WORD wanted = flags;
    if (wanted & DISPATCH_PROPERTYPUTREF) wanted |= DISPATCH_PROPERTYPUT;
    const DispMember* member = nullptr;
    for (const DispMember& m : members) {
        if (m.id == id && (WORD(m.kind) & wanted)) {
            member = &m;
            break;
        }
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;

    if (member->kind == DispKind::PropertyPut) {
        if (params->cNamedArgs == 0) return DISP_E_PARAMNOTOPTIONAL;
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_NONAMEDARGS;
    } else if (params->cNamedArgs) {
        return DISP_E_NONAMEDARGS;
    }

    if (result) VariantInit(result);
    // Only an error object the member sets may describe its failure.
    SetErrorInfo(0, nullptr);
    DispCall call{params, result, argErr, member->resultType, false};
    HRESULT hr;
    try {
        hr = member->invoke(self, call);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        SKYVANE_LOG("com", "Invoke of member %ld failed: %s", long(id), e.what());
        hr = E_FAIL;
    } catch (...) {
        SKYVANE_LOG("com", "Invoke of member %ld failed: an exception of unknown type", long(id));
        hr = E_FAIL;
    }
    if (SUCCEEDED(hr) || !call.memberCalled) return hr;
    if (excepInfo) FillExcepInfo(excepInfo, hr);
    return DISP_E_EXCEPTION;
}

}  // namespace skyvane
