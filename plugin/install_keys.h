// The installation keys the package installer fills, one per variant of the
// plugin: the weather variant "Software\SkyvaneWeatherRelease\WeatherRelease"
// and the weather-clock variant "Software\SkyvaneWeatherClock\WeatherClock".
// The weather variant's key is used when the installer has filled it,
// otherwise the clock variant's; a process can also be switched to the clock
// variant explicitly.
#pragma once

#include <memory>
#include <string>

#include "plugin/settings_key.h"

namespace skyvane::plugin {

enum class Variant { Weather, Clock };

inline constexpr char16_t kWeatherInstallCompany[] = u"SkyvaneWeatherRelease";
inline constexpr char16_t kWeatherInstallProduct[] = u"WeatherRelease";
inline constexpr char16_t kClockInstallCompany[] = u"SkyvaneWeatherClock";
inline constexpr char16_t kClockInstallProduct[] = u"WeatherClock";

inline constexpr char16_t kDefaultInstallFolder[] = u"\\Windows\\SkyvaneWeather";
inline constexpr char16_t kDefaultUiProgram[] = u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe";

class InstallKeys {
public:
    InstallKeys();

    // The variant in force: the clock variant when switched to it, or when
    // only the clock variant's key has been filled.
    Variant CurrentVariant() const;
    void SwitchToClock() { forcedClock_ = true; }
    // "Weather Clock" for the clock variant, empty for the weather variant.
    std::u16string Title() const;

    std::u16string InstallFolder() const;
    // The folder of themes, sounds and data files; empty when not installed.
    std::u16string InstallDataFolder() const;
    // The default theme the installer chose; empty when none.
    std::u16string ThemeName() const;
    // The UI program's device path.
    std::u16string UiProgram() const;

private:
    const SettingsKey& Key() const;

    std::unique_ptr<SettingsKey> weather_;
    std::unique_ptr<SettingsKey> clock_;
    bool forcedClock_ = false;
};

}  // namespace skyvane::plugin
