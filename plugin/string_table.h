// The texts of the library's string table that the plugin core shows, by
// number, in English.
#pragma once

#include <string>

namespace skyvane::plugin {

inline constexpr int kStrNoWeather = 112;     // "There is no weather"
inline constexpr int kStrUnknownError = 127;  // "Unknown error"

// The text of a string-table entry; empty for a number the table lacks.
std::u16string StringText(int id);

}  // namespace skyvane::plugin
