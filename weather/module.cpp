// The library's exports: the class factories of its five classes, the unload
// test, and registration. DllRegisterSkyvane is the same entry as
// DllRegisterServer under the name the package installer calls.
#include "platform/com/server_exports.h"
#include "weather/kweather_city.h"
#include "weather/kweather_city_ctrl.h"
#include "weather/kweather_service.h"
#include "weather/registration.h"
#include "weather/weather_info.h"
#include "weather/weather_response.h"

namespace {

constexpr skyvane::ClassEntry kClasses[] = {
    skyvane::ClassEntry::Of<skyvane::weather::KWeatherService>(CLSID_KWeatherService),
    skyvane::ClassEntry::Of<skyvane::weather::KWeatherResponse>(CLSID_KWeatherResponse),
    skyvane::ClassEntry::Of<skyvane::weather::KWeatherInfo>(CLSID_KWeatherInfo),
    skyvane::ClassEntry::Of<skyvane::weather::KWeatherCity>(CLSID_KWeatherCity),
    skyvane::ClassEntry::Of<skyvane::weather::KWeatherCityCtrl>(CLSID_KWeatherCityCtrl),
};

}  // namespace

SKYVANE_SERVER_EXPORTS(kClasses, skyvane::weather::RegisterServer, skyvane::weather::UnregisterServer)
SKYVANE_SERVER_EXPORT_ALIAS(DllRegisterSkyvane, DllRegisterServer)
