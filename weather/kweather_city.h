// KWeatherCity: one city found by the online search, its name and its
// weather service code.
#pragma once

#include <span>
#include <string>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "weather/service_interfaces.h"

namespace skyvane::weather {

class KWeatherCity final
    : public skyvane::ComObject<KWeatherCity, skyvane::DispatchImpl<KWeatherCity, IKWeatherCity>, ISupportErrorInfo> {
public:
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    // IKWeatherCity. The getters hand out a copy, or a null string for an
    // empty text; the setters copy, a null argument making the text empty.
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_Code(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Code(BSTR newVal) override;

private:
    std::u16string name_;
    std::u16string code_;
};

}  // namespace skyvane::weather
