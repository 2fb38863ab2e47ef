#include "platform/connmgr/network_manager.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/connmgr/connmgr.h"

namespace skyvane::connmgr {
namespace {

constexpr char kService[] = "org.freedesktop.NetworkManager";
constexpr char kManagerPath[] = "/org/freedesktop/NetworkManager";
constexpr char kManagerInterface[] = "org.freedesktop.NetworkManager";
constexpr char kDeviceInterface[] = "org.freedesktop.NetworkManager.Device";

// NMState
constexpr uint32_t kStateUnknown = 0;
constexpr uint32_t kStateConnecting = 40;
constexpr uint32_t kStateConnectedLocal = 50;
constexpr uint32_t kStateConnectedSite = 60;
constexpr uint32_t kStateConnectedGlobal = 70;
// NMConnectivityState
constexpr uint32_t kConnectivityUnknown = 0;
constexpr uint32_t kConnectivityPortal = 2;
constexpr uint32_t kConnectivityLimited = 3;
constexpr uint32_t kConnectivityFull = 4;
// NMMetered
constexpr uint32_t kMeteredYes = 1;
constexpr uint32_t kMeteredGuessYes = 3;
// NMDeviceType
constexpr uint32_t kDeviceTypeWiFi = 2;

}  // namespace

bool NetworkManagerState::Metered() const {
    return metered == kMeteredYes || metered == kMeteredGuessYes;
}

bool NetworkManagerState::WiFiPrimary() const {
    return primaryType == "802-11-wireless";
}

bool NetworkManagerState::WiredPrimary() const {
    static constexpr std::array<std::string_view, 6> kWired = {"802-3-ethernet", "bridge", "bond",
                                                               "team",           "vlan",   "pppoe"};
    return std::find(kWired.begin(), kWired.end(), primaryType) != kWired.end();
}

DbusResult<NetworkManagerState> ReadNetworkManager(DbusConnection& bus) {
    auto properties = bus.GetAll(kService, kManagerPath, kManagerInterface);
    if (!properties) return DbusResult<NetworkManagerState>::Failed(properties.error);
    const DbusProperties& p = *properties.value;
    NetworkManagerState nm;
    nm.state = PropertyOr<uint32_t>(p, "State", kStateUnknown);
    nm.connectivity = PropertyOr<uint32_t>(p, "Connectivity", kConnectivityUnknown);
    nm.metered = PropertyOr<uint32_t>(p, "Metered", 0);
    nm.primaryType = PropertyOr<std::string>(p, "PrimaryConnectionType", "");
    nm.wirelessOn = PropertyOr(p, "WirelessEnabled", false) && PropertyOr(p, "WirelessHardwareEnabled", false);
    nm.devices = PropertyOr<std::vector<std::string>>(p, "Devices", {});
    return {std::move(nm), {}};
}

DbusResult<bool> HasWiFiDevice(DbusConnection& bus, const NetworkManagerState& nm) {
    for (const std::string& device : nm.devices) {
        auto type = bus.Get(kService, device.c_str(), kDeviceInterface, "DeviceType");
        if (!type) return DbusResult<bool>::Failed(type.error);
        const uint32_t* value = std::get_if<uint32_t>(&*type.value);
        if (value && *value == kDeviceTypeWiFi) return {true, {}};
    }
    return {false, {}};
}

DWORD InternetStatus(const NetworkManagerState& nm) {
    if (nm.connectivity == kConnectivityFull) return CONNMGR_STATUS_CONNECTED;
    if (nm.state == kStateConnecting) return CONNMGR_STATUS_WAITINGCONNECTION;
    if (nm.connectivity == kConnectivityPortal || nm.connectivity == kConnectivityLimited)
        return CONNMGR_STATUS_WAITINGFORPATH;
    // Without a connectivity check NetworkManager's state alone says whether
    // there is a default route.
    if (nm.connectivity == kConnectivityUnknown && nm.state == kStateConnectedGlobal) return CONNMGR_STATUS_CONNECTED;
    if (nm.state == kStateConnectedLocal || nm.state == kStateConnectedSite) return CONNMGR_STATUS_WAITINGFORPATH;
    // A daemon that cannot assess its own state: let the kernel's routes decide.
    if (nm.state == kStateUnknown) return CONNMGR_STATUS_UNKNOWN;
    return CONNMGR_STATUS_NOPATHTODESTINATION;
}

}  // namespace skyvane::connmgr
