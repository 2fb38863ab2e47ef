// Every property of a weather record, one "Name: value" line each, for the
// probe's --fields dump: what DebugInfo leaves out (the alert texts, the
// archive entries, the moon, the maps, GMT) included.
#pragma once

#include <string>

#include "weather/kweather_interfaces.h"

namespace skyvane::probe {

// Texts as they are ("<null>" for a null text); doubles with up to ten
// significant digits; dates as "YYYY-MM-DD HH:MM", time-only dates as
// "HH:MM", and "NA" below 0; the archive as "hours=value" pairs.
std::u16string RecordFields(IKWeatherInfo8* record);

}  // namespace skyvane::probe
