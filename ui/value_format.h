// Texts of a weather item's values in the unit system the item is formatted
// in (its `units`, set to the effective UnitType before formatting) and the
// current language. An empty text means there is nothing to show.
#pragma once

#include <string>

#include "plugin/weather_record.h"

namespace skyvane::ui {

// Texts are cut to this many characters.
inline constexpr size_t kMaxFormattedText = 1024;

// "21°C": the converted value cut toward zero and the scale's letter.
std::u16string FormatTemperature(const plugin::WeatherRecord& item, double celsius);
// "21" without the unit.
std::u16string FormatTemperatureBare(const plugin::WeatherRecord& item, double celsius);
// "765 mmHg rising", "29.91 inHg".
std::u16string FormatPressure(const plugin::WeatherRecord& item);
// "NW, 6 m/s", or the direction or the speed alone.
std::u16string FormatWind(const plugin::WeatherRecord& item);
// "16 km", and "Visibility: 16 km".
std::u16string FormatVisibility(const plugin::WeatherRecord& item);
std::u16string FormatVisibilityLine(const plugin::WeatherRecord& item);
// "64%", or "64% Humidity".
std::u16string FormatHumidity(const plugin::WeatherRecord& item, bool shortForm);
// "30%", or "30% Chance precip.".
std::u16string FormatPrecipChance(const plugin::WeatherRecord& item, bool shortForm);
// The UV word in the current language; an item without one gets the word of
// its index ("Low" ... "Extreme"), kept in the item.
std::u16string UVWord(plugin::WeatherRecord& item);
// "7", or "UV: 7 High".
std::u16string FormatUV(plugin::WeatherRecord& item, bool shortForm);
// "765 mmHg rising, UV: 3 Moderate, Humidity: 64%".
std::u16string FormatPressureHumidityLine(plugin::WeatherRecord& item);

}  // namespace skyvane::ui
