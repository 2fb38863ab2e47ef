// The plugin's main settings in the settings key, each with its default and
// the rule that repairs a value out of range. Reads never fail.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr char16_t kSettingsCompany[] = u"Skyvane";
inline constexpr char16_t kSettingsProduct[] = u"Weather";
inline constexpr char16_t kDefaultCityDatabasePath[] = u"\\Storage\\Program Files\\SkyvaneWeather\\Database";

// View types of the home item; there is no view type 9.
bool IsViewType(int32_t viewType);
inline constexpr int32_t kDefaultViewType = 2;

// Seconds the animated view runs: 0, 5, 15, 60, 600, or -1 for ever.
int32_t AnimationPeriod(const SettingsKey& key);
// Hours added to the device clock for the local times of cities; only
// -24..24 counts, anything else is 0.
int32_t CorrectionClock(const SettingsKey& key);
bool EnableOnToday(const SettingsKey& key);
// The line of the home screen the plugin stands on, 0..19.
int32_t PluginIndex(const SettingsKey& key);
// A line past the last is not stored.
void SetPluginIndex(SettingsKey& key, int32_t index);
// Pixels; 0: the renderer decides.
int32_t PluginHeightManual(const SettingsKey& key);
bool DoubleClick(const SettingsKey& key);
// A tap clicks on a Smartphone and vibrates elsewhere, unless set.
bool Sound(const SettingsKey& key);
bool Vibra(const SettingsKey& key);
bool SelectionBackground(const SettingsKey& key);
bool ArrowOnToday(const SettingsKey& key);
bool LowOnToday(const SettingsKey& key);
bool BarometerOnToday(const SettingsKey& key);
// The details window style. When the value is missing it is 1 on a screen at
// least 240 pixels wide and high, else 0, and that is written back.
int32_t DetailsModeNew(SettingsKey& key);
// The options dialog's check box asks for the classic window: checked is 0.
void StoreDetailsModeFromCheckBox(SettingsKey& key, bool classicChecked);
std::u16string CityDatabasePath(const SettingsKey& key);

}  // namespace skyvane::plugin
