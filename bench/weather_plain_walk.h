// The fair baseline of the reader benchmark: what reading an answer costs
// without the platform's DOM and without COM objects. pugixml parses the
// UTF-8 text and the elements are walked straight into plain records with
// the same fields, in the same order, read by the same value readers.
#pragma once

#include <string_view>
#include <vector>

#include "weather/weather_info.h"

namespace skyvane::weather::bench {

// The records of one answer; false when the text is not well-formed.
bool PlainRead(std::string_view utf8, std::vector<WeatherFields>& records);

}  // namespace skyvane::weather::bench
