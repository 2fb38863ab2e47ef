// Local time, time zones from the system's tz data, the tick count, and the test
// clock within one process.
#include "platform/kernel/win_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

#include "platform/kernel/process.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/tz_rule.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane;

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME st{};
    st.wYear = WORD(y);
    st.wMonth = WORD(mo);
    st.wDay = WORD(d);
    st.wHour = WORD(h);
    st.wMinute = WORD(mi);
    st.wSecond = WORD(s);
    st.wMilliseconds = WORD(ms);
    return st;
}

std::string Show(const SYSTEMTIME& st) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u (dow %u)", st.wYear, st.wMonth, st.wDay,
                  st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return text;
}

// Sets TZ for one test and puts the old value back.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
        setenv("TZ", tz, 1);  // no tzset(): the time functions must notice by themselves
    }
    ~ScopedTz() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
    }

private:
    std::string old_;
    bool had_ = false;
};

// A test clock in a fresh folder, frozen unless asked otherwise, switched off
// afterwards.
class ScopedTestClock {
public:
    explicit ScopedTestClock(bool frozen = true) {
        path_ = root_.path() + "/clock";
        EXPECT_TRUE(testclock::Enable(path_));
        if (frozen) {
            EXPECT_TRUE(testclock::Freeze(true));
        }
    }
    ~ScopedTestClock() { testclock::Disable(); }
    const std::string& path() const { return path_; }

private:
    test::ScopedDeviceRoot root_;
    std::string path_;
};

long long RealBootMs() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::u16string Name(const WCHAR* name) { return std::u16string(name); }

void ExpectRuleDate(const SYSTEMTIME& st, int year, int month, int dayOfWeek, int day, int hour) {
    EXPECT_EQ(st.wYear, year);
    EXPECT_EQ(st.wMonth, month);
    if (year == 0) {
        EXPECT_EQ(st.wDayOfWeek, dayOfWeek);
    }
    EXPECT_EQ(st.wDay, day);
    EXPECT_EQ(st.wHour, hour);
    EXPECT_EQ(st.wMinute, 0);
}

TEST(TimeZone, ZonesWithoutDaylightTime) {
    ScopedTestClock clock;
    ASSERT_TRUE(testclock::SetSystemTime(St(2024, 7, 1, 12)));
    {
        ScopedTz tz("UTC");
        TIME_ZONE_INFORMATION tzi;
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_UNKNOWN);
        EXPECT_EQ(tzi.Bias, 0);
        EXPECT_EQ(tzi.StandardDate.wMonth, 0);
    }
    {
        // Moscow had daylight time until 2011 and keeps UTC+3 all year now.
        ScopedTz tz("Europe/Moscow");
        TIME_ZONE_INFORMATION tzi;
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_UNKNOWN);
        EXPECT_EQ(tzi.Bias, -180);
        EXPECT_EQ(tzi.StandardBias, 0);
        EXPECT_EQ(tzi.StandardDate.wMonth, 0);
        EXPECT_EQ(tzi.DaylightDate.wMonth, 0);
        EXPECT_EQ(Name(tzi.StandardName), u"MSK");
    }
    {
        // A name that is neither a zone nor a rule: UTC, as the C library takes it.
        ScopedTz tz("Nowhere/Atlantis");
        TIME_ZONE_INFORMATION tzi;
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_UNKNOWN);
        EXPECT_EQ(tzi.Bias, 0);
    }
    EXPECT_EQ(GetTimeZoneInformation(nullptr), TIME_ZONE_ID_INVALID);
}

TEST(TimeZone, NewYorkInWinterAndSummer) {
    ScopedTz tz("America/New_York");
    ScopedTestClock clock;
    TIME_ZONE_INFORMATION tzi;
    ASSERT_TRUE(testclock::SetSystemTime(St(2024, 1, 15, 12)));
    EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_STANDARD);
    EXPECT_EQ(tzi.Bias, 300);
    EXPECT_EQ(tzi.StandardBias, 0);
    EXPECT_EQ(tzi.DaylightBias, -60);
    EXPECT_EQ(Name(tzi.StandardName), u"EST");
    EXPECT_EQ(Name(tzi.DaylightName), u"EDT");
    ExpectRuleDate(tzi.DaylightDate, 0, 3, 0, 2, 2);   // second Sunday of March, 2:00
    ExpectRuleDate(tzi.StandardDate, 0, 11, 0, 1, 2);  // first Sunday of November, 2:00

    ASSERT_TRUE(testclock::SetSystemTime(St(2024, 7, 15, 12)));
    EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_DAYLIGHT);
    EXPECT_EQ(tzi.Bias, 300);  // the standard bias, also in summer

    // The same rules written as a TZ text rather than a zone name.
    ScopedTz rule("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_DAYLIGHT);
    EXPECT_EQ(tzi.Bias, 300);
    EXPECT_EQ(tzi.DaylightBias, -60);
    ExpectRuleDate(tzi.DaylightDate, 0, 3, 0, 2, 2);
}

TEST(TimeZone, UnusualRules) {
    ScopedTestClock clock;
    ASSERT_TRUE(testclock::SetSystemTime(St(2024, 7, 15, 12)));
    TIME_ZONE_INFORMATION tzi;
    {
        // Dublin's rule calls winter (GMT) the daylight time; the platform's form
        // has summer time as daylight time with a negative bias.
        ScopedTz tz("Europe/Dublin");
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_DAYLIGHT);
        EXPECT_EQ(tzi.Bias, 0);
        EXPECT_EQ(tzi.DaylightBias, -60);
        EXPECT_EQ(Name(tzi.StandardName), u"GMT");
        EXPECT_EQ(Name(tzi.DaylightName), u"IST");
        ExpectRuleDate(tzi.DaylightDate, 0, 3, 0, 5, 1);   // last Sunday of March, 1:00
        ExpectRuleDate(tzi.StandardDate, 0, 10, 0, 5, 2);  // last Sunday of October, 2:00
        ASSERT_TRUE(testclock::SetSystemTime(St(2024, 1, 15, 12)));
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_STANDARD);
        ASSERT_TRUE(testclock::SetSystemTime(St(2024, 7, 15, 12)));
    }
    {
        // Israel starts summer time at "the fourth Thursday of March, 26:00",
        // which has no day-of-week form: this year's date is given instead
        // (Friday 29 March 2024, 2:00).
        ScopedTz tz("Asia/Jerusalem");
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_DAYLIGHT);
        EXPECT_EQ(tzi.Bias, -120);
        ExpectRuleDate(tzi.DaylightDate, 2024, 3, 0, 29, 2);
        ExpectRuleDate(tzi.StandardDate, 0, 10, 0, 5, 2);
    }
    {
        // Lord Howe Island moves its clocks by half an hour; in July it is winter there.
        ScopedTz tz("Australia/Lord_Howe");
        EXPECT_EQ(GetTimeZoneInformation(&tzi), TIME_ZONE_ID_STANDARD);
        EXPECT_EQ(tzi.Bias, -630);
        EXPECT_EQ(tzi.DaylightBias, -30);
        ExpectRuleDate(tzi.DaylightDate, 0, 10, 0, 1, 2);
        ExpectRuleDate(tzi.StandardDate, 0, 4, 0, 1, 2);
    }
}

TEST(TimeZone, PosixRuleTexts) {
    PosixTz z;
    ASSERT_TRUE(ParsePosixTz("<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", z));
    EXPECT_EQ(z.stdName, "+1030");
    EXPECT_EQ(z.stdWest, -37800);
    EXPECT_EQ(z.dstWest, -39600);
    ASSERT_TRUE(ParsePosixTz("<-02>2<-01>,M3.5.0/-1,M10.5.0/0", z));
    EXPECT_EQ(z.start.seconds, -3600);  // an hour before midnight of the day named
    EXPECT_EQ(z.dstWest, 3600);         // an hour east of standard time by default
    ASSERT_TRUE(ParsePosixTz("CET-1CEST,J60/2,300/3", z));
    EXPECT_EQ(z.start.kind, TzTransitionRule::JulianNoLeap);
    EXPECT_EQ(z.end.kind, TzTransitionRule::JulianZero);
    // J60 is 1 March even in a leap year; day 59 counted from 0 is 29 February then.
    long long y;
    int m, d;
    CivilFromDays(TransitionLocalDays(z.start, 2024), y, m, d);
    EXPECT_EQ(m * 100 + d, 301);
    TzTransitionRule zeroBased{TzTransitionRule::JulianZero, 0, 0, 0, 59, 7200};
    CivilFromDays(TransitionLocalDays(zeroBased, 2024), y, m, d);
    EXPECT_EQ(m * 100 + d, 229);
    for (const char* bad : {"", "E5", "EST", "EST5EDT,M13.1.0,M11.1.0", "EST5EDT,M3.2.0", "EST5EDT,M3.6.0,M11.1.0",
                            "<EST5", "EST25"})
        EXPECT_FALSE(ParsePosixTz(bad, z)) << bad;
    EXPECT_EQ(TzifFooter("TZif2 but far too short"), "");
}

TEST(LocalTime, FollowsTheZoneAndItsChanges) {
    ScopedTz tz("America/New_York");
    ScopedTestClock clock;
    SYSTEMTIME local, utc;

    ASSERT_TRUE(testclock::SetSystemTime(St(2024, 1, 15, 12, 30, 15, 250)));
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(Show(utc), "2024-01-15 12:30:15.250 (dow 1)");
    EXPECT_EQ(Show(local), "2024-01-15 07:30:15.250 (dow 1)");

    ASSERT_TRUE(testclock::SetLocalTime(St(2024, 7, 4, 23, 0)));
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(Show(local), "2024-07-04 23:00:00.000 (dow 4)");
    EXPECT_EQ(Show(utc), "2024-07-05 03:00:00.000 (dow 5)");  // UTC-4 in summer

    // 2:30 on 10 March 2024 never happened in New York; it is read with the
    // winter offset and shows as 3:30 summer time.
    ASSERT_TRUE(testclock::SetLocalTime(St(2024, 3, 10, 2, 30)));
    GetSystemTime(&utc);
    GetLocalTime(&local);
    EXPECT_EQ(Show(utc), "2024-03-10 07:30:00.000 (dow 0)");
    EXPECT_EQ(Show(local), "2024-03-10 03:30:00.000 (dow 0)");

    // 1:30 on 3 November 2024 happened twice; the first (summer time) is taken.
    ASSERT_TRUE(testclock::SetLocalTime(St(2024, 11, 3, 1, 30)));
    GetSystemTime(&utc);
    EXPECT_EQ(Show(utc), "2024-11-03 05:30:00.000 (dow 0)");

    EXPECT_FALSE(testclock::SetLocalTime(St(2024, 2, 30)));  // no such day
}

TEST(LocalTime, RealClocksWithoutTestClock) {
    testclock::Disable();
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    long long ms;
    ASSERT_TRUE(SystemTimeToUnixMs(utc, ms));
    long long real = static_cast<long long>(std::time(nullptr)) * 1000;
    EXPECT_LT(std::llabs(ms - real), 2000);

    // Milliseconds since boot, not since some other start.
    long long boot = RealBootMs();
    ULONGLONG tick64 = GetTickCount64();
    EXPECT_LT(std::llabs(static_cast<long long>(tick64) - boot), 1000);
    EXPECT_EQ(GetTickCount() - DWORD(tick64) < 1000u, true);
}

TEST(TestClock, FrozenClockMovesOnlyWhenTold) {
    ScopedTestClock clock;
    ASSERT_TRUE(testclock::IsFrozen());
    ASSERT_TRUE(testclock::SetSystemTime(St(2011, 10, 22, 16, 50)));
    ASSERT_TRUE(testclock::SetTickCount(180000));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    EXPECT_EQ(Show(utc), "2011-10-22 16:50:00.000 (dow 6)");
    EXPECT_EQ(GetTickCount(), 180000u);

    ASSERT_TRUE(testclock::Advance(90061001));  // one day, one hour, one minute, one second, 1 ms
    GetSystemTime(&utc);
    EXPECT_EQ(Show(utc), "2011-10-23 17:51:01.001 (dow 0)");
    EXPECT_EQ(GetTickCount(), 180000u + 90061001u);

    // Sleep under a frozen clock advances it instead of waiting.
    auto start = std::chrono::steady_clock::now();
    Sleep(3600000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(GetTickCount(), 180000u + 90061001u + 3600000u);
}

TEST(TestClock, TickCountWrapsAsADword) {
    ScopedTestClock clock;
    ASSERT_TRUE(testclock::SetTickCount(0xFFFFFFFFu - 10));
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu - 10);
    ASSERT_TRUE(testclock::Advance(20));
    EXPECT_EQ(GetTickCount(), 9u);
    EXPECT_EQ(GetTickCount64(), 0x100000009ull);
}

TEST(TestClock, RunningClockAndUnfreezing) {
    ScopedTestClock clock(false);
    ASSERT_FALSE(testclock::IsFrozen());
    ASSERT_TRUE(testclock::SetTickCount(1000));
    Sleep(60);  // a running clock sleeps for real
    DWORD t = GetTickCount();
    EXPECT_GE(t, 1060u);
    EXPECT_LT(t, 1000u + 60000u);

    // Unfreezing runs on from the frozen reading rather than jumping by the
    // time spent frozen.
    ASSERT_TRUE(testclock::Freeze(true));
    ULONGLONG frozen = GetTickCount64();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(GetTickCount64(), frozen);
    ASSERT_TRUE(testclock::Freeze(false));
    ULONGLONG after = GetTickCount64();
    EXPECT_GE(after, frozen);
    EXPECT_LT(after, frozen + 300);
}

TEST(TestClock, HandWrittenBrokenAndMissingFiles) {
    ScopedTestClock clock(false);
    long long dayMs = 86400000;
    {
        std::ofstream(clock.path()) << "# written by hand\nversion=1\ntime_offset_ms=" << dayMs << "\n";
    }
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    long long ms;
    ASSERT_TRUE(SystemTimeToUnixMs(utc, ms));
    long long real = static_cast<long long>(std::time(nullptr)) * 1000;
    EXPECT_LT(std::llabs(ms - (real + dayMs)), 2000);

    // A garbled or missing file falls back to the real clocks.
    for (const char* text : {"version=1\ntime_offset_ms=12x\n", "time_offset_ms=5\n", "version=2\n", "",
                             "version=1\nfrozen=1\nfuture_key=3\n"}) {
        std::ofstream(clock.path()) << text;
        GetSystemTime(&utc);
        ASSERT_TRUE(SystemTimeToUnixMs(utc, ms));
        EXPECT_LT(std::llabs(ms - static_cast<long long>(std::time(nullptr)) * 1000), 2000) << text;
        EXPECT_LT(std::llabs(static_cast<long long>(GetTickCount64()) - RealBootMs()), 1000) << text;
    }
    std::remove(clock.path().c_str());
    EXPECT_LT(std::llabs(static_cast<long long>(GetTickCount64()) - RealBootMs()), 1000);
    EXPECT_FALSE(testclock::Advance(1000));  // nothing to move; no file is made
    std::ifstream gone(clock.path());
    EXPECT_FALSE(gone.good());

    testclock::Disable();
    EXPECT_FALSE(testclock::Advance(1000));
    EXPECT_EQ(testclock::Path(), "");
}

}  // namespace
