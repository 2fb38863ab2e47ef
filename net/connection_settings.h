// The device's connection settings as the weather service library reads them
// before every download: whether requests go through an HTTP proxy, and with
// which credentials.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"
#include "platform/base/win_types.h"

namespace skyvane::net {

class HttpClient;

// Read access to HKEY_CURRENT_USER\Software\Skyvane\Weather, opened on the
// first read. Reads never fail: a missing key or value, another type or an
// oversized value gives the default.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // A REG_DWORD of exactly 4 bytes.
    DWORD ReadDword(const WCHAR* name, DWORD defaultValue);
    // A REG_SZ of at most 10000 bytes.
    std::u16string ReadString(const WCHAR* name, std::u16string_view defaultValue);

private:
    bool Open();
    HKEY key_ = nullptr;
    bool tried_ = false;
};

struct ConnectionSettings {
    bool useProxy = false;
    DWORD proxyFlags = 0;
    std::u16string proxyServer;
    uint16_t proxyPort = 0;
    std::u16string userName;
    std::u16string password;
};

// The settings as they are now. A proxy applies when "ProxyFlags" is not 0,
// the pair "ConnectionGUID"/"ConnectionIteration" is neither 0/2 nor 5/1, and
// "ProxyServer" is not empty.
ConnectionSettings ReadConnectionSettings();
// Applies the settings to a new client: the proxy, and a Basic authenticator
// under "basic" holding the proxy credentials.
void ApplyConnectionSettings(HttpClient& client, const ConnectionSettings& settings);
inline void ReadConnectionSettings(HttpClient& client) { ApplyConnectionSettings(client, ReadConnectionSettings()); }

}  // namespace skyvane::net
