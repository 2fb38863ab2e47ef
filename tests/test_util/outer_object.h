// An outer object for aggregation tests: it owns the identity and the
// reference count of the aggregate, answers IUnknown itself and passes the
// interfaces it is told to (all of them by default) on to the inner object.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"

namespace skyvane::test {

class OuterObject final : public IUnknown {
public:
    // Outer objects alive now (tests count leaks with it).
    static inline std::atomic<int> live{0};

    // A new outer object holding one reference, which Release gives back.
    // Only the listed interfaces reach the inner object; none listed: all.
    static OuterObject* New(std::vector<IID> passedOn = {}) { return new OuterObject(std::move(passedOn)); }

    // Makes the inner object: `create` is asked for an object aggregated in
    // `outer`, as CoCreateInstance(clsid, outer, ..., IID_IUnknown, inner).
    HRESULT Aggregate(const std::function<HRESULT(IUnknown* outer, void** inner)>& create) {
        inner_.Reset();
        return create(this, reinterpret_cast<void**>(&inner_));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        bool passed = passedOn_.empty();
        for (const IID& iid : passedOn_) passed = passed || IsEqualIID(riid, iid);
        return passed && inner_ ? inner_->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    ULONG Refs() const { return refs_; }
    // The inner object's own (non-delegating) unknown.
    IUnknown* Inner() const { return inner_.Get(); }

private:
    explicit OuterObject(std::vector<IID> passedOn) : passedOn_(std::move(passedOn)) { ++live; }
    ~OuterObject() { --live; }

    std::atomic<ULONG> refs_{1};
    std::vector<IID> passedOn_;
    ComPtr<IUnknown> inner_;
};

}  // namespace skyvane::test
