#include "weather/service_config.h"

#include "net/connection_settings.h"

namespace skyvane::weather {
namespace {

// An empty host would give an address without a host ("http:///wsi/..."),
// which no request can reach: such a value counts as not set.
std::u16string ReadHost(skyvane::net::RegistryKey& key, const char16_t* name) {
    std::u16string value = key.ReadString(name, kDefaultServiceHost);
    if (value.find_first_not_of(u" \t") == std::u16string::npos) return kDefaultServiceHost;
    return value;
}

}  // namespace

ServiceHosts ReadServiceHosts() {
    // The key is opened once for the four reads; RegistryKey reads the
    // settings key of the connection settings, which is this same key.
    skyvane::net::RegistryKey key;
    ServiceHosts hosts;
    hosts.relayHostA = ReadHost(key, kRelayHostAValue);
    hosts.relayHostB = ReadHost(key, kRelayHostBValue);
    hosts.feedHost = ReadHost(key, kFeedHostValue);
    hosts.searchHost = ReadHost(key, kSearchHostValue);
    return hosts;
}

}  // namespace skyvane::weather
