// The plumbing of in-process COM objects: the module lock count that a
// server's DllCanUnloadNow answers from, a reference-counted object base with
// aggregation and table-driven QueryInterface, class factories, and the helpers
// that turn failures and exceptions into HRESULTs with an error object.
//
// A class is written as
//
//   class Thing : public skyvane::ComObject<Thing, IThing2, ISupportErrorInfo> {
//   public:
//       static constexpr bool kAggregatable = true;     // default false
//       static std::span<const skyvane::InterfaceEntry> Interfaces() {
//           static constexpr skyvane::InterfaceEntry table[] = {
//               skyvane::InterfaceEntry::Of<Thing, IThing2>(IID_IThing2),
//               skyvane::InterfaceEntry::Of<Thing, IThing2>(IID_IThing),   // same pointer
//               skyvane::InterfaceEntry::Of<Thing, IThing2>(IID_IDispatch),
//               skyvane::InterfaceEntry::Of<Thing, ISupportErrorInfo>(IID_ISupportErrorInfo),
//           };
//           return table;
//       }
//       ... the interface methods ...
//   };
//
// and created with Thing::Create(outer, riid, ppv), skyvane::MakeComObject<Thing>()
// or through skyvane::ClassFactory<Thing>.
#pragma once

#include <atomic>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/base/log.h"
#include "platform/com/com_ptr.h"

// Functions that must bind to the copy in their own library: everything that
// touches the module lock. Without it the dynamic linker could resolve an
// inline function to another library's copy, which counts the wrong module.
#define SKYVANE_MODULE_LOCAL __attribute__((visibility("hidden")))

namespace skyvane {

// ---------------------------------------------------------------------------
// Module lock: every live object and every IClassFactory::LockServer lock of a
// library holds it; DllCanUnloadNow answers S_OK only at zero.
class ModuleLock {
public:
    constexpr ModuleLock() noexcept = default;
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;

    void Lock() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
    void Unlock() noexcept { count_.fetch_sub(1, std::memory_order_acq_rel); }
    long Count() const noexcept { return count_.load(std::memory_order_acquire); }
    HRESULT CanUnloadNow() const noexcept { return Count() == 0 ? S_OK : S_FALSE; }

private:
    std::atomic<long> count_{0};
};

// The lock of the library (or program) this header is compiled into: hidden
// visibility gives each shared object its own copy of the variable.
SKYVANE_MODULE_LOCAL inline ModuleLock g_thisModule;
SKYVANE_MODULE_LOCAL inline ModuleLock& ThisModule() noexcept { return g_thisModule; }
// What a server's DllCanUnloadNow returns.
SKYVANE_MODULE_LOCAL inline HRESULT ModuleCanUnloadNow() noexcept { return ThisModule().CanUnloadNow(); }

// ---------------------------------------------------------------------------
// Error reporting.

// Creates an error object (GUID iid, source the ProgID of `source` or its
// braced text when it has none, the description), makes it the calling
// thread's error object and returns hr.
HRESULT ReportError(HRESULT hr, REFCLSID source, REFIID iid, std::u16string_view description) noexcept;

// Thrown inside the C++ side of a COM method to fail with a given result.
// An empty description leaves the thread's error object as it is, for
// passing on the failure of a COM call whose callee already described it.
class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr, std::u16string description = {}) : hr_(hr), description_(std::move(description)) {}
    HRESULT Result() const noexcept { return hr_; }
    const std::u16string& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "COM method failed"; }

private:
    HRESULT hr_;
    std::u16string description_;
};

inline HRESULT ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw ComError(hr);
    return hr;
}

// Runs the body of a COM method so that no exception leaves it: ComError
// gives its result, bad_alloc E_OUTOFMEMORY, anything else E_FAIL with
// "Unknown error"; each with an error object for source/iid.
template <class F>
HRESULT ComGuard(REFCLSID source, REFIID iid, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (const ComError& e) {
        return e.Description().empty() ? e.Result() : ReportError(e.Result(), source, iid, e.Description());
    } catch (const std::bad_alloc&) {
        return ReportError(E_OUTOFMEMORY, source, iid, u"Out of memory");
    } catch (...) {
        LogCaughtException("com", "COM method");  // the user sees "Unknown error"; the log says what it was
        return ReportError(E_FAIL, source, iid, u"Unknown error");
    }
}

// Runs body, answering its HRESULT; an exception becomes its result
// (ComError), E_OUTOFMEMORY (bad_alloc) or E_FAIL, and is written to the
// "com" developer log with where.
template <class F>
HRESULT HresultOf(const char* where, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (const ComError& e) {
        LogCaughtException("com", where);
        return e.Result();
    } catch (const std::bad_alloc&) {
        LogCaughtException("com", where);
        return E_OUTOFMEMORY;
    } catch (...) {
        LogCaughtException("com", where);
        return E_FAIL;
    }
}

// ---------------------------------------------------------------------------
// Interface tables.

// One row: an IID and how to reach the interface from the object. Several
// rows may name the same interface, so that every numbered level of an
// interface is answered with one pointer.
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(void* object);

    template <class Class, class Interface>
    static constexpr InterfaceEntry Of(const IID& iid) noexcept {
        return {&iid, &CastTo<Class, Interface>};
    }

private:
    template <class Class, class Interface>
    static IUnknown* CastTo(void* object) noexcept {
        return static_cast<IUnknown*>(static_cast<Interface*>(static_cast<Class*>(object)));
    }
};

// ---------------------------------------------------------------------------
// The object base. Derived lists its interfaces as bases of ComObject and
// provides Interfaces(); the IUnknown methods of every interface delegate to
// the controlling unknown (the outer object when aggregated), while a
// separate non-delegating unknown owns the reference count.
template <class Derived, class... Itfs>
class ComObject : public Itfs... {
public:
    static constexpr bool kAggregatable = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) { return controlling_->QueryInterface(riid, ppv); }
    ULONG STDMETHODCALLTYPE AddRef() { return controlling_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() { return controlling_->Release(); }

    // ISupportErrorInfo, when Derived lists it: every interface in the table
    // reports errors through the error object.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) {
        if (IsEqualIID(riid, IID_ISupportErrorInfo)) return S_FALSE;
        for (const InterfaceEntry& e : Derived::Interfaces())
            if (IsEqualIID(riid, *e.iid)) return S_OK;
        return S_FALSE;
    }

    // The unknown that owns the object's reference count; what an outer
    // object keeps when it aggregates this one.
    IUnknown* NonDelegatingUnknown() noexcept { return &inner_; }
    IUnknown* ControllingUnknown() const noexcept { return controlling_; }
    bool IsAggregated() const noexcept { return controlling_ != &inner_; }

    // Creates an object (inside `outer` when not NULL) and queries it for riid.
    // Aggregation needs kAggregatable and riid IID_IUnknown, else
    // CLASS_E_NOAGGREGATION. Derived's constructor must be public; a public
    // `HRESULT FinalConstruct()` of Derived runs once the object holds a
    // reference, and its failure destroys the object.
    template <class... Args>
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv, Args&&... args) noexcept {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer && (!Derived::kAggregatable || !IsEqualIID(riid, IID_IUnknown))) return CLASS_E_NOAGGREGATION;
        Derived* object = nullptr;
        HRESULT hr = Construct(outer, &object, std::forward<Args>(args)...);
        if (FAILED(hr)) return hr;
        ComObject* base = object;
        hr = base->inner_.QueryInterface(riid, ppv);
        base->inner_.Release();
        return hr;
    }

    // Creates a plain (not aggregated) object holding one reference in *out.
    template <class... Args>
    static HRESULT CreateObject(ComPtr<Derived>& out, Args&&... args) noexcept {
        out.Reset();
        Derived* object = nullptr;
        HRESULT hr = Construct(nullptr, &object, std::forward<Args>(args)...);
        if (SUCCEEDED(hr)) out.Attach(object);
        return hr;
    }

    // The default: nothing to do after construction.
    HRESULT FinalConstruct() { return S_OK; }

protected:
    SKYVANE_MODULE_LOCAL ComObject() noexcept : inner_(this) { ThisModule().Lock(); }
    SKYVANE_MODULE_LOCAL virtual ~ComObject() { ThisModule().Unlock(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // The current count (for tests and diagnostics; racy by nature).
    ULONG RefCount() const noexcept { return refs_.load(std::memory_order_relaxed); }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(ComObject* owner) noexcept : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            return owner_->InternalQueryInterface(riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return owner_->refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
        ULONG STDMETHODCALLTYPE Release() override { return owner_->InternalRelease(); }

    private:
        ComObject* owner_;
    };

    template <class... Args>
    static HRESULT Construct(IUnknown* outer, Derived** out, Args&&... args) noexcept {
        Derived* object = nullptr;
        HRESULT hr = HresultOf("constructor", [&] {
            object = new Derived(std::forward<Args>(args)...);
            return S_OK;
        });
        if (FAILED(hr)) return hr;
        ComObject* base = object;
        if (outer) base->controlling_ = outer;
        base->inner_.AddRef();
        hr = HresultOf("FinalConstruct", [&] { return object->FinalConstruct(); });
        if (FAILED(hr)) {
            base->inner_.Release();
            return hr;
        }
        *out = object;
        return S_OK;
    }

    HRESULT InternalQueryInterface(REFIID riid, void** ppv) noexcept {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        IUnknown* found = nullptr;
        auto table = Derived::Interfaces();
        if (IsEqualIID(riid, IID_IUnknown)) {
            // The identity: the non-delegating unknown inside an aggregate (the
            // outer object must be able to tell it apart), else the first
            // interface, so that every IUnknown of a plain object is one pointer.
            found = IsAggregated() || table.empty() ? static_cast<IUnknown*>(&inner_)
                                                    : table.front().cast(static_cast<Derived*>(this));
        } else {
            for (const InterfaceEntry& e : table) {
                if (IsEqualIID(riid, *e.iid)) {
                    found = e.cast(static_cast<Derived*>(this));
                    break;
                }
            }
        }
        if (!found) return E_NOINTERFACE;
        found->AddRef();
        *ppv = found;
        return S_OK;
    }

    ULONG InternalRelease() noexcept {
        ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            // A destructor that hands out and drops a reference to this object
            // must not start a second destruction.
            refs_.store(1u << 30, std::memory_order_relaxed);
            delete this;
        }
        return left;
    }

    std::atomic<ULONG> refs_{0};
    Inner inner_;
    IUnknown* controlling_ = &inner_;
};

// Creates a plain object; throws ComError (or bad_alloc) on failure. For use
// inside a library, under ComGuard.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
    ComPtr<T> out;
    HRESULT hr = T::CreateObject(out, std::forward<Args>(args)...);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) throw ComError(hr);
    return out;
}

// ---------------------------------------------------------------------------
// Class factories and the server's class table.

template <class T>
class ClassFactory final : public ComObject<ClassFactory<T>, IClassFactory> {
public:
    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<ClassFactory, IClassFactory>(IID_IClassFactory),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        return T::Create(pUnkOuter, riid, ppvObject);
    }
    SKYVANE_MODULE_LOCAL HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
        if (fLock)
            ThisModule().Lock();
        else
            ThisModule().Unlock();
        return S_OK;
    }
};

// One creatable class of a server.
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*getFactory)(REFIID riid, void** ppv);

    template <class T>
    static constexpr ClassEntry Of(const CLSID& clsid) noexcept {
        return {&clsid, &GetFactory<T>};
    }

private:
    template <class T>
    static HRESULT GetFactory(REFIID riid, void** ppv) {
        return ClassFactory<T>::Create(nullptr, riid, ppv);
    }
};

// The body of DllGetClassObject: the factory of the class in the table, or
// CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObjectFromTable(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid,
                                void** ppv) noexcept;

}  // namespace skyvane
