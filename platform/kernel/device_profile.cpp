#include "platform/kernel/device_profile.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/base/log.h"
#include "platform/registry/registry.h"

namespace skyvane {
namespace {

constexpr WCHAR kStateKey[] = u"System\\State";
constexpr WCHAR kHardwareStateKey[] = u"System\\State\\Hardware";
constexpr DWORD kWiFiPoweredOn = 0x2;
constexpr DWORD kWiFiConnected = 0x10;

// Opens (or creates) a key of HKEY_LOCAL_MACHINE; an empty holder when it fails.
UniqueHkey OpenMachineKey(LPCWSTR path, bool create) {
    UniqueHkey key;
    LONG rc = create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                       nullptr, key.out(), nullptr)
                     : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.out());
    if (rc != ERROR_SUCCESS) key.reset();
    return key;
}

// A REG_DWORD value; anything else (missing, another type or size, zero) is the default.
DWORD ReadPositive(HKEY key, LPCWSTR name, DWORD fallback) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value || value == 0)
        return fallback;
    return value;
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

void WriteDwordIfChanged(HKEY key, LPCWSTR name, DWORD value) {
    DWORD old = 0, type = 0, size = sizeof old;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof old && old == value)
        return;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
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

void WriteSystemState(const SystemState& state) {
    if (UniqueHkey hardware = OpenMachineKey(kHardwareStateKey, true)) {
        DWORD wifi = (state.wifiPresent ? kWiFiPoweredOn : 0) | (state.wifiConnected ? kWiFiConnected : 0);
        WriteDwordIfChanged(hardware.get(), u"WiFi", wifi);
        WriteDwordIfChanged(hardware.get(), u"Cradled", state.cradled ? 1 : 0);
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
    SKYVANE_LOG("platform", "system state: wifi %d/%d cradled %d", state.wifiPresent, state.wifiConnected,
                state.cradled);
    WriteSystemState(state);
}

}  // namespace skyvane
