#include "ui/icon_groups.h"

#include <iterator>

namespace skyvane::ui {
namespace {

// By icon number. The night variants of cloudy, partly cloudy, clear and
// fair (27, 29, 31, 33) have no pictures of their own but cloud and moon.
constexpr std::string_view kGroups[] = {
    "storm",     "storm",     "storm",     "storm",     "storm",    "rain-snow", "rain-snow", "rain-snow",  // 0-7
    "rain",      "rain",      "rain",      "rain",      "rain",     "snow",      "snow",      "snow",       // 8-15
    "snow",      "storm",     "rain",      "dust",      "fog",      "haze",      "smoke",     "windy",      // 16-23
    "windy",     "frigid",    "cloud",     "cloud",     "sun-cloud", "cloud",    "sun-cloud", "moon",       // 24-31
    "sun",       "moon",      "sun-cloud", "storm",     "sun",      "storm",     "storm",     "rain",       // 32-39
    "rain",      "snow",      "snow",      "snow",      "na",       "rain",      "snow",      "storm",      // 40-47
    "na",        "alert",     "alerticon", "uvalert",   "umbrella", "uvsun",     "icealert",  "maps",       // 48-55
};
static_assert(std::size(kGroups) == 56);

}  // namespace

std::string_view IconGroupName(int32_t icon) {
    if (icon < 0 || icon >= int32_t(std::size(kGroups))) return "na";
    return kGroups[icon];
}

}  // namespace skyvane::ui
