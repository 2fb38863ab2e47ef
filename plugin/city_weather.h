// CityWeather: the records a city keeps, in their order, and the look-ups the
// views use. Order: the current-conditions record, when there is one, comes
// first; every other record goes after the last record that is earlier than
// it (or after the current-conditions record), so the list runs by date.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin/weather_record.h"

namespace skyvane::plugin {

class CityWeather {
public:
    using Records = std::vector<std::unique_ptr<WeatherRecord>>;

    const Records& records() const { return records_; }
    size_t Count() const { return records_.size(); }
    // The OLE date of the last successful merge; 0 before the first.
    double LastUpdate() const { return lastUpdate_; }
    void SetLastUpdate(double date) { lastUpdate_ = date; }

    // The record an update's object of this type and date goes into: an
    // existing one where the type is kept once per day (day, night), once per
    // city (current conditions) or once per hour (hourly), else a new one;
    // null for the types that are not stored.
    WeatherRecord* FindOrAddRecord(double date, int32_t type);

    // The n-th record (from 0) matching type t for a city whose local time
    // is x; null when there is none. Alerts take part only withAlerts; for a
    // day or night without storedOnly, the current conditions stand first
    // for today's day or night part.
    const WeatherRecord* GetRecord(size_t n, int32_t t, bool withAlerts, bool storedOnly, double x) const;
    // The first hourly record whose hour holds x.
    const WeatherRecord* GetCurrentHourRecord(double x) const;
    // The current-conditions record, if any.
    const WeatherRecord* Current() const;

    // Whether x falls in the daylight of its day: between sunrise and sunset
    // of that day's forecast when they are known, else between 6:00 and 18:00.
    bool IsDaytime(double x) const;

    // Removes every record dated before the given day (an OLE date at 0:00).
    void DropBefore(double day);
    // Removes every record of the type.
    void RemoveType(int32_t type);
    // Replaces everything (a loaded file).
    void Replace(Records records, double lastUpdate);
    void Clear();

private:
    WeatherRecord* Insert(std::unique_ptr<WeatherRecord> record);
    bool CurrentStandsFor(int32_t t, double x) const;

    Records records_;
    double lastUpdate_ = 0;
};

// The whole day of an OLE date (its midnight).
double WholeDay(double date);
// The device's local time as an OLE date.
double LocalNow();

}  // namespace skyvane::plugin
