#include "weather/weather_response.h"

namespace skyvane::weather {

std::span<const skyvane::InterfaceEntry> KWeatherResponse::Interfaces() noexcept {
    using Dual = skyvane::DispatchImpl<KWeatherResponse, IKWeatherResponse>;
    static constexpr skyvane::InterfaceEntry table[] = {
        skyvane::InterfaceEntry::Of<KWeatherResponse, Dual>(IID_IKWeatherResponse),
        skyvane::InterfaceEntry::Of<KWeatherResponse, Dual>(IID_IDispatch),
        skyvane::InterfaceEntry::Of<KWeatherResponse, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return table;
}

std::span<const skyvane::DispMember> KWeatherResponse::DispatchMembers() noexcept {
    static constexpr skyvane::DispMember table[] = {
        skyvane::DispMethod<&IKWeatherResponse::GetWeatherInfo>(u"GetWeatherInfo", 1),
    };
    return table;
}

HRESULT KWeatherResponse::GetWeatherInfo(DATE, IUnknown** WeatherInfos) {
    if (WeatherInfos) *WeatherInfos = nullptr;
    return S_OK;
}

}  // namespace skyvane::weather
