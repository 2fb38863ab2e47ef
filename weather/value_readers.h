// The text-to-value readers of the weather answer. Each takes the text of one
// element or attribute as the service sent it; a missing or empty text, or one
// that does not read, gives the reader's failure value (the field's
// not-available value).
#pragma once

#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::weather {

// Not-available values of the record fields.
inline constexpr double kNaDouble = 999999.0;
inline constexpr int kNaInt = -1;
inline constexpr DATE kNaDate = -1.0;

// Each reader takes the text as UTF-16 or as UTF-8; only ASCII characters take
// part in the formats, so both read alike.
//
// One floating-point number, read in single precision as the service's "%f"
// scan does; 999999.0 on failure.
double ParseNumber(std::u16string_view text);
double ParseNumber(std::string_view text);
// One decimal integer ("%d"); -1 on failure.
int ParseInteger(std::u16string_view text);
int ParseInteger(std::string_view text);
// The same scan, telling a failure apart from a -1 that was read.
bool ScanInteger(std::u16string_view text, int& out);
bool ScanInteger(std::string_view text, int& out);
// As ParseNumber; a capital F anywhere in the text marks Fahrenheit, which is
// turned into degrees Celsius. The failure value is not converted.
double ParseTemperature(std::u16string_view text);
double ParseTemperature(std::string_view text);
// "7:02 PM" as a time-only date; "0:00" (midnight without an am/pm word) is
// 0.0; -1.0 on failure.
DATE ParseClockTime(std::u16string_view text);
DATE ParseClockTime(std::string_view text);
// "10/22/11 4:50 PM Local Time" as a date; -1.0 on failure.
DATE ParseStampDate(std::u16string_view text);
DATE ParseStampDate(std::string_view text);
// "YY:MM:DD:hh:mm:ss" of an alert, year 2000 + YY; the current local time when
// the text does not read or names no real moment.
DATE ParseAlertTime(std::u16string_view text);
DATE ParseAlertTime(std::string_view text);
// The same without the fallback: false when the text does not read.
bool TryParseAlertTime(std::u16string_view text, DATE& out);
bool TryParseAlertTime(std::string_view text, DATE& out);

// The current local time as a date.
DATE CurrentLocalDate();

// Whole-number part of a value read by ParseNumber, as the integer fields keep
// it; false for the not-available value and for values no integer can hold.
bool TruncateToInt(double value, int& out);

}  // namespace skyvane::weather
