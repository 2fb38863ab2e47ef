#include "plugin/registration.h"

#include "plugin/skyvane_interfaces.h"

namespace skyvane::plugin {

const skyvane::ServerDescription& PluginServer() {
    static const skyvane::ServerClass classes[] = {
        {"SkyvaneWeatherHomeScreen", &CLSID_SkyvaneWeatherHomeScreen},
        {"SkyvaneTranslator", &CLSID_SkyvaneTranslator},
    };
    static const skyvane::ServerInterface interfaces[] = {
        {"ISkyvaneWeatherHomeScreen", &IID_ISkyvaneWeatherHomeScreen},
        {"ISkyvaneWeatherHomeScreen2", &IID_ISkyvaneWeatherHomeScreen2},
        {"ISkyvaneWeatherHomeScreen3", &IID_ISkyvaneWeatherHomeScreen3},
        {"ISkyvaneTranslator", &IID_ISkyvaneTranslator},
    };
    static const skyvane::ServerDescription server{
        "SkyvaneWeather", &APPID_SkyvaneWeather, &LIBID_SkyvaneWeatherLib, "SkyvaneWeather 1.0 Type Library",
        classes, interfaces,
    };
    return server;
}

HRESULT RegisterServer(std::u16string_view modulePath) {
    return skyvane::RegisterServerTable(PluginServer(), modulePath);
}

HRESULT UnregisterServer(std::u16string_view modulePath) {
    return skyvane::UnregisterServerTable(PluginServer(), modulePath);
}

}  // namespace skyvane::plugin
