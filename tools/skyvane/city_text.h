// How a city of the list is named and how its state reads, the same in every
// subcommand: the plugin's status texts and ages, in the user's language.
#pragma once

#include <string>

#include "plugin/city_entry.h"

namespace skyvane::cli {

// "Moscow, Russia"; the name alone when the country is unknown.
std::u16string PlaceName(const plugin::CityEntry& city);
// "updated successfully, updated 3 minutes ago"; "There is no weather" for a
// city without stored weather. now: the device's local time.
std::u16string CityState(const plugin::CityEntry& city, double now);

}  // namespace skyvane::cli
