// The city weather store: each city's records kept in one file,
// "<data folder>\<code>.bin", saved by the update run and read again by every
// process when the city's "CityUpdateDay_" stamp moves.
#pragma once

#include <optional>
#include <string>

#include "plugin/city_entry.h"

namespace skyvane::plugin {

// The data folder: the application-data folder (else the documents folder,
// else "\") followed by "\<company><product>" of the settings key; created
// when missing.
std::u16string DataFolder(const SettingsKey& key);

// Whether a city code can name a file of the data folder: no path separator,
// no "..", no drive colon, no control character, not empty. Other codes get
// no store file.
bool CodeFitsFileName(std::u16string_view code);
// "<folder>\<code>.bin", or nothing for a code that cannot name a file.
std::optional<std::u16string> CityFilePath(std::u16string_view folder, std::u16string_view code);

// Reads the city's file into its records. On any failure the records stay as
// they were and false is returned; the city's data stamp is remembered
// either way, so that only a newer save makes the city load again.
bool LoadWeather(CityEntry& city);
// Writes the city's file and then stamps "CityUpdateDay_<code>". The file is
// written beside the old one and renamed over it, so a save cut short leaves
// the previous file whole.
bool SaveWeather(CityEntry& city);

}  // namespace skyvane::plugin
