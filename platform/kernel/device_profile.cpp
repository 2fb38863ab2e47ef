#include "platform/kernel/device_profile.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/base/log.h"
#include "platform/connmgr/modem_manager.h"
#include "platform/connmgr/network_manager.h"
#include "platform/registry/registry.h"

namespace skyvane {
namespace {

constexpr WCHAR kStateKey[] = u"System\\State";
constexpr WCHAR kHardwareStateKey[] = u"System\\State\\Hardware";
constexpr WCHAR kPhoneStateKey[] = u"System\\State\\Phone";
constexpr DWORD kWiFiPoweredOn = 0x2;
constexpr DWORD kWiFiConnected = 0x10;
constexpr DWORD kPhoneRoaming = 0x200;

// Opens (or creates) a key of HKEY_LOCAL_MACHINE; an empty holder when it fails.
UniqueHkey OpenMachineKey(LPCWSTR path, bool create) {
    UniqueHkey key;
    LONG rc = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                       nullptr, key.out(), nullptr)
                     : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.out());
    if (rc != ERROR_SUCCESS) key.reset();
    return key;
}

std::u16string ReadText(HKEY key, LPCWSTR name, const std::u16string& fallback) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ || size < 2)
        return fallback;
    std::u16string text(size / sizeof(WCHAR), u'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return fallback;
    text.resize(size / sizeof(WCHAR));
    // Stored with or without its terminator; the text ends at the first NUL.
    if (size_t nul = text.find(u'\0'); nul != std::u16string::npos) text.resize(nul);
    return text.empty() ? fallback : text;
}

// The first line of a small sysfs attribute, without the line end.
std::string ReadAttribute(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    return line;
}

// A REG_DWORD value; 0 when it is missing or of another type or size.
DWORD ReadDword(HKEY key, LPCWSTR name) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

// A REG_DWORD value; anything else (missing, another type or size, zero) is the default.
DWORD ReadPositive(HKEY key, LPCWSTR name, DWORD fallback) {
    DWORD value = ReadDword(key, name);
    return value != 0 ? value : fallback;
}

void WriteDwordIfChanged(HKEY key, LPCWSTR name, DWORD value) {
    DWORD old = 0, type = 0, size = sizeof old;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof old && old == value)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The interfaces and power supplies of the kernel below systemRoot.
SystemState ReadKernelState(const std::string& systemRoot) {
    namespace fs = std::filesystem;
    const fs::path sysfs = fs::path(systemRoot) / "sys";
    SystemState state;
    std::error_code ec;
    for (fs::directory_iterator it(sysfs / "class/net", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!fs::exists(it->path() / "wireless", ec) && !fs::exists(it->path() / "phy80211", ec)) continue;
        state.wifiPresent = true;
        // "up" only; "dormant" and "unknown" are not a usable link.
        if (ReadAttribute(it->path() / "operstate") == "up") state.wifiConnected = true;
    }
    ec.clear();
    for (fs::directory_iterator it(sysfs / "class/power_supply", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (ReadAttribute(it->path() / "type") == "Mains" && ReadAttribute(it->path() / "online") == "1")
            state.cradled = true;
    }
    return state;
}

// Puts what NetworkManager says over what the kernel said.
void ApplyNetworkManager(connmgr::DbusConnection& bus, const connmgr::NetworkManagerState& nm, SystemState& state) {
    state.fromNetworkManager = true;
    state.metered = nm.Metered();
    auto wifiDevice = connmgr::HasWiFiDevice(bus, nm);
    if (!wifiDevice) SKYVANE_LOG("platform", "NetworkManager devices: %s", wifiDevice.error.c_str());
    state.wifiPresent = nm.wirelessOn && wifiDevice.value.value_or(state.wifiPresent);
    state.wifiConnected = !state.metered && nm.WiFiPrimary();
    state.cradled = !state.metered && (state.cradled || nm.WiredPrimary());
}

}  // namespace

DeviceProfile ReadDeviceProfile() {
    DeviceProfile profile;
    UniqueHkey key = OpenMachineKey(kDeviceProfileKey, false);
    if (!key) return profile;
    profile.screenWidth = ReadPositive(key.get(), u"ScreenWidth", profile.screenWidth);
    profile.screenHeight = ReadPositive(key.get(), u"ScreenHeight", profile.screenHeight);
    profile.screenDpi = ReadPositive(key.get(), u"ScreenDpi", profile.screenDpi);
    profile.platformType = ReadText(key.get(), u"PlatformType", profile.platformType);
    profile.codePage = ReadPositive(key.get(), u"CodePage", profile.codePage);
    return profile;
}

SystemState ReadSystemState(const std::string& systemRoot) {
    SystemState state = ReadKernelState(systemRoot);
    connmgr::DbusConnection bus;
    if (!bus.connected()) {
        SKYVANE_LOG("platform", "system state from the kernel only: %s", bus.error().c_str());
        return state;
    }
    if (auto nm = connmgr::ReadNetworkManager(bus))
        ApplyNetworkManager(bus, *nm.value, state);
    else
        SKYVANE_LOG("platform", "system state without NetworkManager: %s", nm.error.c_str());
    if (auto roaming = connmgr::ReadModemRoaming(bus))
        state.roaming = *roaming.value;
    else
        SKYVANE_LOG("platform", "system state without ModemManager: %s", roaming.error.c_str());
    return state;
}

void WriteSystemState(const SystemState& state) {
    if (UniqueHkey hardware = OpenMachineKey(kHardwareStateKey, true)) {
        DWORD wifi = (state.wifiPresent ? kWiFiPoweredOn : 0) | (state.wifiConnected ? kWiFiConnected : 0);
        WriteDwordIfChanged(hardware.get(), u"WiFi", wifi);
        WriteDwordIfChanged(hardware.get(), u"Cradled", state.cradled ? 1 : 0);
    }
    if (UniqueHkey phone = OpenMachineKey(kPhoneStateKey, true)) {
        DWORD status = ReadDword(phone.get(), u"Status");
        WriteDwordIfChanged(phone.get(), u"Status", state.roaming ? status | kPhoneRoaming : status & ~kPhoneRoaming);
    }
    if (UniqueHkey summary = OpenMachineKey(kStateKey, true)) {
        WriteDwordIfChanged(summary.get(), u"WiFiConnected", state.wifiConnected ? 1 : 0);
        WriteDwordIfChanged(summary.get(), u"Cradled", state.cradled ? 1 : 0);
    }
}

void RefreshSystemState(const std::string& systemRoot) {
    const char* fixed = std::getenv("SKYVANE_STATE_FIXED");
    if (fixed && std::strcmp(fixed, "1") == 0) return;
    SystemState state = ReadSystemState(systemRoot);
    SKYVANE_LOG("platform", "system state (%s): wifi %d/%d cradled %d roaming %d metered %d",
                state.fromNetworkManager ? "NetworkManager" : "kernel", state.wifiPresent, state.wifiConnected,
                state.cradled, state.roaming, state.metered);
    WriteSystemState(state);
}

NetworkStateValues ReadNetworkState(const std::string& systemRoot) {
    RefreshSystemState(systemRoot);
    NetworkStateValues values;
    if (UniqueHkey hardware = OpenMachineKey(kHardwareStateKey, false)) {
        values.cradled = ReadDword(hardware.get(), u"Cradled");
        values.wifi = ReadDword(hardware.get(), u"WiFi");
    }
    if (UniqueHkey phone = OpenMachineKey(kPhoneStateKey, false)) values.phoneStatus = ReadDword(phone.get(), u"Status");
    if (values.cradled != 0)
        values.code = kNetworkCradled;
    else if (values.wifi & kWiFiConnected)
        values.code = kNetworkWiFi;
    else if (values.phoneStatus & kPhoneRoaming)
        values.code = kNetworkRoaming;
    else
        values.code = kNetworkCellular;
    return values;
}

}  // namespace skyvane
