// The connection page: the destination choice, the proxy and whether new
// connections may be created, and its "Test" button, which runs an update of
// all cities with what was chosen and tells how it went.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/connection_policy.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

struct ConnectionOptions {
    int32_t choice = 1;                          // ConnectionGUID
    int32_t proxyFlags = kProxyFlagsAutoDetect;  // ProxyFlags
    std::u16string proxyServer;                  // ProxyServer
    int32_t proxyPort = 0;                       // ProxyPort
    std::u16string proxyUserName;                // ProxyUserName
    std::u16string proxyPassword;                // ProxyPassword
    bool allowCreateNewConnection = true;        // AllowCreateNewConection
};

ConnectionOptions ReadConnectionOptions(const SettingsKey& key);
void StoreConnectionOptions(SettingsKey& key, const ConnectionOptions& options);

// "Test": stores the options, and when connecting is allowed (the user may be
// asked) runs an update of all cities in this process. The message to show:
// "Connection is successful. Details: %s." or "Connection is failed.
// Details: %s." with the run's result text; empty when connecting was not
// allowed.
std::u16string TestConnection(const std::shared_ptr<SettingsKey>& key, ConnectionPolicy& connection,
                              const ConnectionOptions& options);

}  // namespace skyvane::plugin
