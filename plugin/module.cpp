// The plugin library's exports: the class factories of the plugin object and
// the translator, the unload test and registration. DllRegisterSkyvane is
// DllRegisterServer under the name the package installer calls.
#include "platform/com/server_exports.h"
#include "plugin/home_screen.h"
#include "plugin/registration.h"
#include "ui/skyvane_translator.h"

namespace {

constexpr skyvane::ClassEntry kClasses[] = {
    skyvane::ClassEntry::Of<skyvane::plugin::SkyvaneWeatherHomeScreen>(CLSID_SkyvaneWeatherHomeScreen),
    skyvane::ClassEntry::Of<skyvane::ui::SkyvaneTranslator>(CLSID_SkyvaneTranslator),
};

}  // namespace

SKYVANE_SERVER_EXPORTS(kClasses, skyvane::plugin::RegisterServer, skyvane::plugin::UnregisterServer)
SKYVANE_SERVER_EXPORT_ALIAS(DllRegisterSkyvane, DllRegisterServer)
