#include "plugin/main_settings.h"

#include "platform/kernel/system_info.h"
#include "plugin/platform_type.h"

namespace skyvane::plugin {
namespace {

bool Flag(const SettingsKey& key, std::u16string_view name, bool def) { return key.ReadNumber(name, def ? 1 : 0) != 0; }

}  // namespace

bool IsViewType(int32_t v) { return v >= 0 && v <= 12 && v != 9; }

int32_t AnimationPeriod(const SettingsKey& key) { return key.ReadNumber(u"AnimationPeriod", 15); }

int32_t CorrectionClock(const SettingsKey& key) {
    int32_t hours = key.ReadNumber(u"CorrectionClock", 0);
    return hours >= -24 && hours <= 24 ? hours : 0;
}

bool EnableOnToday(const SettingsKey& key) { return Flag(key, u"EnableOnToday", true); }

int32_t PluginIndex(const SettingsKey& key) { return key.ReadNumber(u"PluginIndex", 4); }

void SetPluginIndex(SettingsKey& key, int32_t index) {
    if (index >= 0 && index <= 19) key.WriteNumber(u"PluginIndex", index);
}

int32_t PluginHeightManual(const SettingsKey& key) { return key.ReadNumber(u"PluginHeightManual", 0); }
bool DoubleClick(const SettingsKey& key) { return Flag(key, u"DoubleClick", true); }
bool Sound(const SettingsKey& key) { return Flag(key, u"Sound", IsSmartphone()); }
bool Vibra(const SettingsKey& key) { return Flag(key, u"Vibra", !IsSmartphone()); }
bool SelectionBackground(const SettingsKey& key) { return Flag(key, u"SelectionBacground", true); }
bool ArrowOnToday(const SettingsKey& key) { return Flag(key, u"ArrowOnToday", true); }
bool LowOnToday(const SettingsKey& key) { return Flag(key, u"LowOnToday", true); }
bool BarometerOnToday(const SettingsKey& key) { return Flag(key, u"BarometerOnToday", true); }

int32_t DetailsModeNew(SettingsKey& key) {
    constexpr int32_t kMissing = -0x7FFFFFFF;
    int32_t mode = key.ReadNumber(u"DetailsModeNew", kMissing);
    if (mode != kMissing) return mode;
    mode = GetSystemMetrics(SM_CXSCREEN) >= 240 && GetSystemMetrics(SM_CYSCREEN) >= 240 ? 1 : 0;
    key.WriteNumber(u"DetailsModeNew", mode);
    return mode;
}

void StoreDetailsModeFromCheckBox(SettingsKey& key, bool classicChecked) {
    key.WriteNumber(u"DetailsModeNew", classicChecked ? 0 : 1);
}

std::u16string CityDatabasePath(const SettingsKey& key) {
    return key.ReadText(u"CityDatabasePath", kDefaultCityDatabasePath);
}

}  // namespace skyvane::plugin
