// The text-to-value readers, one line per case; expected values are worked
// out by hand from the formats (OLE date 40838 is 22 October 2011).
#include "weather/valuereaders.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testclock.h"
#include "platform/wintime.h"
#include "testutil/testutil.h"

namespace kweather {
namespace {

constexpr DATE kOct22 = 40838.0;
constexpr double kMinute = 1.0 / 1440;

TEST(ValueReaders, ParseNumberReadsSinglePrecisionAndRefusesNonNumbers) {
    EXPECT_EQ(ParseNumber(u"3"), 3.0);
    EXPECT_EQ(ParseNumber(u"-1"), -1.0);
    EXPECT_EQ(ParseNumber(u"1012.9"), double(1012.9f));  // single precision, as the feed's scan reads it
    EXPECT_NE(ParseNumber(u"1012.9"), 1012.9);
    EXPECT_EQ(ParseNumber(u"  9.0 km"), 9.0);             // blanks before, anything after
    EXPECT_EQ(ParseNumber(u"+2.5e1"), 25.0);
    EXPECT_EQ(ParseNumber(u"N/A"), 999999.0);
    EXPECT_EQ(ParseNumber(u"Unlimited"), 999999.0);
    EXPECT_EQ(ParseNumber(u""), 999999.0);
    EXPECT_EQ(ParseNumber(u"nan"), 999999.0);              // not a measurement
    EXPECT_EQ(ParseNumber(u"inf"), 999999.0);
    EXPECT_EQ(ParseNumber(u"1e50"), 999999.0);             // beyond single precision
    EXPECT_EQ(ParseNumber(u"\u0661"), 999999.0);           // an Arabic-Indic digit is not a digit here
    EXPECT_EQ(ParseNumber(std::u16string_view(u"\0" u"5", 2)), 999999.0);  // a NUL ends the text
}

TEST(ValueReaders, ParseIntegerReadsALeadingDecimalNumber) {
    EXPECT_EQ(ParseInteger(u"87"), 87);
    EXPECT_EQ(ParseInteger(u" -4"), -4);
    EXPECT_EQ(ParseInteger(u"+5"), 5);
    EXPECT_EQ(ParseInteger(u"12abc"), 12);
    EXPECT_EQ(ParseInteger(u"9.7"), 9);
    EXPECT_EQ(ParseInteger(u"N/A"), -1);
    EXPECT_EQ(ParseInteger(u"calm"), -1);
    EXPECT_EQ(ParseInteger(u"-"), -1);
    EXPECT_EQ(ParseInteger(u""), -1);
    EXPECT_EQ(ParseInteger(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger(u"2147483648"), -1);             // no int holds it
    EXPECT_EQ(ParseInteger(u"-99999999999999999999999"), -1);

    int v = 7;
    EXPECT_TRUE(ScanInteger(u"-1", v));
    EXPECT_EQ(v, -1);
    EXPECT_FALSE(ScanInteger(u"x", v));
}

TEST(ValueReaders, ParseTemperatureConvertsFahrenheitOnlyWhenMarked) {
    EXPECT_DOUBLE_EQ(ParseTemperature(u"75F"), 215.0 / 9);  // 23.888...
    EXPECT_EQ(ParseTemperature(u"24"), 24.0);
    EXPECT_EQ(ParseTemperature(u"-40 F"), -40.0);
    EXPECT_EQ(ParseTemperature(u"32f"), 32.0);              // only the capital letter marks it
    EXPECT_EQ(ParseTemperature(u"N/A F"), 999999.0);        // the failure value is not converted
    EXPECT_EQ(ParseTemperature(u"F75"), 999999.0);
}

TEST(ValueReaders, ParseClockTimeAppliesTheAmPmRule) {
    EXPECT_DOUBLE_EQ(ParseClockTime(u"12:05 am"), 5 * kMinute);     // 12 am is hour 0
    EXPECT_DOUBLE_EQ(ParseClockTime(u"12:30 pm"), 750 * kMinute);   // 12 pm stays 12
    EXPECT_DOUBLE_EQ(ParseClockTime(u"7:02 PM"), (19 * 60 + 2) * kMinute);
    EXPECT_DOUBLE_EQ(ParseClockTime(u"7:58 AM"), (7 * 60 + 58) * kMinute);
    EXPECT_DOUBLE_EQ(ParseClockTime(u"7:02PM"), (19 * 60 + 2) * kMinute);  // the blank matches none
    EXPECT_DOUBLE_EQ(ParseClockTime(u"7:02 p.m."), (7 * 60 + 2) * kMinute);  // another word keeps the hour
    EXPECT_DOUBLE_EQ(ParseClockTime(u"19:02 xyz"), (19 * 60 + 2) * kMinute);
    EXPECT_EQ(ParseClockTime(u"0:00"), 0.0);                        // midnight without a word
    EXPECT_EQ(ParseClockTime(u"7:02"), -1.0);                       // the word is required
    EXPECT_EQ(ParseClockTime(u"N/A"), -1.0);
    EXPECT_EQ(ParseClockTime(u"7 :02 PM"), -1.0);                   // the colon follows the hour directly
    EXPECT_EQ(ParseClockTime(u""), -1.0);
}

TEST(ValueReaders, ParseStampDateGoesThroughTheCalendarConversion) {
    EXPECT_DOUBLE_EQ(ParseStampDate(u"10/22/11 4:50 PM Local Time"), kOct22 + (16 * 60 + 50) * kMinute);
    EXPECT_DOUBLE_EQ(ParseStampDate(u"10/22/11 4:51 PM EDT"), kOct22 + (16 * 60 + 51) * kMinute);
    EXPECT_DOUBLE_EQ(ParseStampDate(u"10/22/11 12:05 AM"), kOct22 + 5 * kMinute);
    EXPECT_DOUBLE_EQ(ParseStampDate(u"10/22/2011 4:50 PM"), kOct22 + (16 * 60 + 50) * kMinute);
    EXPECT_DOUBLE_EQ(ParseStampDate(u"1/1/30 12:00 AM"), 10959.0);  // two-digit 30 is 1930
    EXPECT_DOUBLE_EQ(ParseStampDate(u"12/31/29 12:00 AM"), 47483.0);  // and 29 is 2029
    EXPECT_EQ(ParseStampDate(u"13/22/11 4:50 PM"), -1.0);           // refused by the conversion
    EXPECT_EQ(ParseStampDate(u"2/30/11 4:50 PM"), -1.0);
    EXPECT_EQ(ParseStampDate(u"10/22/11 25:00 PM"), -1.0);
    EXPECT_EQ(ParseStampDate(u"10/22/11 4:50"), -1.0);              // all six must be read
    EXPECT_EQ(ParseStampDate(u"10/22/11"), -1.0);
    EXPECT_EQ(ParseStampDate(u"65546/22/11 4:50 PM"), -1.0);        // would wrap to month 10 in 16 bits
    EXPECT_EQ(ParseStampDate(u"N/A"), -1.0);
}

TEST(ValueReaders, ParseAlertTimeFallsBackToTheCurrentLocalTime) {
    skyvane::test::ScopedDeviceRoot root;
    ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
    SYSTEMTIME now{};
    now.wYear = 2011;
    now.wMonth = 10;
    now.wDay = 22;
    now.wHour = 17;
    ASSERT_TRUE(skyvane::testclock::SetLocalTime(now));
    ASSERT_TRUE(skyvane::testclock::Freeze(true));
    const DATE current = kOct22 + 17.0 / 24;

    EXPECT_DOUBLE_EQ(ParseAlertTime(u"11:10:22:18:00:00"), kOct22 + 0.75);
    EXPECT_DOUBLE_EQ(ParseAlertTime(u"11:10:23:06:30:30"), kOct22 + 1 + (6 * 3600 + 30 * 60 + 30) / 86400.0);
    EXPECT_DOUBLE_EQ(ParseAlertTime(u"not a time"), current);
    EXPECT_DOUBLE_EQ(ParseAlertTime(u"11:10:22:18:00"), current);     // five numbers
    EXPECT_DOUBLE_EQ(ParseAlertTime(u"11:13:22:18:00:00"), current);  // month 13
    EXPECT_DOUBLE_EQ(ParseAlertTime(u""), current);
    EXPECT_DOUBLE_EQ(CurrentLocalDate(), current);
    skyvane::testclock::Disable();
}

TEST(ValueReaders, TruncateToIntKeepsOnlyWhatAnIntHolds) {
    int v = 0;
    EXPECT_TRUE(TruncateToInt(30.1, v));
    EXPECT_EQ(v, 30);
    EXPECT_TRUE(TruncateToInt(-0.5, v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(TruncateToInt(-4.9, v));
    EXPECT_EQ(v, -4);
    EXPECT_FALSE(TruncateToInt(999999.0, v));  // the not-available value
    EXPECT_FALSE(TruncateToInt(3e9, v));
    EXPECT_FALSE(TruncateToInt(-3e9, v));
}

}  // namespace
}  // namespace kweather
