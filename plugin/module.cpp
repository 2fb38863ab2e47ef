// The plugin library's exports: the class factory, the unload test and
// registration. DllRegisterSkyvane is DllRegisterServer under the name the
// package installer calls.
#include "platform/com/com_object.h"
#include "platform/com/registrar.h"
#include "plugin/home_screen.h"
#include "plugin/registration.h"
#include "ui/skyvane_translator.h"

namespace {

constexpr skyvane::ClassEntry kClasses[] = {
    skyvane::ClassEntry::Of<skyvane::plugin::SkyvaneWeatherHomeScreen>(CLSID_SkyvaneWeatherHomeScreen),
    skyvane::ClassEntry::Of<skyvane::ui::SkyvaneTranslator>(CLSID_SkyvaneTranslator),
};

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
    return skyvane::RegisterServerTable(skyvane::plugin::PluginServer(), ThisModulePath());
}

SKYVANE_EXPORT HRESULT DllRegisterSkyvane() __attribute__((alias("DllRegisterServer")));

SKYVANE_EXPORT HRESULT DllUnregisterServer() {
    return skyvane::UnregisterServerTable(skyvane::plugin::PluginServer(), ThisModulePath());
}

}  // extern "C"
