// IDispatch from a member table: late-bound callers reach the members of a
// dual interface by name and DISPID, with VARIANT arguments unpacked into the
// C++ parameters of the interface methods.
//
// A class implementing a dual interface lists DispatchImpl<Self, IThing2> among
// its interfaces and provides the table:
//
//   static std::span<const skyvane::DispMember> DispatchMembers() {
//       static constexpr skyvane::DispMember table[] = {
//           skyvane::DispGet<&IThing::get_Name>(u"Name", 1),
//           skyvane::DispPut<&IThing::put_Name>(u"Name", 1),
//           skyvane::DispGet<&IThing::get_Date>(u"Date", 2, VT_DATE),
//           skyvane::DispMethod<&IThing2::Load>(u"Load", 3),
//       };
//       return table;
//   }
//
// Parameter rules: values (numbers, enumerations, BSTR, interface pointers,
// VARIANT) are [in] arguments converted with VariantChangeType; a trailing
// pointer to such a value is the [out, retval] result of a get or method;
// other pointers are [in, out] arguments passed by reference (VT_BYREF of the
// same type, or VT_BYREF|VT_VARIANT). A put takes its value from the named
// argument DISPID_PROPERTYPUT.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/com/com_object.h"

#ifndef DISP_E_NONAMEDARGS
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007u)
#endif
#ifndef DISP_E_BADINDEX
#define DISP_E_BADINDEX ((HRESULT)0x8002000Bu)
#endif

namespace skyvane {

enum class DispKind : WORD {
    Method = DISPATCH_METHOD,
    PropertyGet = DISPATCH_PROPERTYGET,
    PropertyPut = DISPATCH_PROPERTYPUT,
};

// One Invoke as a member's thunk sees it.
struct DispCall {
    DISPPARAMS* params;   // never NULL; named arguments already checked
    VARIANT* result;      // may be NULL
    UINT* argErr;         // may be NULL
    VARTYPE resultType;   // VT_EMPTY: the C++ type decides
    bool memberCalled;    // set once the arguments are unpacked and the member runs
};

struct DispMember {
    std::u16string_view name;
    DISPID id;
    DispKind kind;
    VARTYPE resultType;
    HRESULT (*invoke)(IDispatch* self, DispCall& call);
};

// IDispatch::GetIDsOfNames over a table: names compare case-insensitively;
// parameter names are not known (DISPID_UNKNOWN, DISP_E_UNKNOWNNAME).
HRESULT GetMemberIds(std::span<const DispMember> members, REFIID riid, LPOLESTR* names, UINT count,
                     DISPID* ids) noexcept;
// IDispatch::Invoke over a table. A member that fails gives DISP_E_EXCEPTION
// with its result and the thread's error object in *excepInfo; errors of the
// call itself (unknown member, wrong count or type of arguments) come back
// directly, with *argErr naming the offending entry of rgvarg.
HRESULT InvokeMember(std::span<const DispMember> members, IDispatch* self, DISPID id, REFIID riid, WORD flags,
                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) noexcept;

namespace dispatch_detail {

// Argument helpers (dispatch.cpp). An argument may be VT_BYREF; it is read
// through the reference.
HRESULT ConvertArg(const VARIANT& arg, VARTYPE vt, VARIANT* out) noexcept;
HRESULT ArgToObject(const VARIANT& arg, REFIID iid, void** out) noexcept;
// Gives a result of type `from` the type the member table asks for.
void Retag(VARIANT* value, VARTYPE vt) noexcept;
bool SameStorage(VARTYPE a, VARTYPE b) noexcept;

template <class T>
inline constexpr bool kIsString = std::is_same_v<T, OLECHAR*> || std::is_same_v<T, const OLECHAR*>;
template <class T>
inline constexpr bool kIsInterface = std::is_pointer_v<T> && std::is_class_v<std::remove_pointer_t<T>> &&
                                     std::is_base_of_v<IUnknown, std::remove_cv_t<std::remove_pointer_t<T>>>;
template <class T>
inline constexpr bool kIsNumber = (std::is_arithmetic_v<T> || std::is_enum_v<T>) && !std::is_same_v<T, bool>;
template <class T>
inline constexpr bool kIsVariant = std::is_same_v<T, VARIANT>;
template <class T>
inline constexpr bool kIsValue = kIsNumber<T> || kIsString<T> || kIsInterface<T> || kIsVariant<T>;
template <class T>
inline constexpr bool kIsOut = std::is_pointer_v<T> && !kIsString<T> && !kIsInterface<T> &&
                               !std::is_const_v<std::remove_pointer_t<T>> && kIsValue<std::remove_pointer_t<T>>;

template <class T>
constexpr VARTYPE NaturalVt() {
    if constexpr (std::is_enum_v<T>) {
        static_assert(sizeof(T) == 4, "enumerations cross as 32-bit numbers");
        return VT_I4;
    } else if constexpr (std::is_floating_point_v<T>) {
        return sizeof(T) == 4 ? VT_R4 : VT_R8;
    } else if constexpr (std::is_integral_v<T>) {
        static_assert(sizeof(T) == 4 || (std::is_signed_v<T> ? sizeof(T) == 2 : sizeof(T) == 1),
                      "automation numbers: 32-bit, signed 16-bit, unsigned 8-bit");
        if constexpr (std::is_signed_v<T>)
            return sizeof(T) == 4 ? VT_I4 : VT_I2;
        else
            return sizeof(T) == 4 ? VT_UI4 : VT_UI1;
    } else if constexpr (kIsString<T>) {
        return VT_BSTR;
    } else if constexpr (kIsInterface<T>) {
        return std::is_base_of_v<IDispatch, std::remove_cv_t<std::remove_pointer_t<T>>> ? VT_DISPATCH : VT_UNKNOWN;
    } else {
        static_assert(kIsVariant<T>, "unsupported parameter type");
        return VT_VARIANT;
    }
}

// A number from a VARIANT already converted to NaturalVt<T>().
template <class T>
T NumberFrom(const VARIANT& v) {
    constexpr VARTYPE vt = NaturalVt<T>();
    if constexpr (std::is_enum_v<T>) return static_cast<T>(v.lVal);
    else if constexpr (vt == VT_R8) return static_cast<T>(v.dblVal);
    else if constexpr (vt == VT_R4) return static_cast<T>(v.fltVal);
    else if constexpr (vt == VT_I4) return static_cast<T>(v.lVal);
    else if constexpr (vt == VT_UI4) return static_cast<T>(v.ulVal);
    else if constexpr (vt == VT_I2) return static_cast<T>(v.iVal);
    else return static_cast<T>(v.bVal);
}

// Stores a value into an empty VARIANT, handing over its BSTR or reference.
template <class T>
void Inject(VARIANT& v, T value) {
    constexpr VARTYPE vt = NaturalVt<T>();
    if constexpr (kIsVariant<T>) {
        v = value;
        return;
    } else {
        v.vt = vt;
        if constexpr (std::is_enum_v<T>) v.lVal = static_cast<LONG>(value);
        else if constexpr (vt == VT_R8) v.dblVal = value;
        else if constexpr (vt == VT_R4) v.fltVal = value;
        else if constexpr (vt == VT_I4) v.lVal = static_cast<LONG>(value);
        else if constexpr (vt == VT_UI4) v.ulVal = value;
        else if constexpr (vt == VT_I2) v.iVal = value;
        else if constexpr (vt == VT_UI1) v.bVal = value;
        else if constexpr (vt == VT_BSTR) v.bstrVal = const_cast<BSTR>(value);
        else if constexpr (vt == VT_DISPATCH) v.pdispVal = value;
        else v.punkVal = value;
    }
}

template <class T>
void FreeValue(T& value) {
    if constexpr (kIsString<T>) {
        SysFreeString(const_cast<BSTR>(value));
        value = nullptr;
    } else if constexpr (kIsInterface<T>) {
        if (value) value->Release();
        value = nullptr;
    } else if constexpr (kIsVariant<T>) {
        VariantClear(&value);
    }
}

// An [in] argument.
template <class T>
class InSlot {
public:
    InSlot() { VariantInit(&held_); }
    ~InSlot() {
        if constexpr (kIsInterface<T>)
            FreeValue(object_);
        else
            VariantClear(&held_);
    }
    InSlot(const InSlot&) = delete;
    InSlot& operator=(const InSlot&) = delete;

    HRESULT Load(const VARIANT& arg) noexcept {
        if constexpr (kIsInterface<T>) {
            using I = std::remove_cv_t<std::remove_pointer_t<T>>;
            return ArgToObject(arg, IidOf<I>(), reinterpret_cast<void**>(&object_));
        } else {
            return ConvertArg(arg, NaturalVt<T>(), &held_);
        }
    }
    T Value() const {
        if constexpr (kIsInterface<T>) return object_;
        else if constexpr (kIsString<T>) return held_.bstrVal;
        else if constexpr (kIsVariant<T>) return held_;
        else return NumberFrom<T>(held_);
    }

private:
    VARIANT held_;
    std::remove_cv_t<std::remove_pointer_t<T>>* object_ = nullptr;
};

// An [out, retval] result or an [in, out] argument passed by reference.
template <class P>
class OutSlot {
    using T = std::remove_pointer_t<P>;
    // Arguments of exactly this type can be handed to the member as they are.
    static constexpr bool kDirect = !kIsInterface<T> ||
                                    std::is_same_v<std::remove_cv_t<std::remove_pointer_t<T>>, IUnknown> ||
                                    std::is_same_v<std::remove_cv_t<std::remove_pointer_t<T>>, IDispatch>;

public:
    OutSlot() = default;
    ~OutSlot() { FreeValue(local_); }
    OutSlot(const OutSlot&) = delete;
    OutSlot& operator=(const OutSlot&) = delete;

    HRESULT Load(const VARIANT& arg) noexcept {
        constexpr VARTYPE vt = NaturalVt<T>();
        if (kDirect && (arg.vt & VT_BYREF) && SameStorage(VARTYPE(arg.vt & ~VT_BYREF), vt) && arg.byref) {
            target_ = static_cast<T*>(arg.byref);
            return S_OK;
        }
        if (arg.vt != (VT_BYREF | VT_VARIANT) || !arg.pvarVal) return DISP_E_TYPEMISMATCH;
        // A VARIANT by reference: the member works on a converted copy that is
        // written back when it succeeds.
        variantRef_ = arg.pvarVal;
        if constexpr (kIsInterface<T>) {
            using I = std::remove_cv_t<std::remove_pointer_t<T>>;
            if (variantRef_->vt == VT_EMPTY) return S_OK;
            return ArgToObject(*variantRef_, IidOf<I>(), reinterpret_cast<void**>(&local_));
        } else if constexpr (kIsVariant<T>) {
            return VariantCopy(&local_, variantRef_);
        } else {
            if (variantRef_->vt == VT_EMPTY) return S_OK;
            VARIANT converted;
            VariantInit(&converted);
            HRESULT hr = ConvertArg(*variantRef_, vt, &converted);
            if (FAILED(hr)) return hr;
            if constexpr (kIsString<T>)
                local_ = converted.bstrVal;  // ownership moves to local_
            else
                local_ = NumberFrom<T>(converted);
            return S_OK;
        }
    }
    P Value() noexcept { return target_; }

    // After the member succeeded.
    void Commit() noexcept {
        if (!variantRef_) return;
        VariantClear(variantRef_);
        Inject(*variantRef_, std::exchange(local_, T{}));
    }
    void StoreResult(VARIANT* result, VARTYPE vt) noexcept {
        if (!result) return;  // the caller does not want it; the destructor frees it
        Inject(*result, std::exchange(local_, T{}));
        Retag(result, vt);
    }

private:
    T local_{};
    T* target_ = &local_;
    VARIANT* variantRef_ = nullptr;
};

template <class T>
using SlotFor = std::conditional_t<kIsOut<T>, OutSlot<T>, InSlot<T>>;

template <auto Pmf, DispKind Kind, class C, class... A>
struct Thunk {
    static HRESULT Call(IDispatch* self, DispCall& call) { return Run(self, call, std::index_sequence_for<A...>{}); }

private:
    static constexpr std::size_t kCount = sizeof...(A);
    static constexpr bool kPut = Kind == DispKind::PropertyPut;
    static constexpr bool kRetval = !kPut && kCount > 0 && kIsOut<std::tuple_element_t<kCount, std::tuple<void, A...>>>;
    static constexpr std::size_t kPositional = kCount - (kRetval ? 1 : 0) - (kPut ? 1 : 0);
    static_assert(!kPut || (kCount >= 1 && !kIsOut<std::tuple_element_t<kCount, std::tuple<void, A...>>>),
                  "a property put takes its value as the last parameter");
    static_assert(((kIsValue<A> || kIsOut<A>) && ...), "unsupported parameter type");

    template <std::size_t... I>
    static HRESULT Run(IDispatch* self, DispCall& call, std::index_sequence<I...>) {
        const DISPPARAMS& dp = *call.params;
        if (dp.cArgs - dp.cNamedArgs != kPositional) return DISP_E_BADPARAMCOUNT;
        std::tuple<SlotFor<A>...> slots;
        HRESULT hr = S_OK;
        [[maybe_unused]] auto load = [&](auto& slot, std::size_t i) {
            UINT index;
            if (i < kPositional)
                index = dp.cArgs - 1 - UINT(i);  // positional arguments come last, in reverse
            else if (kPut && i == kPositional)
                index = 0;  // the named DISPID_PROPERTYPUT value
            else
                return true;  // the retval
            hr = slot.Load(dp.rgvarg[index]);
            if (FAILED(hr) && call.argErr) *call.argErr = index;
            return SUCCEEDED(hr);
        };
        if (!(load(std::get<I>(slots), I) && ...)) return hr;
        call.memberCalled = true;
        hr = (static_cast<C*>(self)->*Pmf)(std::get<I>(slots).Value()...);
        if (SUCCEEDED(hr)) (Finish<I>(std::get<I>(slots), call), ...);
        return hr;
    }

    template <std::size_t I, class Slot>
    static void Finish(Slot& slot, DispCall& call) {
        using Arg = std::tuple_element_t<I, std::tuple<A...>>;
        if constexpr (kIsOut<Arg>) {
            if (kRetval && I == kCount - 1)
                slot.StoreResult(call.result, call.resultType);
            else
                slot.Commit();
        }
    }
};

template <auto Pmf, DispKind Kind, class Sig = decltype(Pmf)>
struct ThunkFor;
template <auto Pmf, DispKind Kind, class C, class... A>
struct ThunkFor<Pmf, Kind, HRESULT (C::*)(A...)> : Thunk<Pmf, Kind, C, A...> {};
template <auto Pmf, DispKind Kind, class C, class... A>
struct ThunkFor<Pmf, Kind, HRESULT (C::*)(A...) noexcept> : Thunk<Pmf, Kind, C, A...> {};

}  // namespace dispatch_detail

// Table rows. resultType gives a result the VARIANT type the interface
// declares when the C++ type cannot tell (DATE is a double, VARIANT_BOOL a
// short): VT_DATE, VT_BOOL.
template <auto Pmf>
constexpr DispMember DispMethod(std::u16string_view name, DISPID id, VARTYPE resultType = VT_EMPTY) {
    return {name, id, DispKind::Method, resultType, &dispatch_detail::ThunkFor<Pmf, DispKind::Method>::Call};
}
template <auto Pmf>
constexpr DispMember DispGet(std::u16string_view name, DISPID id, VARTYPE resultType = VT_EMPTY) {
    return {name, id, DispKind::PropertyGet, resultType, &dispatch_detail::ThunkFor<Pmf, DispKind::PropertyGet>::Call};
}
template <auto Pmf>
constexpr DispMember DispPut(std::u16string_view name, DISPID id) {
    return {name, id, DispKind::PropertyPut, VT_EMPTY, &dispatch_detail::ThunkFor<Pmf, DispKind::PropertyPut>::Call};
}

// The IDispatch half of a dual interface, driven by Derived::DispatchMembers().
template <class Derived, class Interface>
class DispatchImpl : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                            DISPID* rgDispId) override {
        return GetMemberIds(Derived::DispatchMembers(), riid, rgszNames, cNames, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                     UINT* puArgErr) override {
        return InvokeMember(Derived::DispatchMembers(), static_cast<IDispatch*>(this), dispIdMember, riid, wFlags,
                            pDispParams, pVarResult, pExcepInfo, puArgErr);
    }
};

}  // namespace skyvane
