#include "plugin/exchange.h"

#include <iterator>

#include "platform/kernel/win_time.h"
#include "platform/oleaut/ole_date.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/registry/registry.h"
#include "plugin/plugin_settings.h"
#include "plugin/weather_store.h"
#include "ui/units.h"
#include "ui/value_format.h"

namespace skyvane::plugin {
namespace {

constexpr int32_t kExchangeIcons[] = {
    15, 15, 15, 15, 15, 29, 29, 29, 12, 12, 12, 12, 12, 22, 22, 22, 22, 15, 12, 32, 11, 11, 7, 32, 32, 31, 8, 8,
    3,  8,  3,  33, 1,  33, 3,  15, 1,  15, 15, 12, 12, 22, 22, 22, 0,  12, 22, 15, 0,  0,  0, 0,  0,  0,  0, 0,
};
static_assert(std::size(kExchangeIcons) == 56);

void SetText(HKEY key, const char16_t* name, const std::u16string& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD((text.size() + 1) * sizeof(char16_t)));
}

void SetNumber(HKEY key, const char16_t* name, int32_t value) {
    DWORD raw = static_cast<DWORD>(value);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&raw), sizeof raw);
}

}  // namespace

int32_t ExchangeIconNumber(int32_t icon) {
    if (icon < 0 || icon >= int32_t(std::size(kExchangeIcons))) return 0;
    return kExchangeIcons[icon];
}

void WriteExchange(const CityEntry& city, int32_t unitType, double cityTime) {
    skyvane::UniqueHkey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kExchangeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.out(),
                        nullptr) != ERROR_SUCCESS)
        return;
    SetText(key.get(), u"LocationName", city.Name());
    SetText(key.get(), u"TemperatureUnit", ui::TemperatureLetter(unitType));
    // Formatted as copies: the stored records keep the units they were drawn in.
    if (const WeatherRecord* stored = city.Weather().GetRecord(0, KWCurrent, false, true, cityTime)) {
        WeatherRecord current = *stored;
        current.units = unitType;
        SetText(key.get(), u"CurrentTemp", ui::FormatTemperature(current, current.tempHigh));
        SetNumber(key.get(), u"CurrentIcon", ExchangeIconNumber(current.icon));
    }
    if (const WeatherRecord* stored = city.Weather().GetRecord(0, KWDay, false, true, cityTime)) {
        WeatherRecord today = *stored;
        today.units = unitType;
        SetNumber(key.get(), u"TodayIcon", ExchangeIconNumber(today.icon));
        SetText(key.get(), u"TodayTempHigh", ui::FormatTemperature(today, today.tempHigh));
        SetText(key.get(), u"TodayTempLow", ui::FormatTemperature(today, today.tempLow));
    }
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME written{};
    if (SystemTimeToFileTime(&local, &written))
        RegSetValueExW(key.get(), u"CurrentTemperatureUpdatedTime", 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&written), sizeof written);
}

void WriteCurrentCityExchange(const std::shared_ptr<SettingsKey>& key) {
    PluginSettings settings(key);
    settings.LoadMainSettings();
    const std::u16string index = skyvane::FromUtf8(std::to_string(settings.currentCity));
    CityEntry city(key);
    city.SetCode(key->ReadText(u"CityCode" + index, u""));
    city.SetName(key->ReadText(u"CityName" + index, u""));
    if (city.Code().empty() || !LoadWeather(city)) return;
    WriteExchange(city, settings.GetUnitType(), settings.CityLocalTime(city));
}

}  // namespace skyvane::plugin
