#include "platform/kernel/win_time.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/kernel/handles.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/tz_rule.h"

namespace skyvane {

namespace {
constexpr long long kMsPerDay = 86400000LL;

long long FloorDiv(long long a, long long b) {
    long long q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Civil-date algorithms on 400-year eras (the Gregorian cycle of 146097 days),
// valid for any year.
long long DaysFromCivil(long long year, int month, int day) {
    year -= month <= 2;
    long long era = FloorDiv(year, 400);
    long long yoe = year - era * 400;                                   // [0, 399]
    long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;  // [0, 365]
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;              // [0, 146096]
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long days, long long& year, int& month, int& day) {
    days += 719468;
    long long era = FloorDiv(days, 146097);
    long long doe = days - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = yoe + era * 400 + (month <= 2);
}

int DayOfWeek(long long days) {
    // 1 January 1970 was a Thursday.
    long long w = (days + 4) % 7;
    return int(w < 0 ? w + 7 : w);
}

bool SystemTimeToUnixMs(const SYSTEMTIME& st, long long& ms) {
    if (st.wMonth < 1 || st.wMonth > 12) return false;
    if (st.wDay < 1 || st.wDay > DaysInMonth(st.wYear, st.wMonth)) return false;
    if (st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999) return false;
    ms = DaysFromCivil(st.wYear, st.wMonth, st.wDay) * kMsPerDay +
         ((st.wHour * 60LL + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
    return true;
}

SYSTEMTIME UnixMsToSystemTime(long long ms) {
    long long days = FloorDiv(ms, kMsPerDay);
    long long rest = ms - days * kMsPerDay;
    long long year;
    int month, day;
    CivilFromDays(days, year, month, day);
    SYSTEMTIME st{};
    st.wYear = WORD(year);
    st.wMonth = WORD(month);
    st.wDay = WORD(day);
    st.wDayOfWeek = WORD(DayOfWeek(days));
    st.wHour = WORD(rest / 3600000);
    st.wMinute = WORD(rest / 60000 % 60);
    st.wSecond = WORD(rest / 1000 % 60);
    st.wMilliseconds = WORD(rest % 1000);
    return st;
}

long long UtcOffsetMs(long long utcMs) {
    // localtime_r does not look at TZ again by itself; tzset does, cheaply when
    // TZ has not changed.
    tzset();
    time_t t = time_t(FloorDiv(utcMs, 1000));
    struct tm tm {};
    if (!localtime_r(&t, &tm)) return 0;
    return static_cast<long long>(tm.tm_gmtoff) * 1000;
}

long long UtcToLocalMs(long long utcMs) { return utcMs + UtcOffsetMs(utcMs); }

long long LocalToUtcMs(long long localMs) {
    // The offsets a day before and after bracket any change near this wall time.
    long long before = UtcOffsetMs(localMs - kMsPerDay);
    long long after = UtcOffsetMs(localMs + kMsPerDay);
    long long first = localMs - before, second = localMs - after;
    bool firstOk = UtcOffsetMs(first) == before;
    bool secondOk = UtcOffsetMs(second) == after;
    if (firstOk && secondOk) return first < second ? first : second;  // repeated hour: the earlier
    if (firstOk) return first;
    if (secondOk) return second;
    return first;  // skipped hour: read with the offset in force before it
}

}  // namespace skyvane

using namespace skyvane;

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return;
    *lpSystemTime = UnixMsToSystemTime(UtcToLocalMs(ReadClock().utcMs));
}

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return;
    *lpSystemTime = UnixMsToSystemTime(ReadClock().utcMs);
}

DWORD GetTickCount() { return DWORD(ReadClock().tickMs); }

ULONGLONG GetTickCount64() { return ULONGLONG(ReadClock().tickMs); }

namespace {

void CopyName(WCHAR (&dst)[32], const std::string& name) {
    size_t n = 0;
    for (; n < name.size() && n < 31; ++n) dst[n] = WCHAR(static_cast<unsigned char>(name[n]));
    dst[n] = 0;
}

// A change of the rule in the platform's form: the day-of-week occurrence form
// when the rule is one and its time lies within the day, else this year's date.
SYSTEMTIME TransitionDate(const TzTransitionRule& rule, int year) {
    SYSTEMTIME st{};
    if (rule.kind == TzTransitionRule::MonthWeekDay && rule.seconds >= 0 && rule.seconds < 86400) {
        st.wMonth = WORD(rule.month);
        st.wDay = WORD(rule.week);
        st.wDayOfWeek = WORD(rule.weekday);
        st.wHour = WORD(rule.seconds / 3600);
        st.wMinute = WORD(rule.seconds / 60 % 60);
        st.wSecond = WORD(rule.seconds % 60);
        return st;
    }
    long long ms = TransitionLocalDays(rule, year) * 86400000LL + rule.seconds * 1000LL;
    return UnixMsToSystemTime(ms);
}

}  // namespace

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION tzi) {
    if (!tzi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return TIME_ZONE_ID_INVALID;
    }
    *tzi = TIME_ZONE_INFORMATION{};
    long long now = ReadClock().utcMs;

    PosixTz zone;
    if (!CurrentZoneRule(zone)) {
        // No rule for the future in the tz data: describe the zone as it is now.
        long long offset = UtcOffsetMs(now);
        tzi->Bias = LONG(-offset / 60000);
        tzset();
        time_t t = time_t(now / 1000);
        struct tm tm {};
        localtime_r(&t, &tm);
        CopyName(tzi->StandardName, tm.tm_zone ? tm.tm_zone : "");
        CopyName(tzi->DaylightName, tm.tm_zone ? tm.tm_zone : "");
        return TIME_ZONE_ID_UNKNOWN;
    }

    if (!zone.hasDst) {
        tzi->Bias = LONG(zone.stdWest / 60);
        CopyName(tzi->StandardName, zone.stdName);
        CopyName(tzi->DaylightName, zone.stdName);
        return TIME_ZONE_ID_UNKNOWN;
    }

    int year = UnixMsToSystemTime(UtcToLocalMs(now)).wYear;
    // The rule's "summer" time is the time further east. Zones whose rule calls
    // winter the daylight time (Europe/Dublin) are turned round, so that the
    // daylight bias is negative as the platform expects.
    bool inverted = zone.dstWest > zone.stdWest;
    const std::string& standardName = inverted ? zone.dstName : zone.stdName;
    const std::string& daylightName = inverted ? zone.stdName : zone.dstName;
    long standardWest = inverted ? zone.dstWest : zone.stdWest;
    long daylightWest = inverted ? zone.stdWest : zone.dstWest;
    const TzTransitionRule& toDaylight = inverted ? zone.end : zone.start;
    const TzTransitionRule& toStandard = inverted ? zone.start : zone.end;

    tzi->Bias = LONG(standardWest / 60);
    tzi->StandardBias = 0;
    tzi->DaylightBias = LONG((daylightWest - standardWest) / 60);
    CopyName(tzi->StandardName, standardName);
    CopyName(tzi->DaylightName, daylightName);
    tzi->StandardDate = TransitionDate(toStandard, year);
    tzi->DaylightDate = TransitionDate(toDaylight, year);

    // Which half of the year we are in: the rule's offset in force now.
    long long offsetWest = -UtcOffsetMs(now) / 1000;
    return offsetWest == daylightWest ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}
