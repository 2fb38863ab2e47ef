// The weather request: the relay and direct addresses of one city, and the
// chain of four attempts that the service makes until one download succeeds.
// Kept apart from the COM object so that the addresses and the order of
// attempts can be checked without a network.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"
#include "weather/service_config.h"

namespace skyvane::weather {

// Fixed for this build: the partner identifier ("par") and the access key
// ("key") that the relays and the feed expect.
inline constexpr char16_t kPartnerId[] = u"5820417369";
inline constexpr char16_t kAccessKey[] = u"3fa91c6e0b7d2458";
// The direct address always asks this many days.
inline constexpr LONG kDirectDayCount = 5;

// What one request asks for.
struct WeatherRequest {
    std::u16string cityCode;
    LONG dayCount = 7;
    LONG unitType = 2;
};

// False when the city code holds a control character (CR, LF, TAB, ...).
// Codes are inserted into the addresses unescaped, and the relay address
// carries the code in its query text, which goes into the request line as it
// is: a line break there would end the request line and start header lines
// of the code's making. Such a code is refused before any request.
bool IsSendableCityCode(std::u16string_view cityCode);

// "m" for metric units (unit type 2), "s" for the service's standard units
// (every other value).
char16_t UnitLetter(LONG unitType);

// http://FEED/weather/local/CODE?cc=* : the feed address that a relay is
// asked to fetch. Nothing is escaped.
std::u16string InnerFeedAddress(std::u16string_view feedHost, std::u16string_view cityCode);
// http://RELAY/wsi/wsiservices.aspx?url=<inner>&dayf=N&prod=xoap&par=..&key=..&unit=L
std::u16string RelayAddress(std::u16string_view relayHost, std::u16string_view feedHost,
                            const WeatherRequest& request);
// http://FEED/weather/local/CODE?cc=*&dayf=5&prod=xoap&par=..&key=..&unit=L&link=xoap
std::u16string DirectAddress(std::u16string_view feedHost, const WeatherRequest& request);

struct RequestAttempt {
    DWORD waitBefore = 0;  // milliseconds to wait before this attempt
    std::u16string address;
};
using RequestChain = std::array<RequestAttempt, 4>;

// Relay host B, relay host B again after 200 ms, relay host A after 100 ms,
// and the feed host directly after another 100 ms.
RequestChain BuildRequestChain(const ServiceHosts& hosts, const WeatherRequest& request);

// One download: the text of the answer on success. Any failure counts alike;
// its description is already in the thread's error object.
using Downloader = std::function<HRESULT(const std::u16string& address, std::u16string& text)>;
using Waiter = std::function<void(DWORD milliseconds)>;

// Runs the attempts in order and stops at the first download that succeeds;
// the content of the answer is not looked at. Returns S_OK with its text, or
// the result of the last attempt when all four fail (text left empty).
HRESULT RunRequestChain(const RequestChain& chain, const Downloader& download, const Waiter& wait,
                        std::u16string& text);

}  // namespace skyvane::weather
