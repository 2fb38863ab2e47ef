// `skyvane show --line FORMAT`: one line for a status bar (waybar, i3blocks,
// polybar), from the current conditions of the stored weather.
#include <string_view>

#include "plugin/city_weather.h"
#include "skyvane/console.h"
#include "skyvane/forecast_formats.h"
#include "ui/icon_groups.h"
#include "ui/time_format.h"
#include "ui/value_format.h"

namespace skyvane::cli {
namespace {

constexpr std::string_view kFields = "tcihwan%";

struct GroupEmoji {
    std::string_view group;
    std::u16string_view emoji;
};

// Symbols that terminals draw as text by default carry U+FE0F, which asks
// for the emoji picture.
constexpr GroupEmoji kEmoji[] = {
    {"storm", u"\u26C8\uFE0F"},          {"rain-snow", u"\U0001F328\uFE0F"}, {"rain", u"\U0001F327\uFE0F"},
    {"snow", u"\u2744\uFE0F"},           {"dust", u"\U0001F32B\uFE0F"},      {"fog", u"\U0001F32B\uFE0F"},
    {"haze", u"\U0001F32B\uFE0F"},       {"smoke", u"\U0001F32B\uFE0F"},     {"windy", u"\U0001F4A8"},
    {"frigid", u"\U0001F976"},           {"cloud", u"\u2601\uFE0F"},         {"sun-cloud", u"\u26C5"},
    {"moon", u"\U0001F319"},             {"sun", u"\u2600\uFE0F"},           {"alert", u"\u26A0\uFE0F"},
    {"alerticon", u"\u26A0\uFE0F"},      {"uvalert", u"\U0001F506"},         {"umbrella", u"\u2602\uFE0F"},
    {"uvsun", u"\U0001F506"},            {"icealert", u"\U0001F9CA"},        {"maps", u"\U0001F5FA\uFE0F"},
};
constexpr std::u16string_view kNotAvailable = u"\u2754";

}  // namespace

std::u16string_view ConditionEmoji(int32_t icon) {
    const std::string_view group = ui::IconGroupName(icon);
    for (const GroupEmoji& e : kEmoji)
        if (e.group == group) return e.emoji;
    return kNotAvailable;
}

std::string CheckStatusLineFormat(std::string_view format) {
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 == format.size()) return "the format ends in a lone %";
        if (kFields.find(format[i + 1]) == std::string_view::npos)
            return "the format has an unknown field %" + std::string(1, format[i + 1]) +
                   " (known: %t %c %i %h %w %a %n %%)";
        ++i;
    }
    return {};
}

std::u16string StatusLine(CityForecast& f, std::u16string_view format) {
    std::u16string line;
    plugin::WeatherRecord none;
    none.units = f.unitType;
    plugin::WeatherRecord& now = f.now ? *f.now : none;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != u'%' || i + 1 == format.size()) {
            line += format[i];
            continue;
        }
        switch (format[++i]) {
        case u't': line += ui::FormatTemperature(now, now.tempHigh); break;
        case u'c': line += ConditionText(now); break;
        case u'i': if (f.now) line += ConditionEmoji(now.icon); break;
        case u'h': line += ui::FormatHumidity(now, true); break;
        case u'w': line += ui::FormatWind(now); break;
        case u'a':
            if (f.HasWeather()) line += ui::FormatAgoShort(now, f.city->Weather().LastUpdate(), f.deviceTime);
            break;
        case u'n': line += f.city->Name(); break;
        case u'%': line += u'%'; break;
        default: line += format.substr(i - 1, 2); break;
        }
    }
    return line;
}

}  // namespace skyvane::cli
