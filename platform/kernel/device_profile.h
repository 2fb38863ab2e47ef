// The device profile: what this Linux machine pretends to be (screen, platform
// type, code page), and the system state values (cradle, Wi-Fi) kept up to
// date from Linux.
//
// The profile lives in HKEY_LOCAL_MACHINE "Software\Skyvane\Device"; change it
// with the registry editor. A missing, mistyped or zero value reads as its
// default, so reading never fails.
#pragma once

#include <string>

#include "platform/base/win_types.h"

namespace skyvane {

struct DeviceProfile {
    DWORD screenWidth = 240;                   // ScreenWidth (REG_DWORD)
    DWORD screenHeight = 320;                  // ScreenHeight (REG_DWORD)
    DWORD screenDpi = 96;                      // ScreenDpi (REG_DWORD)
    std::u16string platformType = u"PocketPC"; // PlatformType (REG_SZ): "PocketPC" or "Smartphone"
    UINT codePage = 1252;                      // CodePage (REG_DWORD)
};

inline constexpr const char16_t* kDeviceProfileKey = u"Software\\Skyvane\\Device";

// Read afresh at every call: a change with the registry editor shows at once.
DeviceProfile ReadDeviceProfile();

// What Linux says about the device's connections.
struct SystemState {
    bool wifiPresent = false;    // a wireless interface exists
    bool wifiConnected = false;  // ... and one of them is up
    bool cradled = false;        // mains power is online
};
// Reads the state from the system's kernel interfaces below systemRoot, the
// folder that stands for Linux's "/" ("/" itself on a real system; tests give
// a tree of their own): the network interfaces in sys/class/net and the power
// supplies in sys/class/power_supply.
SystemState ReadSystemState(const std::string& systemRoot = "/");

// Writes the state values into HKEY_LOCAL_MACHINE: "System\State\Hardware"
// `WiFi` (bit 0x2 a wireless interface is powered, 0x10 connected) and
// `Cradled` (0 or 1), as the platform's state notifications keep them, and the
// summary values `WiFiConnected` and `Cradled` (0 or 1) in "System\State".
// Values are written only when they changed. With SKYVANE_STATE_FIXED=1 in the
// environment nothing is written, so tests can set the values themselves.
void RefreshSystemState(const std::string& systemRoot = "/");
// Writes the given state as RefreshSystemState does, regardless of
// SKYVANE_STATE_FIXED.
void WriteSystemState(const SystemState& state);

}  // namespace skyvane
