// The network state of the device, as the update schedule sees it: cradled,
// on Wi-Fi, roaming or on the cellular network, read afresh from the system
// state values of HKEY_LOCAL_MACHINE each time it is asked for.
#pragma once

#include <cstdint>
#include <string>

namespace skyvane::plugin {

inline constexpr int32_t kStateCellular = 0;
inline constexpr int32_t kStateRoaming = 1;
inline constexpr int32_t kStateWiFi = 2;
inline constexpr int32_t kStateCradled = 4;

// The first that applies: "System\State\Hardware" `Cradled` non-zero (4),
// its `WiFi` with bit 0x10 (2), "System\State\Phone" `Status` with bit
// 0x200 (1), else cellular (0).
int32_t ReadNetworkState();

// "Cradled", "WiFi", "Roaming", "GSM" in the current language; empty for a
// code that names no state.
std::u16string NetworkStateName(int32_t state);

}  // namespace skyvane::plugin
