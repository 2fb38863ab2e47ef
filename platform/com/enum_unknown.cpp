#include "platform/com/enum_unknown.h"

#include <memory>

#include "platform/com/com_object.h"

namespace skyvane {

namespace {

using Items = std::vector<ComPtr<IUnknown>>;

// Constructed only here, so that its lock and its code belong to one library.
class EnumUnknown final : public ComObject<EnumUnknown, IEnumUnknown> {
public:
    EnumUnknown(std::shared_ptr<const Items> items, size_t position) : items_(std::move(items)), position_(position) {}

    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<EnumUnknown, IEnumUnknown>(IID_IEnumUnknown),
        };
        return table;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG celt, IUnknown** rgelt, ULONG* pceltFetched) override {
        if (pceltFetched) *pceltFetched = 0;
        if (!rgelt) return E_POINTER;
        // Without a count to report, only one element may be asked for.
        if (celt > 1 && !pceltFetched) return E_INVALIDARG;
        ULONG fetched = 0;
        while (fetched < celt && position_ < items_->size()) {
            (*items_)[position_++].CopyTo(&rgelt[fetched]);
            ++fetched;
        }
        if (pceltFetched) *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
        size_t left = items_->size() - position_;
        if (celt > left) {
            position_ = items_->size();
            return S_FALSE;
        }
        position_ += celt;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** ppenum) override {
        if (!ppenum) return E_POINTER;
        *ppenum = nullptr;
        return Create(nullptr, IID_IEnumUnknown, reinterpret_cast<void**>(ppenum), items_, position_);
    }

private:
    std::shared_ptr<const Items> items_;
    size_t position_;
};

}  // namespace

HRESULT CreateEnumUnknown(std::vector<ComPtr<IUnknown>> items, IEnumUnknown** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::shared_ptr<const Items> shared;
    try {
        shared = std::make_shared<const Items>(std::move(items));
    } catch (const std::bad_alloc&) {
        LogCaughtException("com", "CreateEnumUnknown");
        return E_OUTOFMEMORY;
    }
    return EnumUnknown::Create(nullptr, IID_IEnumUnknown, reinterpret_cast<void**>(out), std::move(shared), size_t(0));
}

ComPtr<IEnumUnknown> MakeEnumUnknown(std::vector<ComPtr<IUnknown>> items) {
    ComPtr<IEnumUnknown> out;
    HRESULT hr = CreateEnumUnknown(std::move(items), &out);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) throw ComError(hr);
    return out;
}

}  // namespace skyvane
