// ComPtr: an owning COM interface pointer, and the mapping from an interface
// type to its IID that QueryInterface helpers need.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "platform/com/guid.h"
#include "platform/com/unknwn.h"

namespace skyvane {

// The IID of an interface type. Specialised for each interface with
// SKYVANE_DECLARE_IID(Interface, iid) at namespace scope.
template <class T>
struct InterfaceTraits;

template <class T>
inline const IID& IidOf() {
    return InterfaceTraits<std::remove_cv_t<T>>::Iid();
}

}  // namespace skyvane

#define SKYVANE_DECLARE_IID(Interface, iid)                   \
    template <>                                                \
    struct skyvane::InterfaceTraits<Interface> {               \
        static const IID& Iid() { return iid; }                \
    }

SKYVANE_DECLARE_IID(IUnknown, IID_IUnknown);
SKYVANE_DECLARE_IID(IClassFactory, IID_IClassFactory);
SKYVANE_DECLARE_IID(IDispatch, IID_IDispatch);
SKYVANE_DECLARE_IID(IEnumUnknown, IID_IEnumUnknown);
SKYVANE_DECLARE_IID(IErrorInfo, IID_IErrorInfo);
SKYVANE_DECLARE_IID(ICreateErrorInfo, IID_ICreateErrorInfo);
SKYVANE_DECLARE_IID(ISupportErrorInfo, IID_ISupportErrorInfo);

// The (REFIID, void**) pair for QueryInterface and CoCreateInstance from a
// typed out slot: CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&p)).
#define IID_PPV_ARGS(pp)                                                                                 \
    ::skyvane::IidOf<std::remove_pointer_t<std::remove_reference_t<decltype(*(pp))>>>(),               \
        reinterpret_cast<void**>(pp)

namespace skyvane {

template <class T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference; use Attach to adopt one already counted.
    ComPtr(T* p) noexcept : p_(p) { AddRefIf(); }
    ComPtr(const ComPtr& o) noexcept : p_(o.p_) { AddRefIf(); }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& o) noexcept : p_(o.Get()) {
        AddRefIf();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(ComPtr<U>&& o) noexcept : p_(o.Detach()) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr o) noexcept {
        Swap(o);
        return *this;
    }
    ComPtr& operator=(T* p) noexcept {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Releases the pointer held (if any) and leaves the slot empty.
    void Reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    // Adopts a pointer whose reference the caller hands over.
    void Attach(T* p) noexcept {
        Reset();
        p_ = p;
    }
    // Gives up the pointer without releasing it.
    T* Detach() noexcept { return std::exchange(p_, nullptr); }
    void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

    // Out slot for functions that hand out an interface: the old pointer is
    // released first, so passing &p twice does not leak.
    T** operator&() noexcept {
        Reset();
        return &p_;
    }
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &p_;
    }
    // The slot without releasing (for in/out parameters).
    T** GetAddressOf() noexcept { return &p_; }
    T* const* GetAddressOf() const noexcept { return &p_; }

    // Hands out a new reference through an out-parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out) return E_POINTER;
        *out = p_;
        AddRefIf();
        return S_OK;
    }
    HRESULT CopyTo(REFIID riid, void** out) const noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        return p_ ? p_->QueryInterface(riid, out) : E_POINTER;
    }

    // QueryInterface into another ComPtr (which is emptied first).
    template <class U>
    HRESULT As(ComPtr<U>& out) const noexcept {
        return As(IidOf<U>(), out);
    }
    template <class U>
    HRESULT As(REFIID riid, ComPtr<U>& out) const noexcept {
        out.Reset();
        if (!p_) return E_POINTER;
        return p_->QueryInterface(riid, reinterpret_cast<void**>(out.GetAddressOf()));
    }
    template <class U>
    ComPtr<U> As() const noexcept {
        ComPtr<U> out;
        As(out);
        return out;
    }

private:
    void AddRefIf() const noexcept {
        if (p_) p_->AddRef();
    }

    T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() == b.Get();
}
template <class T, class U>
bool operator==(const ComPtr<T>& a, U* b) noexcept {
    return a.Get() == b;
}
template <class T>
bool operator==(const ComPtr<T>& a, std::nullptr_t) noexcept {
    return a.Get() == nullptr;
}
template <class T, class U>
bool operator<(const ComPtr<T>& a, const ComPtr<U>& b) noexcept {
    return a.Get() < b.Get();
}

// Two interface pointers name the same object when their IUnknowns match.
inline bool IsSameObject(IUnknown* a, IUnknown* b) noexcept {
    if (!a || !b) return a == b;
    ComPtr<IUnknown> ua, ub;
    a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ua));
    b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&ub));
    return ua && ua == ub;
}

}  // namespace skyvane
