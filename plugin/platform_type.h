// The kind of device, from SPI_GETPLATFORMTYPE: "Smartphone" is a
// Smartphone; "PocketPC", "Pocket PC" and "Palm PC2" (any case) a Pocket PC;
// anything else, or a failure, "other", which takes the Pocket PC defaults.
#pragma once

#include <string_view>

namespace skyvane::plugin {

enum class PlatformType { PocketPC, Smartphone, Other };

PlatformType PlatformTypeFromName(std::u16string_view name);
// Asked once per process.
PlatformType CurrentPlatformType();
inline bool IsSmartphone() { return CurrentPlatformType() == PlatformType::Smartphone; }

}  // namespace skyvane::plugin
