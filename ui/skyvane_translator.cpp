#include "ui/skyvane_translator.h"

#include "platform/oleaut/bstr.h"
#include "ui/translator.h"

namespace skyvane::ui {

using Self = SkyvaneTranslator;

std::span<const skyvane::InterfaceEntry> Self::Interfaces() noexcept {
    using Dual = skyvane::DispatchImpl<Self, ISkyvaneTranslator>;
    static constexpr skyvane::InterfaceEntry table[] = {
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_ISkyvaneTranslator),
        skyvane::InterfaceEntry::Of<Self, Dual>(IID_IDispatch),
        skyvane::InterfaceEntry::Of<Self, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return table;
}

std::span<const skyvane::DispMember> Self::DispatchMembers() noexcept {
    static constexpr skyvane::DispMember table[] = {
        skyvane::DispMethod<&ISkyvaneTranslator::Translate>(u"Translate", 1),
    };
    return table;
}

HRESULT Self::Translate(LONG ModuleID, LONG ResourceID, LONG ResourceItemID, BSTR strSrc, BSTR* strResult) {
    return skyvane::ComGuard(CLSID_SkyvaneTranslator, IID_ISkyvaneTranslator, [&]() -> HRESULT {
        if (!strResult)
            return skyvane::ReportError(E_POINTER, CLSID_SkyvaneTranslator, IID_ISkyvaneTranslator, u"Invalid pointer");
        *strResult = nullptr;
        std::u16string source(skyvane::BstrView(strSrc));
        std::u16string text = ui::Translate(ModuleID, ResourceID, ResourceItemID, source.empty() ? nullptr : &source);
        if (text.empty()) return S_FALSE;
        *strResult = skyvane::AllocBstr(text);
        if (!*strResult) throw std::bad_alloc();
        return S_OK;
    });
}

}  // namespace skyvane::ui
