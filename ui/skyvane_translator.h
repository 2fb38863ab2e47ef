// SkyvaneTranslator: the plugin's translator as a COM class, for other
// programs that want the plugin's texts in the user's language.
#pragma once

#include <span>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "plugin/skyvane_interfaces.h"

namespace skyvane::ui {

class SkyvaneTranslator final
    : public skyvane::ComObject<SkyvaneTranslator, skyvane::DispatchImpl<SkyvaneTranslator, ISkyvaneTranslator>,
                                ISupportErrorInfo> {
public:
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    // The text in the current language; S_FALSE and a null text when the
    // look-up gives nothing (no item and no source). A null or empty source
    // counts as none.
    HRESULT STDMETHODCALLTYPE Translate(LONG ModuleID, LONG ResourceID, LONG ResourceItemID, BSTR strSrc,
                                        BSTR* strResult) override;
};

}  // namespace skyvane::ui
