// The exchange values: a few values of the current city's weather that the
// plugin publishes for other applications in
// HKEY_CURRENT_USER\Software\Skyvane\Weather\Exchange after updating it.
//
//   LocationName                    the city's display name
//   TemperatureUnit                 "C" or "F"
//   CurrentTemp                     "21°C", as the home item shows it
//   CurrentIcon, TodayIcon          exchange icon numbers (below)
//   TodayTempHigh, TodayTempLow     "24°C", "15°C"
//   CurrentTemperatureUpdatedTime   a FILETIME (8-byte REG_BINARY) of the
//                                   device's local time of the writing
//
// Values of a record the city does not have are not written.
#pragma once

#include <cstdint>
#include <memory>

#include "plugin/city_entry.h"

namespace skyvane::plugin {

inline constexpr char16_t kExchangeKey[] = u"Software\\Skyvane\\Weather\\Exchange";

// The exchange icon number of a condition icon 0..55; 0 for any other.
int32_t ExchangeIconNumber(int32_t icon);

// Writes the values of the city's stored weather, formatted in unitType;
// cityTime is the city's local time (today's day forecast is the first day
// record not in the past at that time).
void WriteExchange(const CityEntry& city, int32_t unitType, double cityTime);

// Writes the values again from the stored weather of the city `CurrentCity`
// names (the periodic refresh); nothing when it has none.
void WriteCurrentCityExchange(const std::shared_ptr<SettingsKey>& key);

}  // namespace skyvane::plugin
