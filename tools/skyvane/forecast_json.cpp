// `skyvane show --json`: the forecast for scripts. Numbers are in the unit
// system the user chose (named once in "units"), rounded as the plugin shows
// them; texts are in the user's language; a value the service did not give
// is null. The schema is described in README.md; "schema" changes only when
// a member changes its meaning or goes away.
#include <cmath>
#include <cstdio>

#include "platform/oleaut/ole_date.h"
#include "plugin/city_weather.h"
#include "skyvane/forecast_formats.h"
#include "ui/time_format.h"
#include "ui/translator.h"
#include "ui/units.h"
#include "ui/value_format.h"

namespace skyvane::cli {
namespace {

constexpr int kSchemaVersion = 1;

// Unit names as scripts compare them: the English labels, never translated.
const char* WindUnitName(int32_t unitType) {
    switch (ui::WindUnitOf(unitType)) {
    case ui::WindUnit::MilesPerHour: return "mph";
    case ui::WindUnit::KilometresPerHour: return "km/h";
    case ui::WindUnit::Knots: return "kt";
    case ui::WindUnit::MetresPerSecond: break;
    }
    return "m/s";
}

const char* PressureUnitName(int32_t unitType) {
    switch (ui::PressureUnitOf(unitType)) {
    case ui::PressureUnit::InHg: return "inHg";
    case ui::PressureUnit::MBar: return "mBar";
    case ui::PressureUnit::HPa: return "hPa";
    case ui::PressureUnit::MmHg:
    case ui::PressureUnit::None: break;
    }
    return "mmHg";
}

const char* VisibilityUnitName(int32_t unitType) {
    switch (ui::VisibilityUnitOf(unitType)) {
    case ui::VisibilityUnit::Miles: return "miles";
    case ui::VisibilityUnit::Metres: return "m";
    case ui::VisibilityUnit::NauticalMiles: return "nmi";
    case ui::VisibilityUnit::Kilometres: break;
    }
    return "km";
}

enum class DateForm { DateTime, Day, TimeOfDay };

// "2026-03-07T14:05:00", "2026-03-07", "14:05" from an OLE date; null when
// there is none.
void Date(JsonWriter& json, double date, DateForm form) {
    SYSTEMTIME t{};
    if (date <= 0 || date == plugin::kNoValue || !VariantTimeToSystemTime(date, &t)) return json.Null();
    char text[64];
    if (form == DateForm::Day) std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    else if (form == DateForm::TimeOfDay) std::snprintf(text, sizeof text, "%02d:%02d", t.wHour, t.wMinute);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond);
    json.String(std::string_view(text));
}

void Text(JsonWriter& json, const std::u16string& text) {
    if (text.empty()) json.Null();
    else json.String(text);
}

// A temperature as shown: converted and cut toward zero.
void Temperature(JsonWriter& json, const plugin::WeatherRecord& r, double celsius) {
    const double shown = ui::ToDisplayTemperature(r.units, celsius);
    if (celsius == plugin::kNoValue || shown == ui::kMissingValue) return json.Null();
    json.Integer(int64_t(std::trunc(shown)));
}

void Percent(JsonWriter& json, int32_t value, int32_t lowest) {
    if (value < lowest || value > 100) json.Null();
    else json.Integer(value);
}

// The values a current-conditions record and a day part share.
void Conditions(JsonWriter& json, plugin::WeatherRecord& r) {
    json.Key("condition");
    Text(json, ConditionText(r));
    json.Key("icon");
    if (r.icon < 0) json.Null();
    else json.Integer(r.icon);
    json.Key("humidity");
    Percent(json, r.humidity, 1);
    json.Key("precipitation");
    Percent(json, r.precipitation, 0);
    json.Key("wind_direction");
    Text(json, r.windText.empty() ? std::u16string() : ui::TranslateWord(0, r.windText));
    json.Key("wind_speed");
    const int32_t wind = r.windSpeed < 0 ? -1 : ui::ToDisplayWind(r.units, r.windSpeed);
    if (wind < 0) json.Null();
    else json.Integer(wind);
    json.Key("uv_index");
    if (r.uvIndex < 0) json.Null();
    else json.Integer(r.uvIndex);
    json.Key("uv");
    Text(json, r.uvIndex < 0 ? std::u16string() : ui::UVWord(r));
}

void Now(JsonWriter& json, plugin::WeatherRecord& now) {
    json.BeginObject();
    json.Key("observed");
    Date(json, now.date, DateForm::DateTime);
    json.Key("temperature");
    Temperature(json, now, now.tempHigh);
    json.Key("feels_like");
    Temperature(json, now, FeelsLike(now));
    Conditions(json, now);
    json.Key("pressure");
    const double hpa = now.pressure;
    if (hpa > 9000 || hpa <= 1) {
        json.Null();
    } else {
        // As shown: two decimals below 100 (inches of mercury), else whole.
        const double shown = ui::ToDisplayPressure(now.units, hpa);
        if (shown < 0) json.Null();
        else if (shown < 100) json.Number(shown, 2);
        else json.Integer(int64_t(std::trunc(shown)));
    }
    json.Key("pressure_tendency");
    Text(json, now.pressureText.empty() || now.pressureText == u"N/A" ? std::u16string()
                                                                     : ui::TranslateWord(0, now.pressureText));
    json.Key("visibility");
    const bool noVisibility = now.visibility < 0 || now.visibility == int32_t(plugin::kNoValue);
    const int32_t visibility = noVisibility ? -1 : ui::ToDisplayVisibility(now.units, now.visibility);
    if (visibility < 0) json.Null();
    else json.Integer(visibility);
    json.EndObject();
}

void Part(JsonWriter& json, std::optional<plugin::WeatherRecord>& part) {
    if (!part) return json.Null();
    json.BeginObject();
    Conditions(json, *part);
    json.EndObject();
}

void Day(JsonWriter& json, DayForecast& day) {
    const plugin::WeatherRecord* main = MainPart(day);
    json.BeginObject();
    json.Key("date");
    Date(json, day.date, DateForm::Day);
    json.Key("high");
    day.day ? Temperature(json, *day.day, day.day->tempHigh) : json.Null();
    json.Key("low");
    double low = main->tempLow;
    if (low == plugin::kNoValue && day.night) low = day.night->tempLow;
    Temperature(json, *main, low);
    json.Key("sunrise");
    Date(json, main->sunrise, DateForm::TimeOfDay);
    json.Key("sunset");
    Date(json, main->sunset, DateForm::TimeOfDay);
    json.Key("day");
    Part(json, day.day);
    json.Key("night");
    Part(json, day.night);
    json.EndObject();
}

}  // namespace

void WriteJsonHeader(JsonWriter& json, int32_t unitType) {
    json.Key("schema");
    json.Integer(kSchemaVersion);
    json.Key("units");
    json.BeginObject();
    json.Key("system");
    json.Integer(unitType);
    json.Key("temperature");
    json.String(std::string_view(ui::IsFahrenheit(unitType) ? "F" : "C"));
    json.Key("wind");
    json.String(std::string_view(WindUnitName(unitType)));
    json.Key("pressure");
    json.String(std::string_view(PressureUnitName(unitType)));
    json.Key("visibility");
    json.String(std::string_view(VisibilityUnitName(unitType)));
    json.Key("clock");
    json.String(std::string_view(ui::Uses12HourClock(unitType) ? "12h" : "24h"));
    json.EndObject();
    json.Key("language");
    json.Integer(ui::CurrentLanguage());
}

void WriteForecastJson(JsonWriter& json, CityForecast& f) {
    const plugin::CityEntry& city = *f.city;
    json.BeginObject();
    json.Key("code");
    json.String(city.Code());
    json.Key("name");
    json.String(city.Name());
    json.Key("country");
    Text(json, city.Country());
    json.Key("current");
    json.Bool(f.isCurrentCity);
    json.Key("status");
    Text(json, city.Status());
    const double updated = f.HasWeather() ? city.Weather().LastUpdate() : 0;
    json.Key("updated");
    Date(json, updated, DateForm::DateTime);
    json.Key("age_seconds");
    if (updated <= 0 || updated > f.deviceTime) json.Null();
    else json.Integer(int64_t(std::llround((f.deviceTime - updated) * 86400)));
    json.Key("local_time");
    Date(json, f.cityTime, DateForm::DateTime);
    json.Key("now");
    if (f.now) Now(json, *f.now);
    else json.Null();
    json.Key("days");
    json.BeginArray();
    for (DayForecast& day : f.days) Day(json, day);
    json.EndArray();
    json.EndObject();
}

}  // namespace skyvane::cli
