// Error objects: CreateErrorInfo and the calling thread's current error object.
#include <optional>
#include <string>

#include "platform/com/runtime.h"
#include "platform/com/com_object.h"
#include "platform/base/wide_string.h"

namespace {

using skyvane::InterfaceEntry;

class ErrorInfo final : public skyvane::ComObject<ErrorInfo, IErrorInfo, ICreateErrorInfo> {
public:
    static std::span<const InterfaceEntry> Interfaces() noexcept {
        static constexpr InterfaceEntry table[] = {
            InterfaceEntry::Of<ErrorInfo, IErrorInfo>(IID_IErrorInfo),
            InterfaceEntry::Of<ErrorInfo, ICreateErrorInfo>(IID_ICreateErrorInfo),
        };
        return table;
    }

    // IErrorInfo. Texts never set come back as NULL, as the platform does.
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override {
        if (!pGUID) return E_INVALIDARG;
        *pGUID = guid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* p) override { return Hand(source_, p); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* p) override { return Hand(description_, p); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* p) override { return Hand(helpFile_, p); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* p) override {
        if (!p) return E_INVALIDARG;
        *p = helpContext_;
        return S_OK;
    }

    // ICreateErrorInfo.
    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
        guid_ = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR s) override { return Keep(source_, s); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR s) override { return Keep(description_, s); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR s) override { return Keep(helpFile_, s); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD c) override {
        helpContext_ = c;
        return S_OK;
    }

private:
    static HRESULT Hand(const std::optional<std::u16string>& text, BSTR* out) {
        if (!out) return E_INVALIDARG;
        *out = nullptr;
        if (!text) return S_OK;
        *out = skyvane::AllocBstr(*text);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Keep(std::optional<std::u16string>& text, LPOLESTR s) {
        try {
            if (s)
                text.emplace(s, size_t(lstrlenW(s)));
            else
                text.reset();
            return S_OK;
        } catch (const std::bad_alloc&) {
            skyvane::LogCaughtException("com", "ICreateErrorInfo");
            return E_OUTOFMEMORY;
        }
    }

    GUID guid_{};
    std::optional<std::u16string> source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

// Each thread's current error object.
thread_local skyvane::ComPtr<IErrorInfo> t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    return ErrorInfo::Create(nullptr, IID_ICreateErrorInfo, reinterpret_cast<void**>(pperrinfo));
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved) return E_INVALIDARG;
    // Drop the old object first: its release may run code that sets another
    // error object, which the new one must replace.
    t_errorInfo.Reset();
    t_errorInfo = perrinfo;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (dwReserved || !pperrinfo) return E_INVALIDARG;
    // Handed out once: the thread has no error object afterwards.
    *pperrinfo = t_errorInfo.Detach();
    return *pperrinfo ? S_OK : S_FALSE;
}
