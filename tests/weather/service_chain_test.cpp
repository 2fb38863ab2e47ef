// The weather request: the relay and direct addresses, the four attempts and
// their waits, first on their own and then through KWeatherService against
// feed simulators whose fault switches make chosen attempts fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/com/runtime.h"
#include "platform/msxml/msxml.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/win_time.h"
#include "test_util/test_util.h"
#include "weather/kweather_service.h"
#include "weather/request_chain.h"
#include "servers/scripted_server.h"
#include "weather/service_feedsim.h"
#include "weather/weather_info.h"

using skyvane::weather::KWeatherService;
using skyvane::Bstr;
using skyvane::ComPtr;
using skyvane::test::FeedSim;

namespace {

const BSTR kSentinel = reinterpret_cast<BSTR>(uintptr_t(0xdeadbeef));
constexpr char kKeys[] = "&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458";

std::string Utf8(const std::u16string& s) { return skyvane::ToUtf8(s); }

std::u16string ErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return u"<no error info>";
    Bstr text;
    info->GetDescription(text.Out());
    return text.Str();
}

// ---------------------------------------------------------------------------
// The addresses and the chain on their own.

// The addresses are plain substitutions, nothing escaped: the relay form
// names the whole feed address and asks the requested days; the direct form
// always asks five days and adds "&link=xoap"; only unit type 2 asks metric
// units.
TEST(RequestAddresses, AreWrittenOutAsTheServiceExpectsThem) {
    using skyvane::weather::WeatherRequest;
    const struct {
        const char16_t* relay;  // NULL: the direct address
        const char16_t* feed;
        WeatherRequest request;
        const char* expected;
    } cases[] = {
        {u"relay-b.example:8081", u"feed.example:8082", {u"RSXX0091", 10, 2},
         "http://relay-b.example:8081/wsi/wsiservices.aspx?url=http://feed.example:8082/weather/local/RSXX0091?cc=*"
         "&dayf=10&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458&unit=m"},
        {u"r", u"f", {u"AB C&D=1", -3, 2},
         "http://r/wsi/wsiservices.aspx?url=http://f/weather/local/AB C&D=1?cc=*&dayf=-3&prod=xoap&par=5820417369"
         "&key=3fa91c6e0b7d2458&unit=m"},
        {u"r", u"f", {u"RSXX0091", 7, 1},
         "http://r/wsi/wsiservices.aspx?url=http://f/weather/local/RSXX0091?cc=*&dayf=7&prod=xoap&par=5820417369"
         "&key=3fa91c6e0b7d2458&unit=s"},
        {nullptr, u"feed.example", {u"USNY0996", 10, 1},
         "http://feed.example/weather/local/USNY0996?cc=*&dayf=5&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458"
         "&unit=s&link=xoap"},
        {nullptr, u"f", {u"USNY0996", -4, 2},
         "http://f/weather/local/USNY0996?cc=*&dayf=5&prod=xoap&par=5820417369&key=3fa91c6e0b7d2458&unit=m&link=xoap"},
    };
    for (const auto& c : cases) {
        std::u16string address = c.relay ? skyvane::weather::RelayAddress(c.relay, c.feed, c.request)
                                         : skyvane::weather::DirectAddress(c.feed, c.request);
        EXPECT_EQ(Utf8(address), c.expected);
    }
    for (LONG unit : {0, 1, 3, -1, 0x7FFFFFFF}) EXPECT_EQ(skyvane::weather::UnitLetter(unit), u's') << unit;
    EXPECT_EQ(skyvane::weather::UnitLetter(2), u'm');
}

TEST(RequestAddresses, CodesWithControlCharactersCannotBeSent) {
    EXPECT_TRUE(skyvane::weather::IsSendableCityCode(u"RSXX0091"));
    EXPECT_TRUE(skyvane::weather::IsSendableCityCode(u"AB C&D=\u00e9"));
    EXPECT_TRUE(skyvane::weather::IsSendableCityCode(u""));
    for (const char16_t* code : {u"RSXX0091\r\nX-Injected: 1", u"A\tB", u"A\nB", u"\x7f"})
        EXPECT_FALSE(skyvane::weather::IsSendableCityCode(code)) << Utf8(code);
}

TEST(RequestChain, RelayBTwiceThenRelayAThenTheFeedWithTheirWaits) {
    skyvane::weather::ServiceHosts hosts;
    hosts.relayHostA = u"a";
    hosts.relayHostB = u"b";
    hosts.feedHost = u"f";
    auto chain = skyvane::weather::BuildRequestChain(hosts, {u"RSXX0091", 10, 2});
    const std::string relay = "/wsi/wsiservices.aspx?url=http://f/weather/local/RSXX0091?cc=*&dayf=10" +
                              std::string(kKeys) + "&unit=m";
    const std::pair<DWORD, std::string> expected[] = {
        {0, "http://b" + relay},
        {200, "http://b" + relay},
        {100, "http://a" + relay},
        {100, "http://f/weather/local/RSXX0091?cc=*&dayf=5" + std::string(kKeys) + "&unit=m&link=xoap"},
    };
    for (size_t i = 0; i < chain.size(); ++i) {
        EXPECT_EQ(chain[i].waitBefore, expected[i].first) << i;
        EXPECT_EQ(Utf8(chain[i].address), expected[i].second) << i;
    }
}

// Runs a chain of four named attempts where the first `failures` fail.
struct ChainRun {
    HRESULT hr;
    std::u16string text;
    std::vector<std::string> events;  // "get N" and "wait MS" in order
};

ChainRun RunWithFailures(int failures) {
    skyvane::weather::RequestChain chain{{{0, u"1"}, {200, u"2"}, {100, u"3"}, {100, u"4"}}};
    ChainRun run;
    run.text = u"stale";
    run.hr = skyvane::weather::RunRequestChain(
        chain,
        [&](const std::u16string& address, std::u16string& text) -> HRESULT {
            run.events.push_back("get " + Utf8(address));
            int n = std::stoi(Utf8(address));
            if (n <= failures) {
                text = u"partial";  // a failed download's text must not leak out
                return n == 4 ? HRESULT(0x80070057u) : E_FAIL;
            }
            text = u"<answer " + address + u"/>";
            return S_OK;
        },
        [&](DWORD ms) { run.events.push_back("wait " + std::to_string(ms)); }, run.text);
    return run;
}

TEST(RequestChain, StopsAtTheFirstSuccess) {
    ChainRun first = RunWithFailures(0);
    EXPECT_EQ(first.hr, S_OK);
    EXPECT_EQ(first.text, u"<answer 1/>");
    EXPECT_EQ(first.events, (std::vector<std::string>{"get 1"}));

    ChainRun second = RunWithFailures(1);
    EXPECT_EQ(second.hr, S_OK);
    EXPECT_EQ(second.text, u"<answer 2/>");
    EXPECT_EQ(second.events, (std::vector<std::string>{"get 1", "wait 200", "get 2"}));
}

TEST(RequestChain, AllFourFailingGiveTheLastResultAndNoText) {
    ChainRun run = RunWithFailures(4);
    EXPECT_EQ(run.hr, HRESULT(0x80070057u));
    EXPECT_TRUE(run.text.empty());
    EXPECT_EQ(run.events, (std::vector<std::string>{"get 1", "wait 200", "get 2", "wait 100", "get 3", "wait 100",
                                                    "get 4"}));
}

// ---------------------------------------------------------------------------
// The service against simulators. Each test has its own device root (and so
// its own host configuration) and a frozen test clock: the waits between
// attempts then move the clock by exactly their length and nothing else does.

class ServiceChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_TRUE(skyvane::testclock::Enable(root_.path() + "/clock"));
        ASSERT_TRUE(skyvane::testclock::Freeze(true));
        ASSERT_EQ(KWeatherService::CreateObject(service_), S_OK);
        records_ = skyvane::weather::LiveWeatherInfoCount();
        dom_ = skyvane::LiveDomObjectCount();
        bstrs_ = skyvane::LiveBstrCount();
    }
    void TearDown() override {
        service_.Reset();
        SetErrorInfo(0, nullptr);  // the error object holds texts of its own
        EXPECT_EQ(skyvane::weather::LiveWeatherInfoCount(), records_) << "records leaked";
        EXPECT_EQ(skyvane::LiveDomObjectCount(), dom_) << "DOM objects leaked";
        EXPECT_EQ(skyvane::LiveBstrCount(), bstrs_) << "BSTRs leaked";
        skyvane::testclock::Disable();
        CoUninitialize();
    }

    // The target a relay request arrives with, for the feed at feedHost.
    static std::string RelayTarget(const std::string& feedHost, int days, char unit) {
        return "/wsi/wsiservices.aspx?url=http://" + feedHost + "/weather/local/RSXX0091?cc=*&dayf=" +
               std::to_string(days) + kKeys + "&unit=" + unit;
    }
    static std::string DirectTarget(char unit) {
        return std::string("/weather/local/RSXX0091?cc=*&dayf=5") + kKeys + "&unit=" + unit + "&link=xoap";
    }

    // WeatherAsXML with a sentinel in the out slot, which must be replaced.
    HRESULT FetchXml(Bstr& xml, DWORD& waited) {
        BSTR raw = kSentinel;
        DWORD before = GetTickCount();
        HRESULT hr = service_->get_WeatherAsXML(&raw);
        waited = GetTickCount() - before;
        EXPECT_NE(raw, kSentinel);
        xml = Bstr::Attach(raw == kSentinel ? nullptr : raw);
        return hr;
    }

    skyvane::test::ScopedDeviceRoot root_;
    ComPtr<KWeatherService> service_;
    long records_ = 0, dom_ = 0, bstrs_ = 0;
};

TEST_F(ServiceChainTest, SuccessOnTheSecondTryAsksNobodyElse) {
    FeedSim relayA, relayB, feed;
    relayB.Switch("refuse", 1);
    skyvane::test::SetServiceHosts(relayA.host16(), relayB.host16(), feed.host16(), {});
    ASSERT_EQ(service_->put_RequestDayCount(10), S_OK);

    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK) << Utf8(ErrorDescription());
    EXPECT_NE(xml.Str().find(u"<loc id=\"RSXX0091\">"), std::u16string::npos);
    EXPECT_EQ(xml.View().substr(0, 1), u"<") << "the encoding declaration and anything before < are removed";
    EXPECT_EQ(waited, 200u);
    std::string relay = RelayTarget(feed.host(), 10, 'm');
    EXPECT_EQ(relayB.Targets(), (std::vector<std::string>{relay, relay}));
    EXPECT_TRUE(relayA.Targets().empty());
    EXPECT_TRUE(feed.Targets().empty());
}

TEST_F(ServiceChainTest, RelayAIsTheThirdAttempt) {
    FeedSim relayA, relayB({"--fail", "auth"}), feed;  // an HTTP error status counts as a failure
    skyvane::test::SetServiceHosts(relayA.host16(), relayB.host16(), feed.host16(), {});
    ASSERT_EQ(service_->put_RequestUnitType(KWImperial), S_OK);

    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK) << Utf8(ErrorDescription());
    EXPECT_EQ(waited, 300u);
    std::string relay = RelayTarget(feed.host(), 7, 's');
    EXPECT_EQ(relayB.Targets(), (std::vector<std::string>{relay, relay}));
    EXPECT_EQ(relayA.Targets(), (std::vector<std::string>{relay}));
    EXPECT_TRUE(feed.Targets().empty());
}

TEST_F(ServiceChainTest, TheFeedIsAskedDirectlyForFiveDaysWhenBothRelaysFail) {
    FeedSim feed;
    skyvane::test::SetServiceHosts(skyvane::test::RefusingHost(), skyvane::test::RefusingHost(), feed.host16(),
                                   {});
    ASSERT_EQ(service_->put_RequestDayCount(10), S_OK);
    ASSERT_EQ(service_->put_RequestUnitType(KWeatherUnitType(3)), S_OK);

    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK) << Utf8(ErrorDescription());
    EXPECT_EQ(waited, 400u);
    EXPECT_EQ(feed.Targets(), (std::vector<std::string>{DirectTarget('s')}));
    Bstr info;
    ASSERT_EQ(service_->get_LastRequestInfo(info.Out()), S_OK);
    EXPECT_TRUE(std::regex_match(Utf8(info.Str()),
                                 std::regex("time=\\d+ ms, download size=\\d+ bytes unpacked=\\d+ bytes")))
        << Utf8(info.Str());
}

TEST_F(ServiceChainTest, FourFailuresReturnTheLastFailureWithItsDescription) {
    FeedSim everyone({"--fail", "refuse"});
    skyvane::test::SetServiceHosts(everyone.host16(), everyone.host16(), everyone.host16(), {});

    Bstr xml;
    DWORD waited = 0;
    HRESULT hr = FetchXml(xml, waited);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(xml.get(), nullptr);
    EXPECT_EQ(Utf8(ErrorDescription()).rfind("Weather update failed.", 0), 0u);
    EXPECT_EQ(waited, 400u);
    std::string relay = RelayTarget(everyone.host(), 7, 'm');
    EXPECT_EQ(everyone.Targets(), (std::vector<std::string>{relay, relay, relay, DirectTarget('m')}));

    Bstr info;
    ASSERT_EQ(service_->get_LastRequestInfo(info.Out()), S_OK);
    EXPECT_EQ(info.Str(), u"none");

    ComPtr<IUnknown> records;
    EXPECT_EQ(service_->get_Weather(&records), hr);
    EXPECT_FALSE(records);
}

TEST_F(ServiceChainTest, AnErrDocumentEndsTheChainAndFailsInTheReader) {
    FeedSim relayA, relayB({"--fail", "err"}), feed;
    skyvane::test::SetServiceHosts(relayA.host16(), relayB.host16(), feed.host16(), {});

    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK);
    EXPECT_NE(xml.Str().find(u"<err type=\"2\">Invalid location</err>"), std::u16string::npos);
    EXPECT_EQ(waited, 0u);
    EXPECT_EQ(relayB.Targets().size(), 1u);
    EXPECT_TRUE(relayA.Targets().empty());
    EXPECT_TRUE(feed.Targets().empty());

    ComPtr<IUnknown> document;
    EXPECT_EQ(service_->get_WeatherAsDocument(xml, &document), E_FAIL);
    EXPECT_FALSE(document);
    EXPECT_EQ(ErrorDescription(), u"Weather service returned error. Error is Invalid location2");

    ComPtr<IUnknown> records;
    EXPECT_EQ(service_->get_Weather(&records), E_FAIL);
    EXPECT_FALSE(records);
    EXPECT_EQ(ErrorDescription(), u"Weather service returned error. Error is Invalid location2");
}

TEST_F(ServiceChainTest, WeatherReadsGzippedChunkedAnswersIntoRecords) {
    FeedSim sim({"--fail", "gzip,chunked"});
    skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), {});
    ASSERT_EQ(service_->put_RequestDayCount(3), S_OK);

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(service_->get_Weather(&unknown), S_OK) << Utf8(ErrorDescription());
    ComPtr<IEnumUnknown> records;
    ASSERT_EQ(unknown.As(records), S_OK);
    std::vector<KWeatherType> types;
    for (ComPtr<IUnknown> item; records->Next(1, &item, nullptr) == S_OK;) {
        ComPtr<IKWeatherInfo> info;
        ASSERT_EQ(item.As(info), S_OK);
        KWeatherType type = KWUnknown;
        ASSERT_EQ(info->get_Type(&type), S_OK);
        types.push_back(type);
    }
    // A relay answer for three days: the local record, current conditions,
    // three day and night pairs, and the hourly and archive blocks after them.
    ASSERT_GE(types.size(), 8u);
    EXPECT_EQ(std::count(types.begin(), types.end(), KWDay), 3);
    EXPECT_EQ(std::count(types.begin(), types.end(), KWNight), 3);
    EXPECT_EQ(std::count(types.begin(), types.end(), KWCurrent), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), KWLocal), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), KWMap), 3);
    EXPECT_EQ(sim.Targets().size(), 1u);
}

TEST_F(ServiceChainTest, AnEmptyAnswerIsASuccessWithoutTextAndFailsWeather) {
    skyvane::test::ScriptedServer relayB;
    const std::string empty = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 0\r\n\r\n";
    relayB.Add(empty);
    relayB.Add(empty);
    std::u16string host = u"127.0.0.1:" + skyvane::FromUtf8(std::to_string(relayB.port()));
    std::u16string nowhere = skyvane::test::RefusingHost();
    skyvane::test::SetServiceHosts(nowhere, host, nowhere, {});

    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK);
    EXPECT_EQ(xml.get(), nullptr) << "an empty answer is handed out as a null text";
    ComPtr<IUnknown> records;
    EXPECT_EQ(service_->get_Weather(&records), E_FAIL);
    EXPECT_FALSE(records);
    EXPECT_EQ(Utf8(ErrorDescription()).rfind("Weather service returned wrong XML response. Error is ", 0), 0u);
    // The exact request: the relay address with the feed named inside it.
    auto requests = relayB.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].bytes.substr(0, requests[0].bytes.find("\r\n")),
              "GET " + RelayTarget(Utf8(nowhere), 7, 'm') + " HTTP/1.0");
}

TEST_F(ServiceChainTest, HostsAreReadAgainForEveryRequest) {
    FeedSim first, second;
    skyvane::test::SetServiceHosts(first.host16(), first.host16(), first.host16(), {});
    Bstr xml;
    DWORD waited = 0;
    ASSERT_EQ(FetchXml(xml, waited), S_OK);
    skyvane::test::SetServiceHosts(second.host16(), second.host16(), second.host16(), {});
    ASSERT_EQ(FetchXml(xml, waited), S_OK);
    EXPECT_EQ(first.Targets().size(), 1u);
    EXPECT_EQ(second.Targets().size(), 1u);
}

TEST_F(ServiceChainTest, ACodeWithALineBreakIsRefusedWithoutARequest) {
    FeedSim sim;
    skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), {});
    ASSERT_EQ(service_->put_RequestCityCode(Bstr(u"RSXX0091 HTTP/1.0\r\nX-Injected: 1\r\n")), S_OK);
    Bstr xml;
    DWORD waited = 0;
    EXPECT_EQ(FetchXml(xml, waited), E_INVALIDARG);
    EXPECT_EQ(xml.get(), nullptr);
    EXPECT_EQ(ErrorDescription(), u"The city code holds characters that cannot be sent");
    EXPECT_TRUE(sim.Targets().empty());
}

TEST_F(ServiceChainTest, HourByHourMakesNoRequest) {
    FeedSim sim;
    skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
    BSTR text = kSentinel;
    EXPECT_EQ(service_->get_HBHWeatherAsXML(24, nullptr, &text), S_FALSE);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(service_->get_HBHWeatherAsXML(24, nullptr, nullptr), E_POINTER);
    EXPECT_TRUE(sim.Targets().empty());
}

}  // namespace
