#include "weather/registration.h"

#include "weather/kweather_interfaces.h"
#include "weather/service_interfaces.h"

namespace skyvane::weather {

const skyvane::ServerDescription& WeatherServer() {
    static const skyvane::ServerClass classes[] = {
        {"KWeatherService", &CLSID_KWeatherService},
        {"KWeatherResponse", &CLSID_KWeatherResponse},
        {"KWeatherInfo", &CLSID_KWeatherInfo},
        {"KWeatherCity", &CLSID_KWeatherCity},
        {"KWeatherCityCtrl", &CLSID_KWeatherCityCtrl, /*control=*/true},
    };
    // Dual interfaces go through the automation marshaller, the control's
    // event interface through the dispatch one.
    static const skyvane::ServerInterface interfaces[] = {
        {"IKWeatherService", &IID_IKWeatherService},
        {"IKWeatherService2", &IID_IKWeatherService2},
        {"IKWeatherService3", &IID_IKWeatherService3},
        {"IKWeatherService4", &IID_IKWeatherService4},
        {"IKWeatherResponse", &IID_IKWeatherResponse},
        {"IKWeatherInfo", &IID_IKWeatherInfo},
        {"IKWeatherInfo2", &IID_IKWeatherInfo2},
        {"IKWeatherInfo3", &IID_IKWeatherInfo3},
        {"IKWeatherInfo4", &IID_IKWeatherInfo4},
        {"IKWeatherInfo5", &IID_IKWeatherInfo5},
        {"IKWeatherInfo6", &IID_IKWeatherInfo6},
        {"IKWeatherInfo7", &IID_IKWeatherInfo7},
        {"IKWeatherInfo8", &IID_IKWeatherInfo8},
        {"IKWeatherCity", &IID_IKWeatherCity},
        {"IKWeatherCityCtrl", &IID_IKWeatherCityCtrl},
        {"_IKWeatherCityCtrlEvents", &DIID__IKWeatherCityCtrlEvents, /*dispinterface=*/true},
    };
    static const skyvane::ServerDescription server{
        "KWeather", &APPID_KWeather, &LIBID_KWeatherLib, "KWeather 1.0 Type Library", classes, interfaces,
        "131473",  // the control's OLEMISC status bits
    };
    return server;
}

HRESULT RegisterServer(std::u16string_view modulePath) {
    return skyvane::RegisterServerTable(WeatherServer(), modulePath);
}

HRESULT UnregisterServer(std::u16string_view modulePath) {
    return skyvane::UnregisterServerTable(WeatherServer(), modulePath);
}

}  // namespace skyvane::weather
