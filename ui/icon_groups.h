// The image groups of the condition icons: the provider's icons 0..47 and the
// plugin's own 48..55 share 22 pictures, each group named once ("sun",
// "sun-cloud", "rain" ...). The name is also the group's part of a theme's
// file names.
#pragma once

#include <cstdint>
#include <string_view>

namespace skyvane::ui {

// The group of an icon number 0..55; "na" (not available) for any other.
std::string_view IconGroupName(int32_t icon);

}  // namespace skyvane::ui
