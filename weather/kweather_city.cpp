#include "weather/kweather_city.h"

#include "weather/com_helpers.h"

namespace skyvane::weather {
namespace {

const ComSite kCitySite{CLSID_KWeatherCity, IID_IKWeatherCity};

}  // namespace

std::span<const skyvane::InterfaceEntry> KWeatherCity::Interfaces() noexcept {
    return kDualInterfaces<KWeatherCity, skyvane::DispatchImpl<KWeatherCity, IKWeatherCity>, IID_IKWeatherCity>;
}

std::span<const skyvane::DispMember> KWeatherCity::DispatchMembers() noexcept {
    static constexpr skyvane::DispMember table[] = {
        skyvane::DispGet<&IKWeatherCity::get_Name>(u"Name", 1),
        skyvane::DispPut<&IKWeatherCity::put_Name>(u"Name", 1),
        skyvane::DispGet<&IKWeatherCity::get_Code>(u"Code", 2),
        skyvane::DispPut<&IKWeatherCity::put_Code>(u"Code", 2),
    };
    return table;
}

HRESULT KWeatherCity::get_Name(BSTR* pVal) { return GetText(kCitySite, pVal, name_); }
HRESULT KWeatherCity::put_Name(BSTR newVal) { return SetText(kCitySite, name_, newVal); }
HRESULT KWeatherCity::get_Code(BSTR* pVal) { return GetText(kCitySite, pVal, code_); }
HRESULT KWeatherCity::put_Code(BSTR newVal) { return SetText(kCitySite, code_, newVal); }

}  // namespace skyvane::weather
