// The device profile: what this Linux machine pretends to be (screen, platform
// type, code page), and the system state values (cradle, Wi-Fi, roaming) kept
// up to date from Linux.
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

// What Linux says about the device's connections, as the handheld's state
// values would put it. A connection that costs money (metered) is neither
// Wi-Fi nor cradled, whatever its medium.
struct SystemState {
    bool wifiPresent = false;    // a Wi-Fi device exists (with NetworkManager: and its radio may be on)
    bool wifiConnected = false;  // the network is reached over Wi-Fi at no cost
    bool cradled = false;        // mains power is online or the network is reached over a wire, at no cost
    bool roaming = false;        // a modem is registered on a visited network (ModemManager)
    bool metered = false;        // NetworkManager says the connection is metered
    bool fromNetworkManager = false;  // NetworkManager answered; else the kernel's interfaces were read
};
// Reads the state. When NetworkManager runs (on the bus that
// SKYVANE_DBUS_ADDRESS names, else the system bus) its primary connection
// decides: Wi-Fi connected for a Wi-Fi one, cradled for a wired one, neither
// when it is metered (Metered yes or guess-yes). Without NetworkManager a
// wireless interface that is up counts as Wi-Fi connected. Mains power comes
// from the kernel in both cases, and roaming from ModemManager when it runs.
// The kernel's interfaces are read below systemRoot, the folder that stands
// for Linux's "/" ("/" itself on a real system; tests give a tree of their
// own): the network interfaces in sys/class/net and the power supplies in
// sys/class/power_supply. No step waits longer than a second for a service.
SystemState ReadSystemState(const std::string& systemRoot = "/");

// Writes the state values into HKEY_LOCAL_MACHINE: "System\State\Hardware"
// `WiFi` (bit 0x2 a Wi-Fi device is powered, 0x10 connected) and `Cradled`
// (0 or 1), "System\State\Phone" `Status` (bit 0x200 roaming; its other bits
// are kept), as the platform's state notifications keep them, and the summary
// values `WiFiConnected` and `Cradled` (0 or 1) in "System\State". Values are
// written only when they changed. With SKYVANE_STATE_FIXED=1 in the
// environment nothing is written, so tests can set the values themselves.
void RefreshSystemState(const std::string& systemRoot = "/");
// Writes the given state as RefreshSystemState does, regardless of
// SKYVANE_STATE_FIXED.
void WriteSystemState(const SystemState& state);

// The network state codes of the update scheduler.
enum NetworkStateCode : DWORD {
    kNetworkCellular = 0,
    kNetworkRoaming = 1,
    kNetworkWiFi = 2,
    kNetworkCradled = 4,
};
// Everything the update scheduler needs to know about the network: the
// state values as stored, and the code they give.
struct NetworkStateValues {
    DWORD cradled = 0;      // "System\State\Hardware" `Cradled`
    DWORD wifi = 0;         // "System\State\Hardware" `WiFi`
    DWORD phoneStatus = 0;  // "System\State\Phone" `Status`
    // The first that applies: kNetworkCradled when `Cradled` is not 0,
    // kNetworkWiFi when `WiFi` has bit 0x10, kNetworkRoaming when `Status` has
    // bit 0x200, else kNetworkCellular.
    NetworkStateCode code = kNetworkCellular;
};
// Refreshes the state values from Linux (RefreshSystemState; nothing with
// SKYVANE_STATE_FIXED=1) and reads them back from the registry; a missing or
// mistyped value reads as 0. Takes at most a few seconds when the network
// services stop answering, milliseconds otherwise.
NetworkStateValues ReadNetworkState(const std::string& systemRoot = "/");

}  // namespace skyvane
