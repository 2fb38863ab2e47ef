// CityEntry: one city of the list, shared by whoever holds it (the list, an
// update run, an open details window), with its per-city registry values:
// "CityState_<code>" (status text), the change stamps "CityUpdateTime_<code>"
// and "CityUpdateDay_<code>", "CityEnabledOnToday_<code>" and
// "CityGMT_<code>". Nothing is read or written for an entry without a code
// or without an owner key.
#pragma once

#include <memory>
#include <string>

#include "plugin/city_weather.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr int kGmtUnknown = -255;

class CityEntry {
public:
    explicit CityEntry(std::shared_ptr<SettingsKey> owner) : owner_(std::move(owner)) {}

    const std::shared_ptr<SettingsKey>& Owner() const { return owner_; }
    const std::u16string& Code() const { return code_; }
    const std::u16string& Name() const { return name_; }
    const std::u16string& Country() const { return country_; }
    void SetCode(std::u16string code) { code_ = std::move(code); }
    void SetName(std::u16string name) { name_ = std::move(name); }
    void SetCountry(std::u16string country) { country_ = std::move(country); }

    const std::u16string& Status() const { return status_; }
    // Stores the text and writes it with fresh change stamps.
    void SetStatus(std::u16string_view text);
    // Reads the status text and remembers its stamp.
    void LoadStatus();
    // Whether the status or the stored weather changed since last seen; a
    // change is remembered, so each is reported once.
    bool StatusChanged();
    bool DataChanged();
    // New weather was stored: stamps "CityUpdateDay_<code>" and remembers it.
    void StampData();
    // The stored "CityUpdateDay_<code>" stamp, remembered as seen.
    void RememberDataStamp();
    DWORD UpdateStamp() const { return updateStamp_; }
    DWORD DataStamp() const { return dataStamp_; }

    bool IsEnabledOnToday() const;
    void SetEnabledOnToday(bool enabled);
    // Whole hours from UTC; kGmtUnknown when unknown.
    int GetGmtOffset() const;
    void SetGmtOffset(int hours);

    CityWeather& Weather() { return weather_; }
    const CityWeather& Weather() const { return weather_; }

private:
    bool Usable() const { return owner_ && !code_.empty(); }
    std::u16string ValueName(std::u16string_view prefix) const { return std::u16string(prefix) + code_; }

    std::shared_ptr<SettingsKey> owner_;
    std::u16string code_;
    std::u16string name_;
    std::u16string country_;
    std::u16string status_;
    DWORD updateStamp_ = 0;
    DWORD dataStamp_ = 0;
    int gmtOffset_ = kGmtUnknown;
    CityWeather weather_;
};

using CityRef = std::shared_ptr<CityEntry>;

}  // namespace skyvane::plugin
