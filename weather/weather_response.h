// KWeatherResponse: the response shell class. It keeps no data; its one
// method succeeds without producing anything. It exists so that its class and
// interface stay registered for callers that name them.
#pragma once

#include <span>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "weather/kweather_interfaces.h"

namespace skyvane::weather {

class KWeatherResponse final
    : public skyvane::ComObject<KWeatherResponse, skyvane::DispatchImpl<KWeatherResponse, IKWeatherResponse>,
                                ISupportErrorInfo> {
public:
    static constexpr bool kAggregatable = true;
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    // Produces no object: *WeatherInfos is cleared.
    HRESULT STDMETHODCALLTYPE GetWeatherInfo(DATE WeatherDate, IUnknown** WeatherInfos) override;
};

}  // namespace skyvane::weather
