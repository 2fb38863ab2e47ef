// The languages the plugin has text tables for, and the language in force.
#pragma once

#include <cstdint>

#include "plugin/settings_key.h"

namespace skyvane::plugin {

// The table languages, in the order of the table directory. 1172 and 1028
// are the plugin's own codes for its two Chinese tables.
inline constexpr int32_t kTableLanguages[15] = {1033, 1049, 1036, 1031, 1040, 1046, 1041, 1034,
                                                1043, 1032, 1048, 1042, 1029, 1172, 1028};
inline constexpr int32_t kEnglish = 1033;
// Accepted as it is, though no table exists for it.
inline constexpr int32_t kLanguageWithoutTable = 1298;

bool IsTableLanguage(int32_t id);

// `LanguageID` of the settings key, by default the device's user interface
// language (its low byte with 0x400); a value that is neither a table
// language nor 1298 gives English.
int32_t LanguageFromSettings(const SettingsKey& key);

// The language in force in this process: computed on first use and kept;
// the options dialog sets it when the user changes the language.
int32_t ProcessLanguage(const SettingsKey& key);
void SetProcessLanguage(int32_t id);

}  // namespace skyvane::plugin
