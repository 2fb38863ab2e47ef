// `skyvane show` for a person.
#include <algorithm>

#include "plugin/city_weather.h"
#include "skyvane/city_text.h"
#include "skyvane/console.h"
#include "skyvane/forecast_formats.h"
#include "ui/text_ids.h"
#include "ui/time_format.h"
#include "ui/translator.h"
#include "ui/value_format.h"

namespace skyvane::cli {
namespace {

struct Row {
    std::u16string caption;
    std::u16string text;
};

// The texts that are not empty, joined by ", ".
std::u16string Joined(std::initializer_list<std::u16string> parts) {
    std::u16string text;
    for (const std::u16string& part : parts) {
        if (part.empty()) continue;
        if (!text.empty()) text += u", ";
        text += part;
    }
    return text;
}

std::u16string Captioned(int32_t caption, const std::u16string& value) {
    return value.empty() ? value : ui::TranslateStringId(caption) + u": " + value;
}

void CurrentRows(plugin::WeatherRecord& now, std::vector<Row>& rows) {
    std::u16string line = ui::FormatTemperature(now, now.tempHigh);
    const std::u16string condition = ConditionText(now);
    const std::u16string feels = ui::FormatTemperature(now, FeelsLike(now));
    if (!condition.empty()) line += (line.empty() ? u"" : u"  ") + condition;
    if (!feels.empty()) line += u", " + Captioned(ui::text::kFeelsLike, feels);
    rows.push_back({ui::TranslateStringId(ui::text::kNow), line});
    std::u16string details = Joined({Captioned(ui::text::kWind, ui::FormatWind(now)),
                                     ui::FormatPressureHumidityLine(now), ui::FormatVisibilityLine(now)});
    if (!details.empty()) rows.push_back({u"", details});
}

std::u16string DayText(DayForecast& day) {
    plugin::WeatherRecord* main = day.day ? &*day.day : day.night ? &*day.night : nullptr;
    if (!main) return {};
    const double high = day.day ? day.day->tempHigh : plugin::kNoValue;
    double low = main->tempLow;
    if (low == plugin::kNoValue && day.night) low = day.night->tempLow;
    std::u16string text = ui::FormatTemperature(*main, high);
    const std::u16string lowText = ui::FormatTemperature(*main, low);
    if (!lowText.empty()) text += (text.empty() ? u"" : u" / ") + lowText;
    if (day.day) text += u"  " + Joined({ConditionText(*day.day), ui::FormatPrecipChance(*day.day, false)});
    if (day.night) {
        // The night's chance of rain only when there is no day part to give one.
        const std::u16string night = Joined(
            {ConditionText(*day.night), day.day ? std::u16string() : ui::FormatPrecipChance(*day.night, false)});
        if (!night.empty())
            text += (day.day ? u";  " : u"  ") + ui::TranslateStringId(ui::text::kNight) + u": " + night;
    }
    return text;
}

}  // namespace

std::vector<std::u16string> ForecastText(CityForecast& f) {
    const plugin::CityEntry& city = *f.city;
    std::u16string heading = PlaceName(city) + u" (" + city.Code() + u")";
    const std::u16string age = ui::FormatUpdatedAgo(city.Weather().LastUpdate(), f.deviceTime);
    if (f.HasWeather() && !age.empty()) heading += u", " + age;
    std::vector<std::u16string> lines{heading};
    if (!f.HasWeather()) {
        lines.push_back(u"  " + ui::TranslateStringId(ui::text::kNoWeather) + u" (fetch it with: skyvane update " +
                        city.Code() + u")");
        return lines;
    }
    std::vector<Row> rows;
    if (f.now) CurrentRows(*f.now, rows);
    for (DayForecast& day : f.days) rows.push_back({ui::FormatDayCaption(day.date, true, f.cityTime), DayText(day)});
    size_t width = 0;
    for (const Row& row : rows) width = std::max(width, DisplayWidth(row.caption));
    for (const Row& row : rows) lines.push_back(u"  " + PadRight(row.caption, width) + u"  " + row.text);
    return lines;
}

}  // namespace skyvane::cli
