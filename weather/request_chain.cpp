#include "weather/request_chain.h"

#include <string>

namespace skyvane::weather {

bool IsSendableCityCode(std::u16string_view cityCode) {
    for (char16_t c : cityCode)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

char16_t UnitLetter(LONG unitType) { return unitType == 2 ? u'm' : u's'; }

std::u16string InnerFeedAddress(std::u16string_view feedHost, std::u16string_view cityCode) {
    std::u16string address = u"http://";
    address += feedHost;
    address += u"/weather/local/";
    address += cityCode;
    address += u"?cc=*";
    return address;
}

namespace {

// The keys that every address ends with.
void AppendCommonKeys(std::u16string& address, LONG dayCount, LONG unitType) {
    address += u"&dayf=";
    std::string days = std::to_string(dayCount);
    address.append(days.begin(), days.end());
    address += u"&prod=xoap&par=";
    address += kPartnerId;
    address += u"&key=";
    address += kAccessKey;
    address += u"&unit=";
    address += UnitLetter(unitType);
}

}  // namespace

std::u16string RelayAddress(std::u16string_view relayHost, std::u16string_view feedHost,
                            const WeatherRequest& request) {
    std::u16string address = u"http://";
    address += relayHost;
    address += u"/wsi/wsiservices.aspx?url=";
    address += InnerFeedAddress(feedHost, request.cityCode);
    AppendCommonKeys(address, request.dayCount, request.unitType);
    return address;
}

std::u16string DirectAddress(std::u16string_view feedHost, const WeatherRequest& request) {
    std::u16string address = InnerFeedAddress(feedHost, request.cityCode);
    AppendCommonKeys(address, kDirectDayCount, request.unitType);
    address += u"&link=xoap";
    return address;
}

RequestChain BuildRequestChain(const ServiceHosts& hosts, const WeatherRequest& request) {
    std::u16string relayB = RelayAddress(hosts.relayHostB, hosts.feedHost, request);
    return {{
        {0, relayB},
        {200, relayB},
        {100, RelayAddress(hosts.relayHostA, hosts.feedHost, request)},
        {100, DirectAddress(hosts.feedHost, request)},
    }};
}

HRESULT RunRequestChain(const RequestChain& chain, const Downloader& download, const Waiter& wait,
                        std::u16string& text) {
    HRESULT hr = E_FAIL;
    for (const RequestAttempt& attempt : chain) {
        if (attempt.waitBefore) wait(attempt.waitBefore);
        text.clear();
        hr = download(attempt.address, text);
        if (SUCCEEDED(hr)) return S_OK;
    }
    text.clear();
    return hr;
}

}  // namespace skyvane::weather
