#include "weather/weather_response.h"

#include "weather/com_helpers.h"

namespace skyvane::weather {

std::span<const skyvane::InterfaceEntry> KWeatherResponse::Interfaces() noexcept {
    return kDualInterfaces<KWeatherResponse, skyvane::DispatchImpl<KWeatherResponse, IKWeatherResponse>, IID_IKWeatherResponse>;
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
