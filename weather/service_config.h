// Where the weather service sends its requests: the two relay hosts, the
// weather feed host and the host of the online city search. Each is a host
// name or address with an optional ":port", kept as a string value under
// HKEY_CURRENT_USER\Software\Skyvane\Weather and read again before every
// request, so that a change applies to the next download without a restart.
// The compiled-in defaults name the feed simulator on loopback.
#pragma once

#include <string>
#include <string_view>

namespace skyvane::weather {

// The simulator's default address; every host defaults to it.
inline constexpr char16_t kDefaultServiceHost[] = u"127.0.0.1:8642";

// The registry key and value names of the hosts.
inline constexpr char16_t kServiceSettingsKey[] = u"Software\\Skyvane\\Weather";
inline constexpr char16_t kRelayHostAValue[] = u"RelayHostA";
inline constexpr char16_t kRelayHostBValue[] = u"RelayHostB";
inline constexpr char16_t kFeedHostValue[] = u"FeedHost";
inline constexpr char16_t kSearchHostValue[] = u"SearchHost";

struct ServiceHosts {
    std::u16string relayHostA = kDefaultServiceHost;
    std::u16string relayHostB = kDefaultServiceHost;
    std::u16string feedHost = kDefaultServiceHost;
    std::u16string searchHost = kDefaultServiceHost;
};

// The hosts as configured now. A missing value, a value of another type and
// an empty or blank string give the default; anything else is taken as it is
// (the request addresses are built by plain substitution).
ServiceHosts ReadServiceHosts();

}  // namespace skyvane::weather
