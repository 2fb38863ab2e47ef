// skyvane show: the stored forecast, read from the cities' store files only.
#include <cstdio>

#include "plugin/city_list_edit.h"
#include "plugin/plugin_settings.h"
#include "platform/base/wide_string.h"
#include "skyvane/commands.h"
#include "skyvane/console.h"
#include "skyvane/forecast_formats.h"

namespace skyvane::cli {
namespace {

constexpr size_t kDefaultDays = 5;
constexpr long kMostDays = 10;

constexpr OptionInfo kShowOptions[] = {
    {"--days", "N", "show N days from today (1 to 10; 5 unless given)"},
    {"--json", "", "print a JSON document for scripts (its schema is in README.md)"},
    {"--line", "FORMAT", "print one line for a status bar, FORMAT with the fields below"},
};

constexpr char kShowDetails[] =
    "Shows the stored forecast of the current city, of the city with this code, or of all\n"
    "cities, in the units and the language chosen in the settings: the current conditions and\n"
    "one line per day. It reads the stored weather only and never asks the weather service;\n"
    "fetch new weather with: skyvane update\n"
    "It fails (1) when a city shown has no stored weather yet.\n"
    "\n"
    "Fields of --line, from the current conditions: %t temperature, %c condition, %i the\n"
    "condition as an emoji, %h humidity, %w wind, %a the age of the weather, %n the city's\n"
    "name, %% a percent sign. For example: skyvane show --line '%i %t %c'";

}  // namespace

const CommandInfo kShowCommand{"show", "[CODE|all]", "show the stored forecast", kShowDetails, kShowOptions, 0, 1};

int RunShow(const Arguments& arguments) {
    std::string error;
    const std::optional<long> days = arguments.Number("--days", 1, kMostDays, &error);
    if (!error.empty()) return BadUsage(kShowCommand, error);
    const std::optional<std::string> lineFormat = arguments.Value("--line");
    const bool json = arguments.Has("--json");
    if (json && lineFormat) return BadUsage(kShowCommand, "--json and --line cannot be used together");
    if (lineFormat) {
        error = CheckStatusLineFormat(*lineFormat);
        if (!error.empty()) return BadUsage(kShowCommand, error);
    }

    plugin::PluginSettings settings;
    settings.LoadCityList();
    if (settings.Cities().empty()) return Fail("The city list is empty; add a city first with: skyvane city add NAME");
    std::vector<size_t> shown;
    const std::u16string code = Utf16(arguments.Positional().empty() ? "" : arguments.Positional()[0]);
    if (code == u"all") {
        for (size_t i = 0; i < settings.Cities().size(); ++i) shown.push_back(i);
    } else if (code.empty()) {
        shown.push_back(size_t(settings.currentCity));
    } else {
        for (size_t i = 0; i < settings.Cities().size() && shown.empty(); ++i)
            if (skyvane::EqualsNoCase(settings.Cities()[i]->Code(), code)) shown.push_back(i);
        if (shown.empty()) return Fail(Utf8(code) + " is not in the city list (see: skyvane city list).");
    }

    bool allHaveWeather = true;
    JsonWriter document;
    if (json) {
        document.BeginObject();
        WriteJsonHeader(document, settings.GetUnitType());
        document.Key("cities");
        document.BeginArray();
    }
    for (size_t n = 0; n < shown.size(); ++n) {
        CityForecast forecast = BuildForecast(settings, shown[n], size_t(days.value_or(kDefaultDays)));
        allHaveWeather = allHaveWeather && forecast.HasWeather();
        if (json) {
            WriteForecastJson(document, forecast);
        } else if (lineFormat) {
            PrintLine(StatusLine(forecast, Utf16(*lineFormat)));
        } else {
            if (n > 0) PrintLine(std::string_view());
            for (const std::u16string& line : ForecastText(forecast)) PrintLine(line);
        }
    }
    if (json) {
        document.EndArray();
        document.EndObject();
        const std::string text = document.Text();
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    return allHaveWeather ? kDone : kFailed;
}

}  // namespace skyvane::cli
