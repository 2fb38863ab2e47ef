// What NetworkManager says about the machine's connection, read from its main
// object on the system bus (org.freedesktop.NetworkManager).
#pragma once

#include <string>
#include <vector>

#include "platform/base/win_types.h"
#include "platform/connmgr/dbus_connection.h"

namespace skyvane::connmgr {

struct NetworkManagerState {
    uint32_t state = 0;         // State: NMState (40 connecting, 70 connected with a default route)
    uint32_t connectivity = 0;  // Connectivity: NMConnectivityState (0 unknown, 1 none, 2 portal, 3 limited, 4 full)
    uint32_t metered = 0;       // Metered: NMMetered of the primary connection (0 unknown, 1 yes, 2 no, 3 guess yes, 4 guess no)
    std::string primaryType;    // PrimaryConnectionType: "802-11-wireless", "802-3-ethernet", "gsm"...; empty for none
    bool wirelessOn = false;    // WirelessEnabled and WirelessHardwareEnabled: the Wi-Fi radios may be on
    std::vector<std::string> devices;  // Devices: the object paths of the devices it knows

    // The connection costs money: NetworkManager knows or guesses it is metered
    // (it guesses so for mobile broadband, Bluetooth tethering and phone hotspots).
    bool Metered() const;
    // The primary connection, the one with the default route, goes over Wi-Fi.
    bool WiFiPrimary() const;
    // ... over a wire (Ethernet, or a bridge, bond, team or VLAN over it, or PPPoE).
    bool WiredPrimary() const;
};

// The main object's properties; fails when NetworkManager does not run, does
// not answer within the bus time-out, or answers something unreadable.
DbusResult<NetworkManagerState> ReadNetworkManager(DbusConnection& bus);

// Whether one of the devices is a Wi-Fi device (DeviceType 2).
DbusResult<bool> HasWiFiDevice(DbusConnection& bus, const NetworkManagerState& nm);

// The Connection Manager status of a path to the Internet:
// CONNMGR_STATUS_CONNECTED when NetworkManager reports full connectivity, or
// reports its check unknown (switched off or not yet run) while connected with
// a default route; CONNMGR_STATUS_WAITINGCONNECTION while it is connecting;
// CONNMGR_STATUS_WAITINGFORPATH behind a captive portal, with limited
// connectivity, or with a network but no default route;
// CONNMGR_STATUS_NOPATHTODESTINATION when nothing is connected;
// CONNMGR_STATUS_UNKNOWN when NetworkManager cannot tell its own state.
DWORD InternetStatus(const NetworkManagerState& nm);

}  // namespace skyvane::connmgr
