// Clock and time zone: the local and UTC time of day, milliseconds since boot,
// and the time zone in the platform's TIME_ZONE_INFORMATION form, read from the
// system's tz data (TZ respected). All of them go through the test clock when
// one is enabled (platform/testclock.h).
#pragma once

#include "platform/base/win_types.h"

// UTC = local time + Bias (minutes). The bias in effect is Bias + StandardBias
// or Bias + DaylightBias, as the result of GetTimeZoneInformation says.
struct TIME_ZONE_INFORMATION {
    LONG Bias;
    WCHAR StandardName[32];
    SYSTEMTIME StandardDate;  // wMonth 0: the zone keeps standard time all year
    LONG StandardBias;
    WCHAR DaylightName[32];
    SYSTEMTIME DaylightDate;
    LONG DaylightBias;
};
typedef TIME_ZONE_INFORMATION* LPTIME_ZONE_INFORMATION;

#define TIME_ZONE_ID_UNKNOWN 0u
#define TIME_ZONE_ID_STANDARD 1u
#define TIME_ZONE_ID_DAYLIGHT 2u
#define TIME_ZONE_ID_INVALID 0xFFFFFFFFu

void GetLocalTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);
// The transition dates are in the "day-of-week occurrence" form (wYear 0, wMonth,
// wDayOfWeek, wDay 1..5 where 5 is the last such weekday of the month, and the
// local wall-clock hour of the change) whenever the zone's rule can be written
// that way; otherwise they are this year's absolute dates (wYear set).
// TIME_ZONE_ID_UNKNOWN when the zone has no daylight saving rule (or is unknown:
// it is then taken as UTC).
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION lpTimeZoneInformation);
// Milliseconds since boot; wraps to 0 after 49.7 days as the platform's does.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

namespace skyvane {
// Proleptic Gregorian calendar arithmetic, shared by the date conversions.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12
// Days since 1 January 1970 of a civil date, and back (any year, no checks).
long long DaysFromCivil(long long year, int month, int day);
void CivilFromDays(long long days, long long& year, int& month, int& day);
// 0 = Sunday.
int DayOfWeek(long long days);

// A SYSTEMTIME (wDayOfWeek ignored) as milliseconds since 1970-01-01 00:00, no
// time zone involved. False for fields out of range (month, day of month, hour,
// minute, second, milliseconds); the year is not limited here.
bool SystemTimeToUnixMs(const SYSTEMTIME& st, long long& ms);
// The calendar fields of milliseconds since 1970, wDayOfWeek filled in.
SYSTEMTIME UnixMsToSystemTime(long long ms);

// Milliseconds since 1970 UTC <-> local wall-clock milliseconds, by the tz rules
// in force at that moment. A local time that falls into the gap of a spring
// change is read with the offset in force before it.
long long UtcToLocalMs(long long utcMs);
long long LocalToUtcMs(long long localMs);
// Offset of local time from UTC in milliseconds at the given moment (east positive).
long long UtcOffsetMs(long long utcMs);
}  // namespace skyvane
