#include "plugin/install_keys.h"

namespace skyvane::plugin {
namespace {

// The installer always writes InstallFolder; a key without it was not filled.
bool Filled(const SettingsKey& key) { return key.HasValue(u"InstallFolder"); }

}  // namespace

InstallKeys::InstallKeys()
    : weather_(std::make_unique<SettingsKey>(kWeatherInstallProduct, kWeatherInstallCompany)),
      clock_(std::make_unique<SettingsKey>(kClockInstallProduct, kClockInstallCompany)) {}

Variant InstallKeys::CurrentVariant() const {
    if (forcedClock_) return Variant::Clock;
    if (Filled(*weather_)) return Variant::Weather;
    return Filled(*clock_) ? Variant::Clock : Variant::Weather;
}

const SettingsKey& InstallKeys::Key() const {
    if (Filled(*weather_)) return *weather_;
    return Filled(*clock_) ? *clock_ : *weather_;
}

std::u16string InstallKeys::Title() const {
    return CurrentVariant() == Variant::Clock ? u"Weather Clock" : u"";
}

std::u16string InstallKeys::InstallFolder() const { return Key().ReadText(u"InstallFolder", kDefaultInstallFolder); }
std::u16string InstallKeys::InstallDataFolder() const { return Key().ReadText(u"InstallDataFolder", u""); }
std::u16string InstallKeys::ThemeName() const { return Key().ReadText(u"ThemeName", u""); }
std::u16string InstallKeys::UiProgram() const { return Key().ReadText(u"SkyvaneWeatherUI", kDefaultUiProgram); }

}  // namespace skyvane::plugin
