// Times, dates, day captions and ages of weather items, in the item's clock
// (12 or 24 hours, from its unit system) and the current language. `now` is
// the local time of the item's city (an OLE date).
#pragma once

#include <cstdint>
#include <string>

#include "plugin/settings_key.h"
#include "plugin/weather_record.h"

namespace skyvane::ui {

struct DateOptions {
    bool abbreviated = false;   // the month name cut to 3 characters
    bool dayFirst = false;      // "7 March" (always so in Romanian, Russian, French, Italian)
    bool parenthesised = false; // "March (7)"
};

// "March 7", "7 March", "March (7)"; Korean writes the day with "일".
std::u16string FormatDate(double date, DateOptions options = {});
// A weekday ("Sat", or relative: "Today", "Tomorrow", "Saturday"), or the
// date for a day more than six days ahead; empty without a date.
std::u16string FormatDayCaption(double date, bool relative, double now);
// The time of day in a clock's pattern: "9:05 AM", "9:00 AM", "9:05", "9:00".
std::u16string FormatClock(double time, bool twelveHour, bool withMinutes);
// The time text of an item: for the current conditions without minutes the
// age of the observation, for days and nights without minutes the day
// caption, otherwise the time (explicitTime > 0 replaces the item's),
// preceded by the day caption and "," unless it is today's hour.
std::u16string FormatTime(plugin::WeatherRecord& item, bool withMinutes, bool relative, double explicitTime,
                          double now);

// "updated 2 minutes ago" for the time of a city's last update.
std::u16string FormatUpdatedAgo(double time, double now);
// "2 min ago", "Now"; keeps in the item after how many minutes the text can
// change (240, 60, 1; 0 when there is no age).
std::u16string FormatAgoShort(plugin::WeatherRecord& item, double time, double now);
// "2 min ago", or "getting weather now ..." while an update runs (the mark
// `IsUpdateInProgressTime` set and under 10 minutes old); a mark that is
// older or in the future is cleared.
std::u16string FormatAgeOrProgress(plugin::SettingsKey& key, double time, double now);

}  // namespace skyvane::ui
