// A city's records: their order, the look-ups of the views, and the merge of
// real answers of the weather service library (registered in a fresh device
// and reached through COM, as the update run reaches it).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/com/runtime.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/bstr.h"
#include "plugin/city_entry.h"
#include "plugin/weather_merge.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane::plugin;

constexpr double kD0 = 40838.0;  // 22 October 2011
constexpr double kHour = 1.0 / 24;

// A list built record by record; each record's text names it.
struct Built {
    CityWeather weather;
    WeatherRecord* Add(const char16_t* name, int32_t type, double date) {
        WeatherRecord* r = weather.FindOrAddRecord(date, type);
        if (r) r->text = name;
        return r;
    }
    std::u16string Get(size_t n, int32_t t, bool alerts, bool storedOnly, double x) const {
        const WeatherRecord* r = weather.GetRecord(n, t, alerts, storedOnly, x);
        return r ? r->text : u"none";
    }
};

TEST(CityWeatherTest, RecordsStayInDateOrderWithTheCurrentConditionsFirst) {
    Built b;
    b.Add(u"day1", KWDay, kD0 + 1);
    b.Add(u"hour", KWHBH, kD0 + 13 * kHour);
    b.Add(u"day0", KWDay, kD0 + 0.7);  // cut to the whole day
    b.Add(u"current", KWCurrent, kD0 + 16 * kHour);
    b.Add(u"night0", KWNight, kD0 + 0.1);  // noon of its day
    b.Add(u"earliest", KWAlert, kD0 - 1);
    std::vector<std::u16string> order;
    for (const auto& r : b.weather.records()) order.push_back(r->text);
    EXPECT_EQ(order, (std::vector<std::u16string>{u"current", u"earliest", u"day0", u"night0", u"hour", u"day1"}));
    EXPECT_EQ(b.weather.records()[2]->date, kD0);
    EXPECT_EQ(b.weather.records()[3]->date, kD0 + 0.5);

    // Kept once per day, per city and per hour; alerts, archives and maps
    // always new; the local time block never stored.
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0 + 0.3, KWDay)->text, u"day0");
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0 + 0.9, KWNight)->text, u"night0");
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0 + 17 * kHour, KWCurrent)->text, u"current");
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0 + 13 * kHour, KWHBH)->text, u"hour");
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0 - 1, KWAlert)->text, u"");
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0, KWLocal), nullptr);
    EXPECT_EQ(b.weather.FindOrAddRecord(kD0, KWHBHArchive), nullptr);
    EXPECT_EQ(b.weather.Count(), 7u);
}

TEST(CityWeatherTest, LookUpsOfTheViews) {
    Built b;
    b.Add(u"current", KWCurrent, kD0 + 11 * kHour);
    b.Add(u"day0", KWDay, kD0);
    b.weather.FindOrAddRecord(kD0, KWDay)->sunrise = kD0 + 7 * kHour;
    b.weather.FindOrAddRecord(kD0, KWDay)->sunset = kD0 + 17 * kHour;
    b.Add(u"night0", KWNight, kD0);
    b.Add(u"day1", KWDay, kD0 + 1);
    b.Add(u"night1", KWNight, kD0 + 1);
    b.Add(u"yesterday", KWDay, kD0 - 1);
    for (int h : {10, 11, 12}) b.Add(h == 10 ? u"h10" : h == 11 ? u"h11" : u"h12", KWHBH, kD0 + h * kHour);
    b.Add(u"alert today", KWAlert, kD0)->alertEnd = kD0 + 0.9;
    b.Add(u"alert over", KWAlert, kD0 - 2)->alertEnd = kD0 - 1;
    // Of records with one date, the one added last goes first.
    b.Add(u"map2", KWMap, kD0);
    b.Add(u"map1", KWMap, kD0);

    const double noon = kD0 + 11.5 * kHour, evening = kD0 + 20 * kHour, dawn = kD0 + 6.5 * kHour;
    struct Case {
        size_t n;
        int32_t t;
        bool alerts, storedOnly;
        double x;
        const char16_t* expected;
    } cases[] = {
        {0, KWCurrent, false, false, noon, u"current"},
        {1, KWCurrent, false, false, noon, u"none"},
        // By day the current conditions stand first for today's day part.
        {0, KWDay, false, false, noon, u"current"},
        {1, KWDay, false, false, noon, u"day0"},
        {2, KWDay, false, false, noon, u"day1"},
        {3, KWDay, false, false, noon, u"none"},
        {0, KWDay, false, true, noon, u"day0"},
        {0, KWNight, false, false, noon, u"night0"},
        // In the evening, and before today's sunrise, for the night part.
        {0, KWNight, false, false, evening, u"current"},
        {1, KWNight, false, false, evening, u"night0"},
        {0, KWDay, false, false, evening, u"day0"},
        {0, KWNight, false, false, dawn, u"current"},
        // Hours end an hour after they begin.
        {0, KWHBH, false, false, noon, u"h11"},
        {1, KWHBH, false, false, noon, u"h12"},
        // Alerts only when asked for, and only until the day they end.
        {0, KWAlert, false, false, noon, u"none"},
        {0, KWAlert, true, false, noon, u"alert today"},
        {1, KWAlert, true, false, noon, u"none"},
        {0, KWMap, false, false, noon, u"map1"},
        {1, KWMap, false, false, kD0 + 30, u"map2"},
        // Tomorrow the current conditions (of today) stand for nothing.
        {0, KWDay, false, false, kD0 + 1.5, u"day1"},
        {99, KWDay, false, false, noon, u"none"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(b.Get(c.n, c.t, c.alerts, c.storedOnly, c.x), c.expected)
            << "n=" << c.n << " t=" << c.t << " x=" << c.x;
    EXPECT_EQ(b.weather.GetCurrentHourRecord(noon)->text, u"h11");
    EXPECT_EQ(b.weather.GetCurrentHourRecord(kD0 + 12 * kHour + 0.041)->text, u"h12");
    EXPECT_EQ(b.weather.GetCurrentHourRecord(kD0 + 9 * kHour), nullptr);
}

TEST(CityWeatherTest, WithoutSunTimesTheDayRunsFromSixToSix) {
    CityWeather w;
    w.FindOrAddRecord(kD0, KWDay);
    EXPECT_FALSE(w.IsDaytime(kD0 + 5.9 * kHour));
    EXPECT_TRUE(w.IsDaytime(kD0 + 6 * kHour));
    EXPECT_TRUE(w.IsDaytime(kD0 + 17.9 * kHour));
    EXPECT_FALSE(w.IsDaytime(kD0 + 18 * kHour));
}

// --- Merging answers of the real service -------------------------------------

std::u16string ReadAnswer(const char* name) {
    std::ifstream in(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return skyvane::FromUtf8(text.str());
}

class MergeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string command = skyvane::test::BuildDir() + "/bin/skyvane-regsvr " + skyvane::test::BuildDir() +
                              "/lib/libKWeather.so > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
        SYSTEMTIME t{2011, 10, 6, 22, 16, 48, 0, 0};
        ASSERT_TRUE(skyvane::testclock::SetLocalTime(t));
        ASSERT_TRUE(skyvane::testclock::Freeze(true));
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, 0)));
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&service)), S_OK);
        city->SetCode(u"RSXX0091");
    }
    void TearDown() override {
        service.Reset();
        CoUninitialize();
    }
    std::map<int32_t, int> CountByType() {
        std::map<int32_t, int> counts;
        for (const auto& r : city->Weather().records()) ++counts[r->type];
        return counts;
    }

    skyvane::test::ScopedDeviceRoot root;
    std::shared_ptr<SettingsKey> key = std::make_shared<SettingsKey>(u"Weather", u"Skyvane");
    std::shared_ptr<CityEntry> city = std::make_shared<CityEntry>(key);
    skyvane::ComPtr<IKWeatherService> service;
    const double now = kD0 + (16 * 60 + 48) / 1440.0;
};

TEST_F(MergeTest, AnAnswerBecomesTheCitysRecords) {
    ASSERT_EQ(MergeFromService(*city, service.Get(), ReadAnswer("weather_moscow.xml"), now), S_OK);
    // Day 0 has no high ("N/A") and is not kept; the local time block never is.
    std::map<int32_t, int> expected{{KWCurrent, 1}, {KWDay, 9},          {KWNight, 10},
                                    {KWHBH, 48},    {KWAlert, 2},        {KWPressureArchive, 1},
                                    {KWTempArchive, 1}, {KWWindchillArchive, 1}, {KWMap, 4}};
    EXPECT_EQ(CountByType(), expected);
    const WeatherRecord& current = *city->Weather().records()[0];
    EXPECT_EQ(current.type, KWCurrent);
    EXPECT_EQ(current.date, now);
    EXPECT_EQ(current.received, now);
    EXPECT_EQ(current.text, u"Light Rain");
    EXPECT_EQ(current.icon, 11);
    EXPECT_EQ(current.icon2, 12);
    EXPECT_NEAR(current.pressure, 1012.9, 1e-4);  // read as a float
    EXPECT_EQ(current.windText, u"WSW");
    EXPECT_EQ(current.humidity, 87);
    EXPECT_EQ(city->GetGmtOffset(), 4);
    EXPECT_EQ(key->ReadNumber(u"CityGMT_RSXX0091", 0), 4);
    EXPECT_EQ(city->Weather().LastUpdate(), now);
    for (const auto& r : city->Weather().records())
        if (r->type == KWPressureArchive) EXPECT_FALSE(r->archive.empty());
    EXPECT_FALSE(city->Weather().GetRecord(0, KWDay, false, true, now)->text.empty());
}

TEST_F(MergeTest, ASecondAnswerUpdatesInPlaceAndReplacesHoursAlertsAndMaps) {
    // Stored before: a day of yesterday, an alert still valid, an old map.
    city->Weather().FindOrAddRecord(kD0 - 1, KWDay)->tempHigh = 1;
    WeatherRecord* alert = city->Weather().FindOrAddRecord(kD0 + 0.1, KWAlert);
    alert->alertEnd = kD0 + 30;
    alert->alertType = u"Old alert";
    city->Weather().FindOrAddRecord(kD0, KWMap)->mapName = u"Old map";
    std::u16string answer = ReadAnswer("weather_moscow.xml");
    ASSERT_EQ(MergeFromService(*city, service.Get(), answer, now), S_OK);
    ASSERT_EQ(MergeFromService(*city, service.Get(), answer, now), S_OK);
    std::map<int32_t, int> counts = CountByType();
    EXPECT_EQ(counts[KWDay], 9);  // one per date, yesterday's gone
    EXPECT_EQ(counts[KWNight], 10);
    EXPECT_EQ(counts[KWHBH], 48);
    EXPECT_EQ(counts[KWAlert], 2);
    EXPECT_EQ(counts[KWMap], 4);
    EXPECT_EQ(counts[KWPressureArchive], 2);  // archives are kept per update
    for (const auto& r : city->Weather().records()) {
        EXPECT_NE(r->alertType, u"Old alert");
        EXPECT_NE(r->mapName, u"Old map");
        EXPECT_GE(r->date, kD0);
    }
}

TEST_F(MergeTest, IconsOutsideTheKnownOnesAreStoredAsNotAvailable) {
    std::u16string answer = ReadAnswer("weather_moscow.xml");
    size_t at = answer.find(u"<icon>11</icon>");
    ASSERT_NE(at, std::u16string::npos);
    answer.replace(at, 15, u"<icon>60</icon>");
    ASSERT_EQ(MergeFromService(*city, service.Get(), answer, now), S_OK);
    EXPECT_EQ(city->Weather().records()[0]->icon, 48);
}

TEST_F(MergeTest, FailuresSetTheCitysStatusAndKeepItsRecords) {
    city->Weather().FindOrAddRecord(kD0 + 1, KWDay)->tempHigh = 7;
    EXPECT_EQ(MergeFromService(*city, nullptr, u"<weather/>", now), E_INVALIDARG);
    EXPECT_EQ(city->Status(), u"Unknown error");
    EXPECT_EQ(MergeFromService(*city, service.Get(), u"", now), E_INVALIDARG);
    EXPECT_TRUE(FAILED(MergeFromService(*city, service.Get(), ReadAnswer("weather_err.xml"), now)));
    EXPECT_EQ(city->Status(), u"There is no weather");
    EXPECT_EQ(key->ReadText(u"CityState_RSXX0091", u""), u"There is no weather");
    ASSERT_EQ(city->Weather().Count(), 1u);
    EXPECT_EQ(city->Weather().records()[0]->tempHigh, 7);
}

}  // namespace
