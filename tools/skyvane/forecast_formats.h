// The three forms of `skyvane show`: lines for a person, a JSON document for
// scripts and one line for a status bar. Every value is formatted by the
// plugin (ui/value_format.h, ui/time_format.h) in the user's units and
// language.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "skyvane/forecast_view.h"
#include "skyvane/json_writer.h"

namespace skyvane::cli {

// A heading with the city and the age of its weather, then the current
// conditions and one line per day, captions aligned.
std::vector<std::u16string> ForecastText(CityForecast& forecast);

// The city as one member of the "cities" array (the schema is in README.md).
void WriteForecastJson(JsonWriter& json, CityForecast& forecast);
// The document's members before "cities": the schema version and the units.
void WriteJsonHeader(JsonWriter& json, int32_t unitType);

// The status-bar line: the format with its fields replaced (%t temperature,
// %c condition, %i condition emoji, %h humidity, %w wind, %a age, %n the
// city's name, %% a percent sign); a field without a value gives nothing.
std::u16string StatusLine(CityForecast& forecast, std::u16string_view format);
// Why a format cannot be used (an unknown field); empty when it can.
std::string CheckStatusLineFormat(std::string_view format);
// The emoji of a condition icon number.
std::u16string_view ConditionEmoji(int32_t icon);

}  // namespace skyvane::cli
