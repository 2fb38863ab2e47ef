// OLE dates and file times against known values of the platform: dates from
// OLE Automation's documentation and conformance tables, file times from the
// 1601 epoch and the 400-year Gregorian cycle.
#include "platform/oleaut/ole_date.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "platform/kernel/handles.h"
#include "platform/kernel/test_clock.h"
#include "test_util/test_util.h"

namespace {

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME st{};
    st.wYear = WORD(y);
    st.wMonth = WORD(mo);
    st.wDay = WORD(d);
    st.wHour = WORD(h);
    st.wMinute = WORD(mi);
    st.wSecond = WORD(s);
    st.wMilliseconds = WORD(ms);
    st.wDayOfWeek = 0xdead & 0xFF;  // ignored on input
    return st;
}

struct ToDateCase {
    int line;
    SYSTEMTIME st;
    bool ok;
    double date;
};

TEST(OleDate, SystemTimeToVariantTime) {
    const ToDateCase cases[] = {
        {__LINE__, St(1980, 1, 1), true, 29221.0},
        {__LINE__, St(1980, 1, 2), true, 29222.0},
        {__LINE__, St(1899, 12, 30), true, 0.0},                       // day zero
        {__LINE__, St(1900, 1, 1), true, 2.0},                         // 1900 is no leap year here
        {__LINE__, St(1899, 12, 29), true, -1.0},                      // before day zero
        {__LINE__, St(1899, 12, 29, 6), true, -1.25},                  // negative: the fraction still counts forward
        {__LINE__, St(1900, 1, 1, 6), true, 2.25},
        {__LINE__, St(1970, 1, 1), true, 25569.0},                     // the Unix epoch
        {__LINE__, St(2000, 1, 1), true, 36526.0},
        {__LINE__, St(2000, 2, 29), true, 36585.0},                    // 2000 is a leap year
        {__LINE__, St(1980, 1, 1, 18, 1, 16), true, 29221.75087962963},
        {__LINE__, St(1980, 1, 1, 0, 0, 0, 999), true, 29221.0},       // milliseconds ignored
        {__LINE__, St(0, 1, 1), true, 36526.0},                        // year 0 is 2000
        {__LINE__, St(29, 1, 1), true, 47119.0},                       // year 29 is 2029
        {__LINE__, St(30, 1, 1), true, 10959.0},                       // year 30 is 1930
        {__LINE__, St(90, 12, 31), true, 33238.0},                     // year 90 is 1990
        {__LINE__, St(100, 1, 1), true, -657434.0},                    // first valid day
        {__LINE__, St(9999, 1, 1), true, 2958101.0},
        {__LINE__, St(9999, 12, 31), true, 2958465.0},                 // last valid day
        {__LINE__, St(10000, 1, 1), false, 0},                         // past the range
        {__LINE__, St(65535, 1, 1), false, 0},                         // a year of -1
        {__LINE__, St(1980, 0, 1), false, 0},                          // month 0
        {__LINE__, St(1980, 13, 1), false, 0},                         // month 13
        {__LINE__, St(1980, 1, 0), false, 0},                          // day 0
        {__LINE__, St(1980, 1, 32), false, 0},                         // day 32
        {__LINE__, St(2011, 4, 31), false, 0},                         // 31 April
        {__LINE__, St(2011, 2, 29), false, 0},                         // 29 February, common year
        {__LINE__, St(1900, 2, 29), false, 0},                         // 1900: divisible by 100, not by 400
        {__LINE__, St(2011, 1, 1, 24), false, 0},                      // hour 24
        {__LINE__, St(2011, 1, 1, 0, 60), false, 0},                   // minute 60
        {__LINE__, St(2011, 1, 1, 0, 0, 60), false, 0},                // second 60
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        double out = -999.0;
        INT r = SystemTimeToVariantTime(&c.st, &out);
        EXPECT_EQ(r, c.ok ? TRUE : FALSE);
        if (c.ok) {
            EXPECT_NEAR(out, c.date, 1e-11);
        }
    }
    double out;
    EXPECT_FALSE(SystemTimeToVariantTime(nullptr, &out));
}

struct ToSystemCase {
    int line;
    double date;
    bool ok;
    int y, mo, d, h, mi, s, dow;
};

TEST(OleDate, VariantTimeToSystemTime) {
    const double oneSecond = 1.0 / 86400.0;
    const ToSystemCase cases[] = {
        {__LINE__, 29221.0, true, 1980, 1, 1, 0, 0, 0, 2},               // a Tuesday
        {__LINE__, 29222.0, true, 1980, 1, 2, 0, 0, 0, 3},
        {__LINE__, 0.0, true, 1899, 12, 30, 0, 0, 0, 6},                 // day zero, a Saturday
        {__LINE__, 2.0, true, 1900, 1, 1, 0, 0, 0, 1},                   // a Monday
        {__LINE__, -1.0, true, 1899, 12, 29, 0, 0, 0, 5},
        {__LINE__, -1.25, true, 1899, 12, 29, 6, 0, 0, 5},               // negative: forward from midnight
        {__LINE__, -0.25, true, 1899, 12, 30, 6, 0, 0, 6},               // between -1 and 0: still day zero
        {__LINE__, 2.25, true, 1900, 1, 1, 6, 0, 0, 1},
        {__LINE__, 36526.0, true, 2000, 1, 1, 0, 0, 0, 6},
        {__LINE__, 3.34, true, 1900, 1, 2, 8, 9, 36, 2},
        {__LINE__, -49192.24, true, 1765, 4, 24, 5, 45, 36, 3},
        {__LINE__, 36526.0 + 0.4 * oneSecond, true, 2000, 1, 1, 0, 0, 0, 6},  // rounds down
        {__LINE__, 36526.0 + 0.6 * oneSecond, true, 2000, 1, 1, 0, 0, 1, 6},  // rounds up
        {__LINE__, 36526.0 - 0.4 * oneSecond, true, 2000, 1, 1, 0, 0, 0, 6},  // rounds into the next day
        {__LINE__, -1.0 - 86399.6 * oneSecond, true, 1899, 12, 30, 0, 0, 0, 6},  // negative, rounds to midnight
        {__LINE__, -657434.0, true, 100, 1, 1, 0, 0, 0, -1},             // first valid day
        {__LINE__, -657434.5, true, 100, 1, 1, 12, 0, 0, -1},            // noon of the first day
        {__LINE__, 2958465.0, true, 9999, 12, 31, 0, 0, 0, 5},           // last valid day, a Friday
        {__LINE__, 2958465.0 + 86399.4 * oneSecond, true, 9999, 12, 31, 23, 59, 59, 5},
        {__LINE__, 2958465.0 + 86399.6 * oneSecond, false, 0, 0, 0, 0, 0, 0, 0},              // rounds into the year 10000
        {__LINE__, 2958466.0, false, 0, 0, 0, 0, 0, 0, 0},
        {__LINE__, -657435.0, false, 0, 0, 0, 0, 0, 0, 0},
        {__LINE__, std::numeric_limits<double>::quiet_NaN(), false, 0, 0, 0, 0, 0, 0, 0},
        {__LINE__, std::numeric_limits<double>::infinity(), false, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        SYSTEMTIME st;
        std::memset(&st, 0xCC, sizeof st);
        INT r = VariantTimeToSystemTime(c.date, &st);
        EXPECT_EQ(r, c.ok ? TRUE : FALSE);
        if (!c.ok) continue;
        EXPECT_EQ(st.wYear, c.y);
        EXPECT_EQ(st.wMonth, c.mo);
        EXPECT_EQ(st.wDay, c.d);
        EXPECT_EQ(st.wHour, c.h);
        EXPECT_EQ(st.wMinute, c.mi);
        EXPECT_EQ(st.wSecond, c.s);
        EXPECT_EQ(st.wMilliseconds, 0);
        if (c.dow >= 0) {
            EXPECT_EQ(st.wDayOfWeek, c.dow);
        }
    }
}

TEST(OleDate, RoundTripsEverySecondOfADay) {
    // Both directions agree for every second of a day before and after day zero.
    for (int day : {-40000, -1, 0, 1, 40000}) {
        for (int second = 0; second < 86400; second += 7) {
            double date = day >= 0 ? day + second / 86400.0 : day - second / 86400.0;
            SYSTEMTIME st;
            ASSERT_TRUE(VariantTimeToSystemTime(date, &st)) << date;
            double back;
            ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
            ASSERT_NEAR(back, date, 1e-9) << "day " << day << " second " << second;
        }
    }
}

struct TextCase {
    int line;
    double date;
    ULONG flags;
    const char16_t* text;
};

TEST(OleDate, VarBstrFromDate) {
    const TextCase cases[] = {
        {__LINE__, 0.0, 0, u"12:00:00 AM"},                        // day zero at midnight: time only
        {__LINE__, 0.25, 0, u"6:00:00 AM"},                        // day part zero: time only
        {__LINE__, 0.5, 0, u"12:00:00 PM"},                        // noon is 12 PM
        {__LINE__, 0.75, 0, u"6:00:00 PM"},
        {__LINE__, -0.5, 0, u"12:00:00 PM"},                       // between -1 and 0 the day part is zero too
        {__LINE__, 2.0, 0, u"1/1/1900"},                           // midnight: date only
        {__LINE__, 2.25, 0, u"1/1/1900 6:00:00 AM"},
        {__LINE__, -1.0, 0, u"12/29/1899"},
        {__LINE__, -1.25, 0, u"12/29/1899 6:00:00 AM"},
        {__LINE__, 36526.0, 0, u"1/1/2000"},
        {__LINE__, 3.34, 0, u"1/2/1900 8:09:36 AM"},
        {__LINE__, 3339.34, 0, u"2/20/1909 8:09:36 AM"},
        {__LINE__, 365.0, 0, u"12/30/1900"},
        {__LINE__, 365.25, 0, u"12/30/1900 6:00:00 AM"},
        {__LINE__, 1461.0, 0, u"12/31/1903"},
        {__LINE__, 1461.5, 0, u"12/31/1903 12:00:00 PM"},
        {__LINE__, -49192.24, 0, u"4/24/1765 5:45:36 AM"},
        {__LINE__, -657434.0, 0, u"1/1/100"},                      // the year is not padded
        {__LINE__, 2958465.0, 0, u"12/31/9999"},
        {__LINE__, 40838.7, 0, u"10/22/2011 4:48:00 PM"},
        {__LINE__, 36526.25, VAR_DATEVALUEONLY, u"1/1/2000"},
        {__LINE__, 36526.25, VAR_TIMEVALUEONLY, u"6:00:00 AM"},
        {__LINE__, 36526.0, VAR_TIMEVALUEONLY, u"12:00:00 AM"},    // asked for: the midnight time is shown
        {__LINE__, 0.25, VAR_DATEVALUEONLY, u"12/30/1899"},        // asked for: day zero's date is shown
    };
    long before = skyvane::LiveBstrCount();
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        BSTR out = reinterpret_cast<BSTR>(0x1);
        ASSERT_EQ(VarBstrFromDate(c.date, LOCALE_USER_DEFAULT, c.flags, &out), S_OK);
        EXPECT_EQ(skyvane::BstrView(out), std::u16string_view(c.text));
        SysFreeString(out);
    }
    EXPECT_EQ(skyvane::LiveBstrCount(), before);
}

TEST(OleDate, VarBstrFromDateRefusals) {
    EXPECT_EQ(VarBstrFromDate(2.0, LOCALE_USER_DEFAULT, 0, nullptr), E_POINTER);
    for (double bad : {2958466.0, -657435.0, std::numeric_limits<double>::quiet_NaN()}) {
        BSTR out = reinterpret_cast<BSTR>(0x1);  // must be cleared, not left dangling
        EXPECT_EQ(VarBstrFromDate(bad, LOCALE_USER_DEFAULT, 0, &out), E_INVALIDARG) << bad;
        EXPECT_EQ(out, nullptr);
    }
    BSTR out = reinterpret_cast<BSTR>(0x1);
    EXPECT_EQ(VarBstrFromDate(2.25, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY | VAR_TIMEVALUEONLY, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
}

unsigned long long Value(const FILETIME& ft) {
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME Ft(unsigned long long v) { return FILETIME{DWORD(v & 0xFFFFFFFFu), DWORD(v >> 32)}; }

TEST(FileTime, SystemTimeConversions) {
    struct Case {
        int line;
        SYSTEMTIME st;
        unsigned long long value;
        int dow;
    } cases[] = {
        {__LINE__, St(1601, 1, 1), 0, 1},                                      // the epoch, a Monday
        {__LINE__, St(1601, 1, 1, 0, 0, 0, 1), 10000, 1},                      // one millisecond
        {__LINE__, St(1970, 1, 1), 116444736000000000ull, 4},                  // the Unix epoch
        {__LINE__, St(2001, 1, 1), 126227808000000000ull, 1},                  // 400 Gregorian years after the epoch
        {__LINE__, St(2000, 1, 1), 125911584000000000ull, 6},                  // 366 days before that
        {__LINE__, St(30827, 12, 31, 23, 59, 59, 999), 9223149887999990000ull, -1},  // the last valid year: 10674942 days to 30828
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        FILETIME ft{};
        ASSERT_TRUE(SystemTimeToFileTime(&c.st, &ft));
        EXPECT_EQ(Value(ft), c.value);
        SYSTEMTIME back;
        ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
        EXPECT_EQ(back.wYear, c.st.wYear);
        EXPECT_EQ(back.wMonth, c.st.wMonth);
        EXPECT_EQ(back.wDay, c.st.wDay);
        EXPECT_EQ(back.wHour, c.st.wHour);
        EXPECT_EQ(back.wMinute, c.st.wMinute);
        EXPECT_EQ(back.wSecond, c.st.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.st.wMilliseconds);
        if (c.dow >= 0) {
            EXPECT_EQ(back.wDayOfWeek, c.dow);
        }
    }

    // The largest file time is 14 September 30828 02:48:05.4775807; the units
    // below a millisecond are dropped.
    FILETIME largest = Ft(0x7FFFFFFFFFFFFFFFull);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&largest, &st));
    EXPECT_EQ(st.wYear, 30828);
    EXPECT_EQ(st.wMonth, 9);
    EXPECT_EQ(st.wDay, 14);
    EXPECT_EQ(st.wHour, 2);
    EXPECT_EQ(st.wMinute, 48);
    EXPECT_EQ(st.wSecond, 5);
    EXPECT_EQ(st.wMilliseconds, 477);

    FILETIME negative = Ft(0x8000000000000000ull);
    SetLastError(0);
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    for (SYSTEMTIME bad : {St(1600, 12, 31), St(30828, 1, 1), St(2011, 13, 1), St(2011, 2, 29), St(2011, 1, 1, 0, 0, 0, 1000)}) {
        FILETIME ft = Ft(0x1234);
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft)) << bad.wYear << "-" << bad.wMonth;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
}

TEST(FileTime, Compare) {
    FILETIME a = Ft(0x00000001FFFFFFFFull), b = Ft(0x0000000200000000ull);  // the high part decides
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &a), 1);
    EXPECT_EQ(CompareFileTime(&a, &a), 0);
}

// Sets TZ for one test and puts the old value back.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

TEST(FileTime, LocalFileTimeUsesTheBiasInForceNow) {
    skyvane::test::ScopedDeviceRoot root;
    ScopedTz tz("America/New_York");
    ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
    ASSERT_TRUE(skyvane::testclock::Freeze(true));
    const unsigned long long hour = 36000000000ull;
    SYSTEMTIME januaryNoon = St(2024, 1, 15, 12);
    FILETIME utc, local, back;
    ASSERT_TRUE(SystemTimeToFileTime(&januaryNoon, &utc));

    ASSERT_TRUE(skyvane::testclock::SetSystemTime(St(2024, 1, 20, 12)));  // winter: UTC-5
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Value(local), Value(utc) - 5 * hour);
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
    EXPECT_EQ(Value(back), Value(utc));

    // In summer the same January file time moves by the summer bias.
    ASSERT_TRUE(skyvane::testclock::SetSystemTime(St(2024, 7, 20, 12)));
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(Value(local), Value(utc) - 4 * hour);

    // West of Greenwich the epoch itself has no local file time: no wrap-around.
    FILETIME zero = Ft(0);
    SetLastError(0);
    EXPECT_FALSE(FileTimeToLocalFileTime(&zero, &local));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    skyvane::testclock::Disable();
}

}  // namespace
