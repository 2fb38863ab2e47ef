// Unit systems: one number (`UnitType`) names the temperature scale, the
// wind, pressure and visibility units and the clock. Values are stored in
// fixed units (°C, hPa, km/h, statute miles) and converted only for display.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace skyvane::ui {

inline constexpr double kMissingValue = 999999.0;

enum class WindUnit { MetresPerSecond, MilesPerHour, KilometresPerHour, Knots };
enum class PressureUnit { InHg, MmHg, MBar, HPa, None };
enum class VisibilityUnit { Miles, Metres, Kilometres, NauticalMiles };

bool IsFahrenheit(int32_t unitType);
// Celsius or Fahrenheit: the unit types that have a temperature scale.
bool HasTemperatureScale(int32_t unitType);
WindUnit WindUnitOf(int32_t unitType);
PressureUnit PressureUnitOf(int32_t unitType);
VisibilityUnit VisibilityUnitOf(int32_t unitType);
bool Uses12HourClock(int32_t unitType);

// Conversions from the stored value; a missing value stays missing, and a
// unit type outside the known ones gives a missing value (999999.0 for
// temperature, -1 for the others).
double ToDisplayTemperature(int32_t unitType, double celsius);
double ToDisplayPressure(int32_t unitType, double hectopascals);
int32_t ToDisplayWind(int32_t unitType, int32_t kmh);
int32_t ToDisplayVisibility(int32_t unitType, int32_t miles);

// Labels in the current language ("F" and "C", "kt" and "nmi" are fixed).
std::u16string TemperatureLetter(int32_t unitType);
std::u16string WindLabel(int32_t unitType);
std::u16string PressureLabel(int32_t unitType);
std::u16string VisibilityLabel(int32_t unitType);

// The unit types in the order the options dialog offers them, and the text
// of each (translated for the first 24, fixed for the knot systems).
std::span<const int32_t> UnitTypesInOfferOrder();
std::u16string UnitTypeText(int32_t unitType);

}  // namespace skyvane::ui
