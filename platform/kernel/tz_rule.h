// The time zone rule in force: the POSIX TZ form ("EST5EDT,M3.2.0,M11.1.0") that
// either TZ holds itself or the zone's tz data file carries at its end for all
// times after its last listed change.
#pragma once

#include <string>
#include <string_view>

namespace skyvane {

// One change between standard and daylight time, as the rule states it.
struct TzTransitionRule {
    enum Kind { MonthWeekDay, JulianNoLeap, JulianZero };
    Kind kind = MonthWeekDay;
    int month = 0;    // MonthWeekDay: 1..12
    int week = 0;     // 1..5, 5 = the last such weekday of the month
    int weekday = 0;  // 0 = Sunday
    int day = 0;      // JulianNoLeap: 1..365, 29 February never counted; JulianZero: 0..365
    long seconds = 7200;  // local wall-clock time of the change, may lie outside the day
};

struct PosixTz {
    std::string stdName, dstName;
    long stdWest = 0;  // seconds to add to local standard time to get UTC
    long dstWest = 0;
    bool hasDst = false;
    TzTransitionRule start, end;  // into and out of the rule's daylight time
};

// Parses a POSIX TZ text; false when it is not one.
bool ParsePosixTz(std::string_view text, PosixTz& zone);
// The rule text at the end of a tz data (TZif version 2 or later) file's
// contents; empty when there is none.
std::string TzifFooter(std::string_view contents);
// The rule of the zone named by TZ, or of /etc/localtime when TZ is unset. An
// empty TZ, or one that names no zone and is no rule, gives UTC, as the C
// library takes it. False only when the zone's tz data has no rule for the
// future.
bool CurrentZoneRule(PosixTz& zone);
// Days since 1970-01-01 of the day on which the change falls in that year.
long long TransitionLocalDays(const TzTransitionRule& rule, int year);

}  // namespace skyvane
