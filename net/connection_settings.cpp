#include "net/connection_settings.h"

#include <memory>
#include <vector>

#include "net/basic_auth.h"
#include "net/http_client.h"

namespace skyvane::net {
namespace {
constexpr DWORD kMaxStringBytes = 10000;
}  // namespace

RegistryKey::~RegistryKey() {
    if (key_) RegCloseKey(key_);
}

bool RegistryKey::Open() {
    if (!tried_) {
        tried_ = true;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    return key_ != nullptr;
}

DWORD RegistryKey::ReadDword(const WCHAR* name, DWORD defaultValue) {
    if (!Open()) return defaultValue;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return defaultValue;
    return value;
}

std::u16string RegistryKey::ReadString(const WCHAR* name, std::u16string_view defaultValue) {
    std::u16string result(defaultValue);
    if (!Open()) return result;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size > kMaxStringBytes)
        return result;
    std::vector<WCHAR> data(size / sizeof(WCHAR) + 1, 0);
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return result;
    data[size / sizeof(WCHAR)] = 0;
    return std::u16string(data.data());  // up to the terminator
}

ConnectionSettings ReadConnectionSettings() {
    ConnectionSettings settings;
    RegistryKey key;
    settings.proxyFlags = key.ReadDword(u"ProxyFlags", 0);
    if (settings.proxyFlags == 0) return settings;
    DWORD guid = key.ReadDword(u"ConnectionGUID", 5);
    DWORD iteration = key.ReadDword(u"ConnectionIteration", 1);
    // These two pairs name connections that never use the proxy.
    if ((guid == 0 && iteration == 2) || (guid == 5 && iteration == 1)) return settings;
    settings.proxyServer = key.ReadString(u"ProxyServer", u"");
    if (settings.proxyServer.empty()) return settings;
    settings.proxyPort = static_cast<uint16_t>(key.ReadDword(u"ProxyPort", 0) & 0xFFFF);
    settings.password = key.ReadString(u"ProxyPassword", u"");
    settings.userName = key.ReadString(u"ProxyUserName", u"");
    settings.useProxy = true;
    return settings;
}

void ApplyConnectionSettings(HttpClient& client, const ConnectionSettings& settings) {
    if (!settings.useProxy) return;
    client.SetProxy(settings.proxyServer, settings.proxyPort);
    client.AddAuthenticator(u"basic", std::make_unique<BasicAuthenticator>(settings.proxyFlags, settings.userName,
                                                                          settings.password));
}

}  // namespace skyvane::net
