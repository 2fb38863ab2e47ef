// KWeatherService's members at their boundary: the request settings and
// their rules, out-pointers, the error object of each failure, ClassPtr, the
// city directory reached through the service and the online city search
// against the feed simulator.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/com/runtime.h"
#include "platform/com/guid.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/test_util.h"
#include "weather/kweather_city.h"
#include "weather/kweather_service.h"
#include "weather/service_config.h"
#include "weather/service_feedsim.h"

using skyvane::weather::KWeatherService;
using skyvane::Bstr;
using skyvane::ComPtr;

namespace {

const BSTR kSentinel = reinterpret_cast<BSTR>(uintptr_t(0xdeadbeef));

struct ErrorObject {
    GUID iid{};
    std::u16string source;
    std::u16string description;
};

// Takes the thread's error object.
ErrorObject TakeError() {
    ErrorObject e;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) {
        e.description = u"<no error info>";
        return e;
    }
    info->GetGUID(&e.iid);
    Bstr text;
    info->GetSource(text.Out());
    e.source = text.Str();
    info->GetDescription(text.Out());
    e.description = text.Str();
    return e;
}

std::string Utf8(std::u16string_view s) { return skyvane::ToUtf8(s); }

class ServiceMembersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(KWeatherService::CreateObject(service_), S_OK);
        bstrs_ = skyvane::LiveBstrCount();
    }
    void TearDown() override {
        service_.Reset();
        CoUninitialize();
    }

    std::u16string Text(HRESULT (KWeatherService::*get)(BSTR*), HRESULT expected = S_OK) {
        BSTR b = kSentinel;
        EXPECT_EQ((service_.Get()->*get)(&b), expected);
        EXPECT_NE(b, kSentinel);
        return b == kSentinel ? u"<sentinel>" : Bstr::Attach(b).Str();
    }
    LONG Number(HRESULT (KWeatherService::*get)(LONG*)) {
        LONG n = -12345;
        EXPECT_EQ((service_.Get()->*get)(&n), S_OK);
        return n;
    }
    static std::u16string SmallDatabase() {
        return skyvane::FromUtf8(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/citydb/small/");
    }

    skyvane::test::ScopedDeviceRoot root_;
    ComPtr<KWeatherService> service_;
    long bstrs_ = 0;
};

TEST_F(ServiceMembersTest, AFreshServiceHoldsTheDefaults) {
    EXPECT_EQ(Number(&KWeatherService::get_RequestDayCount), 7);
    EXPECT_EQ(Text(&KWeatherService::get_RequestCityCode), u"RSXX0091");
    KWeatherUnitType unit = KWImperial;
    EXPECT_EQ(service_->get_RequestUnitType(&unit), S_OK);
    EXPECT_EQ(unit, KWMetric);
    EXPECT_EQ(Text(&KWeatherService::get_LastRequestInfo), u"none");
    EXPECT_EQ(Text(&KWeatherService::get_DatabasePath), u"\\Storage card\\Application Data\\SkyvaneWeather\\");
    EXPECT_EQ(Number(&KWeatherService::get_CountryIndex), -1);
    EXPECT_EQ(Number(&KWeatherService::get_CityIndex), -1);
    EXPECT_EQ(Number(&KWeatherService::get_CountryCount), 0);
    EXPECT_NE(Number(&KWeatherService::get_ClassPtr), 0);
}

TEST_F(ServiceMembersTest, DayCountAboveTenIsRefusedAndKeepsTheOldValue) {
    ASSERT_EQ(service_->put_RequestDayCount(10), S_OK);
    EXPECT_EQ(service_->put_RequestDayCount(11), E_INVALIDARG);
    ErrorObject e = TakeError();
    EXPECT_TRUE(IsEqualIID(e.iid, IID_IKWeatherService));
    EXPECT_FALSE(e.description.empty());
    EXPECT_EQ(Number(&KWeatherService::get_RequestDayCount), 10);
    // Smaller and negative counts are stored.
    ASSERT_EQ(service_->put_RequestDayCount(-3), S_OK);
    EXPECT_EQ(Number(&KWeatherService::get_RequestDayCount), -3);
    ASSERT_EQ(service_->put_RequestDayCount(0), S_OK);
    EXPECT_EQ(Number(&KWeatherService::get_RequestDayCount), 0);
}

TEST_F(ServiceMembersTest, TextsAreCopiedBothWaysAndEmptyComesOutNull) {
    Bstr code(u"AB C&D");
    ASSERT_EQ(service_->put_RequestCityCode(code), S_OK);
    BSTR out = nullptr;
    ASSERT_EQ(service_->get_RequestCityCode(&out), S_OK);
    EXPECT_NE(out, code.get()) << "a copy is handed out";
    EXPECT_EQ(skyvane::BstrView(out), u"AB C&D");
    SysFreeString(out);

    ASSERT_EQ(service_->put_RequestCityCode(nullptr), S_OK);
    EXPECT_EQ(Text(&KWeatherService::get_RequestCityCode), u"");
    BSTR empty = kSentinel;
    ASSERT_EQ(service_->get_RequestCityCode(&empty), S_OK);
    EXPECT_EQ(empty, nullptr);

    ASSERT_EQ(service_->put_RequestUnitType(KWeatherUnitType(7)), S_OK);
    KWeatherUnitType unit = KWMetric;
    ASSERT_EQ(service_->get_RequestUnitType(&unit), S_OK);
    EXPECT_EQ(unit, KWeatherUnitType(7)) << "any unit type is stored";

    ASSERT_EQ(service_->put_DatabasePath(Bstr(u"/data/cities/")), S_OK);
    EXPECT_EQ(Text(&KWeatherService::get_DatabasePath), u"/data/cities/");
    EXPECT_EQ(skyvane::LiveBstrCount(), bstrs_ + 1) << "only the argument of this test is alive";
}

TEST_F(ServiceMembersTest, NullOutPointersAreRefused) {
    for (auto get : {&KWeatherService::get_RequestCityCode, &KWeatherService::get_WeatherAsXML,
                     &KWeatherService::get_City, &KWeatherService::get_Country, &KWeatherService::get_DatabasePath,
                     &KWeatherService::get_CityCode, &KWeatherService::get_LastRequestInfo})
        EXPECT_EQ((service_.Get()->*get)(nullptr), E_POINTER);
    for (auto get : {&KWeatherService::get_RequestDayCount, &KWeatherService::get_CountryIsLetter,
                     &KWeatherService::get_CityIndex, &KWeatherService::get_CountryIndex,
                     &KWeatherService::get_CountryCount, &KWeatherService::get_ClassPtr,
                     &KWeatherService::CityNext, &KWeatherService::CountryNext})
        EXPECT_EQ((service_.Get()->*get)(nullptr), E_POINTER);
    EXPECT_EQ(service_->get_RequestUnitType(nullptr), E_POINTER);
    EXPECT_EQ(service_->get_Weather(nullptr), E_POINTER);
    EXPECT_EQ(service_->get_FindCityCode(Bstr(u"Moscow"), nullptr), E_POINTER);
    EXPECT_EQ(service_->get_WeatherAsDocument(Bstr(u"<a/>"), nullptr), E_POINTER);

    // LastRequestInfo reports through the interface that brought it.
    EXPECT_EQ(service_->get_LastRequestInfo(nullptr), E_POINTER);
    EXPECT_TRUE(IsEqualIID(TakeError().iid, IID_IKWeatherService3));
    EXPECT_EQ(service_->get_RequestDayCount(nullptr), E_POINTER);
    ErrorObject e = TakeError();
    EXPECT_TRUE(IsEqualIID(e.iid, IID_IKWeatherService));
    // Not registered here: the source is the class identifier's text.
    EXPECT_EQ(e.source, skyvane::GuidToString(CLSID_KWeatherService));
}

TEST_F(ServiceMembersTest, DocumentAndRecordArgumentsAreChecked) {
    IUnknown* out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
    EXPECT_EQ(service_->get_WeatherAsDocument(nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);

    out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
    EXPECT_EQ(service_->get_WeatherAsDocument(Bstr(u"<weather><cc>"), &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Utf8(TakeError().description).rfind("Weather service returned wrong XML response. Error is ", 0), 0u);

    ComPtr<IUnknown> document;
    ASSERT_EQ(service_->get_WeatherAsDocument(Bstr(u"<weather/>"), &document), S_OK);
    out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
    EXPECT_EQ(service_->get_WeatherAsArray(nullptr, &out), E_INVALIDARG);
    EXPECT_EQ(service_->get_WeatherAsArray(document.Get(), nullptr), E_POINTER);
    auto city = skyvane::MakeComObject<skyvane::weather::KWeatherCity>();
    out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
    EXPECT_EQ(service_->get_WeatherAsArray(static_cast<IKWeatherCity*>(city.Get()), &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);

    // An answer without records is an empty list.
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(service_->get_WeatherAsArray(document.Get(), &unknown), S_OK);
    ComPtr<IEnumUnknown> records;
    ASSERT_EQ(unknown.As(records), S_OK);
    ComPtr<IUnknown> item;
    EXPECT_EQ(records->Next(1, &item, nullptr), S_FALSE);
}

TEST_F(ServiceMembersTest, DialogMembersAreNotImplemented) {
    BSTR code = nullptr, city = nullptr;
    EXPECT_EQ(service_->DoFindCityDialog(Bstr(u"USA"), &code, &city), E_NOTIMPL);
    EXPECT_EQ(service_->DoFindCountryDlg(&code), E_NOTIMPL);
    EXPECT_EQ(code, nullptr);
    EXPECT_EQ(city, nullptr);
}

TEST_F(ServiceMembersTest, ClassPtrNamesOneLiveObject) {
    ComPtr<KWeatherService> other;
    ASSERT_EQ(KWeatherService::CreateObject(other), S_OK);
    LONG mine = Number(&KWeatherService::get_ClassPtr);
    LONG theirs = 0;
    ASSERT_EQ(other->get_ClassPtr(&theirs), S_OK);
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(KWeatherService::FromClassPtr(mine), service_.Get());
    EXPECT_EQ(KWeatherService::FromClassPtr(theirs), other.Get());
    other.Reset();
    EXPECT_EQ(KWeatherService::FromClassPtr(theirs), nullptr) << "a released object is no longer found";
    EXPECT_EQ(KWeatherService::FromClassPtr(0), nullptr);
}

// ---------------------------------------------------------------------------
// The city directory through the service

TEST_F(ServiceMembersTest, CountriesAndCitiesThroughTheService) {
    ASSERT_EQ(service_->put_DatabasePath(Bstr(SmallDatabase())), S_OK);
    ASSERT_EQ(service_->BeginCountry(nullptr), S_OK);
    std::vector<std::string> countries;
    for (LONG last = 0; !last;) {
        Bstr name;
        LONG letter = -1;
        ASSERT_EQ(service_->get_Country(name.Out()), S_OK);
        ASSERT_EQ(service_->get_CountryIsLetter(&letter), S_OK);
        countries.push_back((letter ? "*" : "") + Utf8(name.Str()));
        ASSERT_EQ(service_->CountryNext(&last), S_OK);
    }
    EXPECT_EQ(countries, (std::vector<std::string>{"*A", "Austria", "*C", "C\xC3\xB4te d'Ivoire", "*R", "Russia",
                                                   "*U", "USA", "*Other countries"}));
    // Past the end: S_FALSE, no text, not a letter.
    BSTR name = kSentinel;
    EXPECT_EQ(service_->get_Country(&name), S_FALSE);
    EXPECT_EQ(name, nullptr);
    LONG letter = 7;
    EXPECT_EQ(service_->get_CountryIsLetter(&letter), S_FALSE);
    EXPECT_EQ(letter, 0);

    // USA is kept by letter: b with the next-letter mark skips the missing c.
    ASSERT_EQ(service_->BeginCityByCountry(Bstr(u"USA"), Bstr(u"b>")), S_OK);
    EXPECT_EQ(Number(&KWeatherService::get_CountryCount), 2);
    EXPECT_EQ(Text(&KWeatherService::get_City), u"Dallas, TX");
    EXPECT_EQ(Text(&KWeatherService::get_CityCode), u"USTX0327");
    EXPECT_EQ(service_->put_CityIndex(2), E_INVALIDARG);
    EXPECT_TRUE(IsEqualIID(TakeError().iid, IID_IKWeatherService));
    ASSERT_EQ(service_->put_CityIndex(1), S_OK);
    EXPECT_EQ(Text(&KWeatherService::get_City), u"Denver, CO");
    LONG last = 0;
    ASSERT_EQ(service_->CityNext(&last), S_OK);
    EXPECT_EQ(last, 1);
    BSTR city = kSentinel;
    EXPECT_EQ(service_->get_City(&city), S_FALSE);
    EXPECT_EQ(city, nullptr);
    // z with the mark stays at z; after e neither f nor g exists.
    ASSERT_EQ(service_->BeginCityByCountry(Bstr(u"USA"), Bstr(u"z>")), S_OK);
    EXPECT_EQ(Text(&KWeatherService::get_CityCode), u"USOH1067");
    EXPECT_EQ(service_->BeginCityByCountry(Bstr(u"USA"), Bstr(u"e>")), S_FALSE);
    EXPECT_EQ(Number(&KWeatherService::get_CountryCount), 0);
}

TEST_F(ServiceMembersTest, AMissingDatabaseIsDescribedWithItsPath) {
    ASSERT_EQ(service_->put_DatabasePath(Bstr(u"/no/such/folder/")), S_OK);
    EXPECT_EQ(service_->BeginCountry(Bstr(u"_")), HRESULT(0x80070780u));
    ErrorObject e = TakeError();
    EXPECT_EQ(e.description, u"Cannot open file /no/such/folder/index.txt. Please check your installation folder or "
                             u"reinstall Weather.");
    EXPECT_TRUE(IsEqualIID(e.iid, IID_IKWeatherService));
    EXPECT_EQ(service_->BeginCityByCountry(Bstr(u"USA"), Bstr(u"_")), HRESULT(0x80070780u));
    EXPECT_EQ(TakeError().description, u"Cannot open file /no/such/folder/kweather.idx. Please check your "
                                       u"installation folder or reinstall Weather.");
}

// ---------------------------------------------------------------------------
// The online city search

class CitySearchTest : public ServiceMembersTest {
protected:
    std::vector<std::pair<std::u16string, std::u16string>> Find(const char16_t* name, HRESULT expected = S_OK) {
        IUnknown* out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
        Bstr argument = name ? Bstr(name) : Bstr();
        HRESULT hr = service_->get_FindCityCode(argument, &out);
        std::vector<std::pair<std::u16string, std::u16string>> found;
        EXPECT_EQ(hr, expected) << Utf8(TakeError().description);
        if (FAILED(hr)) {
            EXPECT_EQ(out, nullptr);
            return found;
        }
        ComPtr<IUnknown> unknown;
        unknown.Attach(out);
        ComPtr<IEnumUnknown> cities;
        EXPECT_EQ(unknown.As(cities), S_OK);
        for (ComPtr<IUnknown> item; cities && cities->Next(1, &item, nullptr) == S_OK;) {
            ComPtr<IKWeatherCity> city;
            EXPECT_EQ(item.As(city), S_OK);
            Bstr n, c;
            city->get_Name(n.Out());
            city->get_Code(c.Out());
            found.emplace_back(n.Str(), c.Str());
        }
        return found;
    }
};

TEST_F(CitySearchTest, FoundCitiesComeBackInDocumentOrder) {
    skyvane::test::FeedSim sim;
    skyvane::test::SetServiceHosts({}, {}, {}, sim.host16());
    auto found = Find(u"Russia");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], std::make_pair(std::u16string(u"Moscow, Russia"), std::u16string(u"RSXX0091")));
    EXPECT_EQ(found[1], std::make_pair(std::u16string(u"Saint Petersburg, Russia"), std::u16string(u"RSXX0063")));
    // The name is escaped and appended to the search address.
    found = Find(u"New York");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].second, u"USNY0996");
    EXPECT_EQ(sim.Targets(), (std::vector<std::string>{"/search/search?where=Russia",
                                                       "/search/search?where=New%20York"}));
    std::u16string info = Text(&KWeatherService::get_LastRequestInfo);
    EXPECT_EQ(Utf8(info).rfind("time=", 0), 0u) << Utf8(info);
}

TEST_F(CitySearchTest, NoMatchAndFailedDownloads) {
    skyvane::test::FeedSim sim;
    skyvane::test::SetServiceHosts({}, {}, {}, sim.host16());
    Find(u"Atlantis", HRESULT(0x80070002u));
    sim.Switch("refuse", 1);
    IUnknown* out = nullptr;
    HRESULT hr = service_->get_FindCityCode(Bstr(u"Moscow"), &out);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Utf8(TakeError().description).rfind("Weather update failed.", 0), 0u);
    // A name too long for the search address is refused before any request.
    out = reinterpret_cast<IUnknown*>(uintptr_t(0xdeadbeef));
    EXPECT_EQ(service_->get_FindCityCode(Bstr(std::u16string(90, u'\u00e9')), &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(TakeError().description, u"The city name is too long");
    // The search host alone is asked: the relays and the feed keep their defaults.
    EXPECT_EQ(sim.Targets().size(), 2u);
}

TEST(ServiceConfig, HostsDefaultToTheSimulatorAndFollowTheRegistry) {
    skyvane::test::ScopedDeviceRoot root;
    skyvane::weather::ServiceHosts hosts = skyvane::weather::ReadServiceHosts();
    EXPECT_EQ(hosts.relayHostA, u"127.0.0.1:8642");
    EXPECT_EQ(hosts.feedHost, u"127.0.0.1:8642");
    EXPECT_EQ(hosts.searchHost, u"127.0.0.1:8642");

    skyvane::test::SetServiceHosts(u"relay-a.example", u"relay-b.example:8080", u"  ", {});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Skyvane\\Weather", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD number = 5;
    RegSetValueExW(key, u"SearchHost", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    hosts = skyvane::weather::ReadServiceHosts();
    EXPECT_EQ(hosts.relayHostA, u"relay-a.example");
    EXPECT_EQ(hosts.relayHostB, u"relay-b.example:8080");
    EXPECT_EQ(hosts.feedHost, u"127.0.0.1:8642") << "a blank host counts as not set";
    EXPECT_EQ(hosts.searchHost, u"127.0.0.1:8642") << "a number is not a host";
}

}  // namespace
