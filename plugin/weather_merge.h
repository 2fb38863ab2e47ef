// Merging one answer of the weather service into a city's stored weather.
#pragma once

#include <string_view>

#include "plugin/city_entry.h"
#include "weather/service_interfaces.h"

namespace skyvane::plugin {

// Turns the service's XML text into its records (WeatherAsDocument, then
// WeatherAsArray) and merges them into the city: records of past days go,
// day, night, current and hourly records are updated in place, a new hourly
// result replaces the hours and the alerts, new maps replace the maps. now
// is the local time at which the update run started (an OLE date).
// S_OK when merged. Without a service or with an empty text the city's
// status becomes "Unknown error" and E_INVALIDARG is returned; when no
// records can be built from the text it becomes "There is no weather" and
// the service's failure is returned.
HRESULT MergeFromService(CityEntry& city, IKWeatherService* service, std::u16string_view xml, double now);

}  // namespace skyvane::plugin
