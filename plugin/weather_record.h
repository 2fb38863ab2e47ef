// WeatherRecord: one piece of a city's stored weather, a copy of one record of
// the weather service (a KWeatherInfo object) so that showing the weather
// never calls the service. 999999.0 marks a double without value, -1 an
// integer without value, 0 or -1.0 a date without value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "weather/kweather_interfaces.h"

namespace skyvane::plugin {

inline constexpr double kNoValue = 999999.0;
// The icon stored for a condition number outside the known icons.
inline constexpr int32_t kIconNotAvailable = 48;
inline constexpr int32_t kLastIcon = 55;

struct WeatherRecord {
    int32_t type = KWUnknown;
    double date = -1.0;
    double received = 0;  // local time at which the update run started
    double tempHigh = kNoValue;
    double tempLow = kNoValue;
    int32_t icon = -1;
    int32_t icon2 = 0;
    std::u16string text;
    std::u16string description;
    int32_t humidity = -1;
    int32_t windSpeed = -1;
    int32_t windDirection = -1;
    std::u16string windText;
    double pressure = kNoValue;
    std::u16string pressureText;
    double windChill = kNoValue;
    double heatIndex = kNoValue;
    int32_t visibility = -1;
    int32_t uvIndex = -1;
    std::u16string uvText;
    int32_t precipitation = -1;  // probability of precipitation, percent
    double sunrise = 0;
    double sunset = 0;
    double moonRise = 0;
    double moonSet = 0;
    int32_t moonPhaseIndex = -1;
    std::u16string moonPhaseText;
    std::u16string alertType;
    std::u16string bulletin;
    std::u16string alertLocation;
    double alertEnd = 0;
    std::u16string mapUrl;
    std::u16string mapName;
    int32_t mapIndex = 0;
    std::vector<int32_t> archive;  // pairs: hours back, value
    int32_t units = 2;             // unit type the record is formatted in
    std::u16string reservedText;   // never filled by an update, kept through load and save
    // Drawing state, never stored: minutes after which an age text shown for
    // the record can change (0: it cannot).
    int32_t refreshMinutes = 0;

    bool operator==(const WeatherRecord&) const = default;
};

// Copies every field of the table from a service record through its COM
// interfaces, except type and date, which the merge decides; received is the
// start of the update run. Throws ComError when the object lacks the
// interface or a getter fails.
void CopyFromServiceRecord(WeatherRecord& record, IUnknown* info, double received);

}  // namespace skyvane::plugin
