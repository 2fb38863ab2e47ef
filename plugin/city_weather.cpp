#include "plugin/city_weather.h"

#include <algorithm>
#include <cmath>

#include "platform/kernel/win_time.h"
#include "platform/oleaut/ole_date.h"

namespace skyvane::plugin {
namespace {

constexpr double kHour = 1.0 / 24.0;
// The hour that GetCurrentHourRecord accepts after a record's date.
constexpr double kCurrentHourSpan = 0.042;

bool IsCurrent(const WeatherRecord& r) { return r.type == KWCurrent; }

// The time of day of an OLE date (time-only dates included); OLE dates count
// the fraction forward from midnight also before 1899-12-30.
double TimeOfDay(double date) { return date - std::floor(date); }

}  // namespace

double WholeDay(double date) { return std::floor(date); }

double LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

WeatherRecord* CityWeather::Insert(std::unique_ptr<WeatherRecord> record) {
    if (IsCurrent(*record)) {
        records_.insert(records_.begin(), std::move(record));
        return records_.front().get();
    }
    // After the last record that is earlier, or that is the current
    // conditions; a record earlier than all others goes first, so that the
    // list stays in date order.
    auto at = records_.begin();
    for (auto it = records_.begin(); it != records_.end(); ++it)
        if ((*it)->date < record->date || IsCurrent(**it)) at = it + 1;
    return records_.insert(at, std::move(record))->get();
}

WeatherRecord* CityWeather::FindOrAddRecord(double date, int32_t type) {
    auto find = [&](auto pred) -> WeatherRecord* {
        for (auto& r : records_)
            if (r->type == type && pred(*r)) return r.get();
        return nullptr;
    };
    switch (type) {
    case KWDay:
        date = WholeDay(date);
        if (WeatherRecord* r = find([&](const WeatherRecord& x) { return WholeDay(x.date) == date; })) {
            r->date = date;
            return r;
        }
        break;
    case KWNight:
        date = WholeDay(date) + 0.5;
        if (WeatherRecord* r = find([&](const WeatherRecord& x) { return WholeDay(x.date) == WholeDay(date); })) {
            r->date = date;
            return r;
        }
        break;
    case KWCurrent: {
        auto it = std::find_if(records_.begin(), records_.end(), [](const auto& r) { return IsCurrent(*r); });
        if (it != records_.end()) {
            std::unique_ptr<WeatherRecord> current = std::move(*it);
            records_.erase(it);
            current->date = date;
            records_.insert(records_.begin(), std::move(current));
            return records_.front().get();
        }
        break;
    }
    case KWHBH:
        if (WeatherRecord* r = find([&](const WeatherRecord& x) { return x.date == date; })) return r;
        break;
    case KWAlert:
    case KWPressureArchive:
    case KWTempArchive:
    case KWWindchillArchive:
    case KWMap:
        break;
    default:
        return nullptr;  // local time, graphs and the hourly archives are not stored
    }
    auto record = std::make_unique<WeatherRecord>();
    record->type = type;
    record->date = date;
    return Insert(std::move(record));
}

const WeatherRecord* CityWeather::Current() const {
    for (const auto& r : records_)
        if (IsCurrent(*r)) return r.get();
    return nullptr;
}

bool CityWeather::IsDaytime(double x) const {
    double day = WholeDay(x);
    double sunrise = 0.25, sunset = 0.75;  // 6:00 and 18:00
    for (const auto& r : records_) {
        if (r->type != KWDay || WholeDay(r->date) != day) continue;
        if (r->sunrise != 0 && r->sunset != 0 && TimeOfDay(r->sunrise) < TimeOfDay(r->sunset)) {
            sunrise = TimeOfDay(r->sunrise);
            sunset = TimeOfDay(r->sunset);
        }
        break;
    }
    double t = TimeOfDay(x);
    return t >= sunrise && t < sunset;
}

bool CityWeather::CurrentStandsFor(int32_t t, double x) const {
    const WeatherRecord* current = Current();
    if (!current || WholeDay(current->date) != WholeDay(x)) return false;
    return IsDaytime(x) ? t == KWDay : t == KWNight;
}

const WeatherRecord* CityWeather::GetRecord(size_t n, int32_t t, bool withAlerts, bool storedOnly, double x) const {
    if (n >= records_.size()) return nullptr;
    const double today = WholeDay(x);
    size_t index = 0;
    if (!storedOnly && (t == KWDay || t == KWNight) && CurrentStandsFor(t, x)) {
        if (n == 0) return Current();
        index = 1;
    }
    for (const auto& r : records_) {
        bool match;
        switch (r->type) {
        case KWCurrent:
            match = t == KWCurrent;
            break;
        case KWAlert:
            match = withAlerts && WholeDay(r->alertEnd) >= today;
            break;
        case KWHBH:
            match = t == KWHBH && !(r->date + kHour < x);
            break;
        case KWMap:
            match = t == KWMap;
            break;
        default:
            match = r->type == t && WholeDay(r->date) >= today;
            break;
        }
        if (!match) continue;
        if (index == n) return r.get();
        ++index;
    }
    return nullptr;
}

const WeatherRecord* CityWeather::GetCurrentHourRecord(double x) const {
    for (const auto& r : records_)
        if (r->type == KWHBH && r->date <= x && x <= r->date + kCurrentHourSpan) return r.get();
    return nullptr;
}

void CityWeather::DropBefore(double day) {
    std::erase_if(records_, [&](const auto& r) { return r->date < day; });
}

void CityWeather::RemoveType(int32_t type) {
    std::erase_if(records_, [&](const auto& r) { return r->type == type; });
}

void CityWeather::Replace(Records records, double lastUpdate) {
    records_ = std::move(records);
    lastUpdate_ = lastUpdate;
}

void CityWeather::Clear() {
    records_.clear();
    lastUpdate_ = 0;
}

}  // namespace skyvane::plugin
