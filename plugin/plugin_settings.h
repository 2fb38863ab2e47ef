// PluginSettings: the in-memory copy of the settings that one process keeps
// (current city and day, units, view, connection choice, the city list) and
// the change poll by which it follows what other processes write. Processes
// share nothing but the registry: a writer writes its values first and a
// change stamp last, and readers reload on any change of the stamp.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/city_entry.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr size_t kMaxCities = 100;

// What one change poll found.
struct PollResult {
    bool cityListReloaded = false;
    bool currentCityChanged = false;
    bool dayChanged = false;
    bool optionsReloaded = false;
    bool sizeChanged = false;
    std::vector<size_t> statusChanged;    // cities whose status text was reloaded
    std::optional<size_t> weatherReloaded;  // the one city whose weather was reloaded
    bool redraw = false;
};

class PluginSettings {
public:
    // The settings key "Software\Skyvane\Weather" by default.
    PluginSettings();
    explicit PluginSettings(std::shared_ptr<SettingsKey> key);

    SettingsKey& Key() { return *key_; }
    const SettingsKey& Key() const { return *key_; }
    const std::shared_ptr<SettingsKey>& SharedKey() const { return key_; }
    InstallKeys& Install() { return install_; }

    // Reads CurrentCity, UnitType, ViewType, CurrentDay and ConnectionGUID,
    // each with the value in memory as default, and remembers LastOptionTime.
    void LoadMainSettings();
    // Loads the main settings and the cities ("CityCode%d", "CityName%d",
    // "CityCountry%d" up to the first gap, at most 100), with each city's
    // stored weather and status.
    void LoadCityList();
    // Writes the main settings and the city list; the values of the index
    // past the last city are deleted so that a shorter list ends there.
    void SaveSettings();
    // After a change of the list: stamps CityListTime and keeps the stamp, so
    // that this process does not reload its own change.
    void StampCityList();
    // After a change of options: stamps LastOptionTime and keeps the stamp.
    void StampOptions();

    void SetUnitType(int32_t unitType);
    // Reads CurrentCity again (repairing a value out of range to 0, written
    // back); whether it changed.
    bool CheckCurrentCity();

    // Effective values.
    int32_t GetUnitType() const;
    int32_t GetLanguage() const;
    std::u16string GetThemeName() const;

    // The change poll of the home item. hostWidth/hostHeight: the host
    // window's size now. onOptions runs when options were reloaded.
    PollResult PollChanges(int hostWidth = 0, int hostHeight = 0);
    void SetOptionsReloadHandler(std::function<void()> handler) { onOptions_ = std::move(handler); }

    // The local time of a city as an OLE date: the device's local time taken
    // to UTC, plus CorrectionClock hours, plus the city's GMT offset (the
    // device's own time when the offset is unknown).
    double CityLocalTime(const CityEntry& city) const;

    const std::vector<CityRef>& Cities() const { return cities_; }
    std::vector<CityRef>& Cities() { return cities_; }
    CityRef CurrentCityEntry() const;

    int32_t currentCity = 0;
    int32_t currentDay = 0;
    int32_t unitType = 0;
    int32_t viewType = 2;
    int32_t connectionGuid = 1;
    bool unitsChanged = false;

private:
    void RepairCurrentCity();

    std::shared_ptr<SettingsKey> key_;
    InstallKeys install_;
    std::vector<CityRef> cities_;
    DWORD lastOptionTime_ = 0;
    DWORD cityListTime_ = 0;
    int dayOfMonth_ = 0;  // none at start
    int hostWidth_ = -1;
    int hostHeight_ = -1;
    std::function<void()> onOptions_;
};

// The theme by date when nothing chose one: "NewYear" from 21 December to 5
// January, "classic" on all other days.
std::u16string SeasonalTheme(int month, int day);

}  // namespace skyvane::plugin
