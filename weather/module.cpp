// The library's exports: the class factories of its five classes, the unload
// test, and registration. DllRegisterSkyvane is the same entry as
// DllRegisterServer under the name the package installer calls.
#include "platform/com/com_object.h"
#include "platform/com/registrar.h"
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

// The full path of this library file, for %MODULE%.
std::u16string ThisModulePath() {
    static const char anchor = 0;
    return skyvane::ModulePathOf(&anchor);
}

}  // namespace

extern "C" {

SKYVANE_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return skyvane::GetClassObjectFromTable(kClasses, rclsid, riid, ppv);
}

SKYVANE_EXPORT HRESULT DllCanUnloadNow() { return skyvane::ModuleCanUnloadNow(); }

SKYVANE_EXPORT HRESULT DllRegisterServer() {
    try {
        return skyvane::weather::RegisterServer(ThisModulePath());
    } catch (...) {
        return E_FAIL;
    }
}

SKYVANE_EXPORT HRESULT DllRegisterSkyvane() __attribute__((alias("DllRegisterServer")));

SKYVANE_EXPORT HRESULT DllUnregisterServer() {
    try {
        return skyvane::weather::UnregisterServer(ThisModulePath());
    } catch (...) {
        return E_FAIL;
    }
}

}  // extern "C"
