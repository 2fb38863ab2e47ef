#include "skyvane/forecast_view.h"

#include <map>

#include "plugin/city_weather.h"
#include "ui/translator.h"

namespace skyvane::cli {
namespace {

constexpr size_t kMaxRecordsLooked = 64;

// A copy of the record in the unit system the user chose.
plugin::WeatherRecord InUnits(const plugin::WeatherRecord& stored, int32_t unitType) {
    plugin::WeatherRecord copy = stored;
    copy.units = unitType;
    return copy;
}

}  // namespace

CityForecast BuildForecast(const plugin::PluginSettings& settings, size_t index, size_t maxDays) {
    CityForecast f;
    f.city = settings.Cities().at(index);
    f.isCurrentCity = int32_t(index) == settings.currentCity;
    f.unitType = settings.GetUnitType();
    f.cityTime = settings.CityLocalTime(*f.city);
    f.deviceTime = plugin::LocalNow();
    const plugin::CityWeather& weather = f.city->Weather();
    if (const plugin::WeatherRecord* now = weather.GetRecord(0, KWCurrent, false, true, f.cityTime))
        f.now = InUnits(*now, f.unitType);

    // Day and night parts of the same date make one day.
    std::map<double, DayForecast> byDate;
    for (int32_t type : {KWDay, KWNight}) {
        for (size_t n = 0; n < kMaxRecordsLooked; ++n) {
            const plugin::WeatherRecord* part = weather.GetRecord(n, type, false, true, f.cityTime);
            if (!part) break;
            DayForecast& day = byDate[plugin::WholeDay(part->date)];
            day.date = plugin::WholeDay(part->date);
            (type == KWDay ? day.day : day.night) = InUnits(*part, f.unitType);
        }
    }
    for (auto& [date, day] : byDate) {
        if (f.days.size() == maxDays) break;
        f.days.push_back(std::move(day));
    }
    return f;
}

double FeelsLike(const plugin::WeatherRecord& now) {
    const double temperature = now.tempHigh;
    if (temperature == plugin::kNoValue) return plugin::kNoValue;
    if (now.windChill != plugin::kNoValue && now.windChill < temperature) return now.windChill;
    if (now.heatIndex != plugin::kNoValue && now.heatIndex > temperature) return now.heatIndex;
    return plugin::kNoValue;
}

std::u16string ConditionText(const plugin::WeatherRecord& record) {
    return record.text.empty() ? std::u16string() : ui::TranslateWord(0, record.text);
}

const plugin::WeatherRecord* MainPart(const DayForecast& day) {
    if (day.day) return &*day.day;
    return day.night ? &*day.night : nullptr;
}

}  // namespace skyvane::cli
