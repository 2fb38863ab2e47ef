// Values, times and ages as the user reads them, with the examples of the
// plugin's formatting rules.
#include <gtest/gtest.h>

#include <set>

#include "platform/kernel/nls/text_conv.h"
#include "plugin/languages.h"
#include "plugin/plugin_settings.h"
#include "test_util/test_util.h"
#include "ui/text_ids.h"
#include "ui/time_format.h"
#include "ui/translator.h"
#include "ui/units.h"
#include "ui/value_format.h"

namespace {

using namespace skyvane::ui;
using skyvane::plugin::WeatherRecord;

constexpr double kDay = 46453.0;  // 7 March 2027, a Sunday
constexpr double kSecond = 1.0 / 86400;

WeatherRecord Item(int32_t units) {
    WeatherRecord r;
    r.units = units;
    return r;
}

std::string U8(const std::u16string& s) { return skyvane::ToUtf8(s); }

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override { skyvane::plugin::SetProcessLanguage(1033); }
    skyvane::test::ScopedDeviceRoot root;
};

TEST_F(FormatTest, TheUnitSettingNotYetChosenFollowsTheLanguage) {
    auto key = std::make_shared<skyvane::plugin::SettingsKey>(u"Weather", u"Skyvane");
    skyvane::plugin::PluginSettings settings(key);
    WeatherRecord item = Item(settings.GetUnitType());
    EXPECT_EQ(U8(FormatTemperature(item, 20)), "68°F");
    skyvane::plugin::SetProcessLanguage(1049);
    item = Item(settings.GetUnitType());
    EXPECT_EQ(U8(FormatTemperature(item, 20)), "20°C");
    item.pressure = 1013;
    std::u16string mmHg = TranslateIn(1049, 0, 0, skyvane::ui::text::kUnitMmHg, nullptr);
    EXPECT_NE(mmHg, u"mmHg");  // the Russian label
    EXPECT_EQ(FormatPressure(item), u"759 " + mmHg);
}

TEST_F(FormatTest, ValuesInEveryUnit) {
    struct Case {
        int32_t units;
        double celsius, pressure;
        int32_t wind, visibility;
        const char *temperature, *pressureText, *windText, *visibilityText;
    } cases[] = {
        // 21.9 °C is 71.42 °F: both cut toward zero.
        {1, 21.9, 1013, 20, 10, "71°F", "29.91 inHg", "12 mph", "10 miles"},
        {6, 21.9, 1013, 20, 10, "21°C", "1013 hPa", "6 m/s", "16090 m"},
        {5, 21.9, 1013, 20, 10, "21°C", "1013 mBar", "6 m/s", "16090 m"},
        {2, -3.7, 1013, 20, 10, "-3°C", "759 mmHg", "6 m/s", "16090 m"},
        {27, 21.9, 1013, 20, 10, "71°F", "29.91 inHg", "11 kt", "9 nmi"},
        {9, 21.9, 1013, 20, 10, "21°C", "759 mmHg", "20 km/h", "16 km"},
        {40, 21.9, 1013, 20, 10, "21°C", "759 mmHg", "11 kt", "9 nmi"},
        // Unit types no list offers: 3 keeps the fallback units and has no
        // scale or pressure; past 40 nothing converts.
        {3, 21.9, 1013, 20, 10, "", "", "6 m/s", "16 km"},
        {41, 21.9, 1013, 20, 10, "", "", "-1 m/s", "-1 km"},
        // Missing values.
        {9, kMissingValue, 9001, -1, -1, "", "", "", ""},
        {9, kMissingValue, 1, 0, 999999, "", "", "0 km/h", ""},
    };
    for (const Case& c : cases) {
        WeatherRecord item = Item(c.units);
        item.pressure = c.pressure;
        item.windSpeed = c.wind;
        item.visibility = c.visibility;
        SCOPED_TRACE("unit type " + std::to_string(c.units));
        EXPECT_EQ(U8(FormatTemperature(item, c.celsius)), c.temperature);
        EXPECT_EQ(U8(FormatPressure(item)), c.pressureText);
        EXPECT_EQ(U8(FormatWind(item)), c.windText);
        EXPECT_EQ(U8(FormatVisibility(item)), c.visibilityText);
    }
}

TEST_F(FormatTest, WindTendencyHumidityUVAndTheCombinedLine) {
    WeatherRecord item = Item(2);
    item.windSpeed = 20;
    item.windText = u"NW";
    EXPECT_EQ(U8(FormatWind(item)), "NW, 6 m/s");
    item.windSpeed = -1;
    item.windText = u"CALM";
    EXPECT_EQ(U8(FormatWind(item)), "CALM");

    item.pressure = 1020;
    item.pressureText = u"rising";
    EXPECT_EQ(U8(FormatPressure(item)), "765 mmHg rising");
    item.pressureText = u"N/A";
    EXPECT_EQ(U8(FormatPressure(item)), "765 mmHg");

    EXPECT_EQ(U8(FormatHumidity(item, true)), "");  // humidity 0 or less
    item.humidity = 64;
    EXPECT_EQ(U8(FormatHumidity(item, true)), "64%");
    EXPECT_EQ(U8(FormatHumidity(item, false)), "64% Humidity");
    item.precipitation = 0;
    EXPECT_EQ(U8(FormatPrecipChance(item, false)), "0% Chance precip.");
    item.precipitation = 101;
    EXPECT_EQ(U8(FormatPrecipChance(item, true)), "");

    item.uvIndex = 7;
    EXPECT_EQ(U8(FormatUV(item, false)), "UV: 7 High");
    EXPECT_EQ(item.uvText, u"High");
    EXPECT_EQ(U8(FormatUV(item, true)), "7");
    WeatherRecord extreme = Item(2);
    extreme.uvIndex = 16;
    EXPECT_EQ(U8(FormatUV(extreme, false)), "");

    item.pressureText = u"rising";
    item.uvIndex = 3;
    item.uvText.clear();
    EXPECT_EQ(U8(FormatPressureHumidityLine(item)), "765 mmHg rising, UV: 3 Moderate, Humidity: 64%");
    item.humidity = 0;
    item.uvIndex = -1;
    item.uvText.clear();
    EXPECT_EQ(U8(FormatPressureHumidityLine(item)), "765 mmHg rising");
    item.visibility = 10;
    EXPECT_EQ(U8(FormatVisibilityLine(item)), "Visibility: 16090 m");
}

TEST_F(FormatTest, ClocksDaysAndDates) {
    const double nineOhFive = kDay + (9 * 60 + 5) / 1440.0;
    EXPECT_EQ(U8(FormatClock(nineOhFive, true, true)), "9:05 AM");
    EXPECT_EQ(U8(FormatClock(nineOhFive, true, false)), "9:00 AM");
    EXPECT_EQ(U8(FormatClock(nineOhFive, false, true)), "9:05");
    EXPECT_EQ(U8(FormatClock(nineOhFive, false, false)), "9:00");
    EXPECT_EQ(U8(FormatClock(kDay + 0.5, true, true)), "12:00 PM");
    EXPECT_EQ(U8(FormatClock(kDay, true, true)), "12:00 AM");
    EXPECT_EQ(U8(FormatClock(kDay + 23.5 / 24, false, true)), "23:30");

    const double now = kDay + 0.4;
    EXPECT_EQ(U8(FormatDayCaption(kDay + 6, false, now)), "Sat");
    EXPECT_EQ(U8(FormatDayCaption(kDay + 7, false, now)), "March 14");
    EXPECT_EQ(U8(FormatDayCaption(kDay, true, now)), "Today");
    EXPECT_EQ(U8(FormatDayCaption(kDay + 1, true, now)), "Tomorrow");
    EXPECT_EQ(U8(FormatDayCaption(kDay + 2, true, now)), "Tuesday");
    EXPECT_EQ(U8(FormatDayCaption(-1.0, true, now)), "");

    EXPECT_EQ(U8(FormatDate(kDay)), "March 7");
    EXPECT_EQ(U8(FormatDate(kDay, {.abbreviated = true, .parenthesised = true})), "Mar (7)");
    EXPECT_EQ(U8(FormatDate(kDay, {.dayFirst = true})), "7 March");
    skyvane::plugin::SetProcessLanguage(1049);  // day first
    EXPECT_EQ(FormatDate(kDay).substr(0, 2), u"7 ");
    skyvane::plugin::SetProcessLanguage(1042);
    EXPECT_NE(FormatDate(kDay).find(u" 7일"), std::u16string::npos);
    EXPECT_NE(FormatDate(kDay, {.parenthesised = true}).find(u"(7일)"), std::u16string::npos);
}

TEST_F(FormatTest, TheTimeOfAnItem) {
    const double now = kDay + 10 / 24.0;
    WeatherRecord hour = Item(2);
    hour.type = KWHBH;
    hour.date = kDay + 13 / 24.0;
    EXPECT_EQ(U8(FormatTime(hour, false, false, 0, now)), "1:00 PM");
    hour.date += 1;
    EXPECT_EQ(U8(FormatTime(hour, false, true, 0, now)), "Tomorrow,1:00 PM");
    WeatherRecord day = Item(13);
    day.type = KWDay;
    day.date = kDay + 2;
    EXPECT_EQ(U8(FormatTime(day, false, false, 0, now)), "Tue");
    // Minutes always come with their day; an explicit time replaces the item's.
    EXPECT_EQ(U8(FormatTime(day, true, false, kDay + 2 + 7.5 / 24, now)), "Tue,7:30");
    WeatherRecord current = Item(13);
    current.type = KWCurrent;
    current.date = now - 120 * kSecond;
    EXPECT_EQ(U8(FormatTime(current, false, false, 0, now)), "2 min ago");
    EXPECT_EQ(current.refreshMinutes, 1);
}

TEST_F(FormatTest, Ages) {
    const double now = kDay + 0.5;
    struct Case {
        double age;
        const char *updated, *shortText;
        int32_t refresh;
        const char* progress;
    } cases[] = {
        {90 * kSecond, "updated 90 seconds ago", "Now", 1, "90 sec ago"},
        {130 * kSecond, "updated 2 minutes ago", "2 min ago", 1, "2 min ago"},
        {1.0, "updated 24 hours ago", "24 hours ago", 60, "24 hours ago"},
        {1 + 20 / 24.0, "updated 44 hours ago", "44 hours ago", 60, "44 hours ago"},
        {2.0, "updated 2 days ago", "2 days ago", 240, "2 days ago"},
        {-60 * kSecond, "", "", 0, ""},  // in the future
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.updated);
        WeatherRecord item = Item(2);
        item.refreshMinutes = 99;
        EXPECT_EQ(U8(FormatUpdatedAgo(now - c.age, now)), c.updated);
        EXPECT_EQ(U8(FormatAgoShort(item, now - c.age, now)), c.shortText);
        EXPECT_EQ(item.refreshMinutes, c.refresh);
    }
    WeatherRecord item = Item(2);
    EXPECT_EQ(U8(FormatAgoShort(item, 0, now)), "");
    EXPECT_EQ(U8(FormatAgoShort(item, kMissingValue, now)), "");

    skyvane::plugin::SettingsKey key(u"Weather", u"Skyvane");
    for (const Case& c : cases) EXPECT_EQ(U8(FormatAgeOrProgress(key, now - c.age, now)), c.progress);
    key.WriteDate(u"IsUpdateInProgressTime", now - 9 / 1440.0);
    EXPECT_EQ(U8(FormatAgeOrProgress(key, now - 2.0, now)), "getting weather now ...");
    key.WriteDate(u"IsUpdateInProgressTime", now - 11 / 1440.0);  // an old mark is cleared
    EXPECT_EQ(U8(FormatAgeOrProgress(key, now - 2.0, now)), "2 days ago");
    EXPECT_EQ(key.ReadDate(u"IsUpdateInProgressTime", -1), 0);
    key.WriteDate(u"IsUpdateInProgressTime", now + 1 / 1440.0);  // so is one in the future
    EXPECT_EQ(U8(FormatAgeOrProgress(key, now - 2.0, now)), "2 days ago");
    EXPECT_EQ(key.ReadDate(u"IsUpdateInProgressTime", -1), 0);
}

TEST(UnitsTest, SetsAndConversions) {
    // 12-hour clock exactly for these.
    std::set<int32_t> twelve = {1, 2, 5, 6, 7, 8, 9, 10, 11, 21, 22, 23, 27, 28, 29, 33, 34, 35, 39};
    for (int32_t t = 0; t <= 41; ++t) EXPECT_EQ(Uses12HourClock(t), twelve.count(t) == 1) << t;
    EXPECT_EQ(ToDisplayPressure(1, -5), -5);       // not above 1: unchanged
    EXPECT_EQ(ToDisplayPressure(0, 1013), -1.0);   // no pressure unit
    EXPECT_EQ(ToDisplayWind(2, 0), 0);
    EXPECT_EQ(ToDisplayVisibility(27, 10), 9);
    EXPECT_EQ(UnitTypesInOfferOrder().size(), 38u);
    EXPECT_EQ(U8(UnitTypeText(13)), "°C, m/s, mmHg, 24 h");
    EXPECT_EQ(U8(UnitTypeText(40)), "°C,Knot,mmHg,24h");
    EXPECT_EQ(U8(UnitTypeText(3)), "");
}

}  // namespace
