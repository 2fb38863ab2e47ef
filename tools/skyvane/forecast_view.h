// A city's stored forecast as `skyvane show` presents it: the current
// conditions and the days ahead, copied from the store with the unit system
// the user chose, so that every text comes from the plugin's formatting.
// Reads the store file only: nothing here asks the weather service.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/plugin_settings.h"
#include "plugin/weather_record.h"

namespace skyvane::cli {

struct DayForecast {
    double date = 0;  // the day (its midnight) in the city's local time
    std::optional<plugin::WeatherRecord> day;
    std::optional<plugin::WeatherRecord> night;
};

struct CityForecast {
    plugin::CityRef city;
    bool isCurrentCity = false;
    int32_t unitType = 0;
    double cityTime = 0;    // the city's local time now
    double deviceTime = 0;  // the device's local time now, for ages
    std::optional<plugin::WeatherRecord> now;  // the current conditions
    std::vector<DayForecast> days;             // from today on

    bool HasWeather() const { return now || !days.empty(); }
};

// The forecast of the city at `index` of the loaded list, at most maxDays days.
CityForecast BuildForecast(const plugin::PluginSettings& settings, size_t index, size_t maxDays);

// "Feels like" of the current conditions: the wind chill when it is below
// the temperature, else the heat index when it is above it; 999999.0 when
// neither says more than the thermometer.
double FeelsLike(const plugin::WeatherRecord& now);

// The condition phrase in the user's language; the first of day and night
// that has one for a day.
std::u16string ConditionText(const plugin::WeatherRecord& record);
const plugin::WeatherRecord* MainPart(const DayForecast& day);

}  // namespace skyvane::cli
