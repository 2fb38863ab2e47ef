#include "platform/com/com_object.h"

#include "platform/com/runtime.h"
#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"

namespace skyvane {

HRESULT ReportError(HRESULT hr, REFCLSID source, REFIID iid, std::u16string_view description) noexcept {
    try {
        ComPtr<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(&create))) return hr;
        create->SetGUID(iid);
        if (!IsEqualCLSID(source, CLSID_NULL)) {
            LPOLESTR progId = nullptr;
            if (SUCCEEDED(ProgIDFromCLSID(source, &progId)) && progId) {
                create->SetSource(progId);
                CoTaskMemFree(progId);
            } else {
                std::u16string text = GuidToString(source);
                create->SetSource(text.data());
            }
        }
        std::u16string text(description);
        create->SetDescription(text.data());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.Get());
        SKYVANE_LOG("com", "error 0x%08X: %s", unsigned(hr), ToUtf8(description).c_str());
    } catch (...) {
        // Out of memory while describing a failure: the result still goes back.
        LogCaughtException("com", "ReportError");
    }
    return hr;
}

HRESULT GetClassObjectFromTable(std::span<const ClassEntry> classes, REFCLSID rclsid, REFIID riid,
                                void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const ClassEntry& entry : classes)
        if (IsEqualCLSID(*entry.clsid, rclsid)) return entry.getFactory(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace skyvane
