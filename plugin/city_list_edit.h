// Adding cities to the list and deleting them, as the city list dialogs and
// the command-line program do it. Every step goes through the settings, so
// that the other processes of the device see the change at their next poll:
// the list values, `CurrentCity`, the rows of the diagnostic log and the
// `CityListTime` stamp.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "plugin/plugin_settings.h"

namespace skyvane::plugin {

enum class AddCityResult {
    Added,
    AlreadyListed,  // a city with this code is in the list: nothing changed
    ListFull,       // the list holds kMaxCities cities already
    InvalidCode,    // empty, or a code that cannot name the city's weather file
};

// The list steps of adding a city to the list as loaded in `settings`: a new
// entry with the code, name and country is appended, becomes the current
// city, the list is saved, "%s added" is logged with the name and
// `CityListTime` is stamped. Updating the new city is left to the caller.
AddCityResult AddCity(PluginSettings& settings, std::u16string_view code, std::u16string_view name,
                      std::u16string_view country);

// Deletes the city at `index` of the list as loaded: "%s deleted" is logged
// with its name, the city leaves the list, city 0 becomes current, the list is
// saved and stamped, and when no update is in progress the periodic refresh
// runs. The city's stored weather and per-city values stay. False for an
// index outside the list.
bool DeleteCity(PluginSettings& settings, size_t index);

// The position of the city with this code (compared exactly, as stored).
std::optional<size_t> FindCity(const PluginSettings& settings, std::u16string_view code);

}  // namespace skyvane::plugin
