// The update schedule: how often all cities are fetched again, by the
// network state of the device, inside an optional daily window, or once a
// day at a fixed hour.
//
// Intervals (minutes, one value per network state): `UpdateTime` (cellular,
// default 120), `UpdateTimeRoaming` (0), `UpdateTimeCradled` (120),
// `UpdateTimeWiFi` (120). 0 and 1 are manual, 2..1439 minutes between
// updates, 1440 and more daily at hour (value - 1440); a negative value reads
// as 0 and one above 2880 as 1440. The window: `UpdateTimeAfter` and
// `UpdateTimeBefore`, each hour * 65536 + minute; 00:00 as start and 23:59 as
// end mean no limit.
#pragma once

#include <cstdint>

#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr int32_t kDefaultUpdateInterval = 120;
inline constexpr int32_t kWindowNoEnd = 0x17003B;  // 23:59
inline constexpr double kMinuteDays = 1.0 / 1440;

// The value name of a network state's interval.
const char16_t* IntervalValueName(int32_t networkState);
int32_t DefaultInterval(int32_t networkState);
// A stored interval as it is used.
int32_t ClampInterval(int32_t stored);
int32_t IntervalForState(const SettingsKey& key, int32_t networkState);
// All four intervals are 0: no automatic updates at all.
bool AllManual(const SettingsKey& key);

// A window value (hour * 65536 + minute) as a time of day (a fraction of a day).
double WindowTimeOfDay(int32_t packed);
int32_t PackWindowTime(int hour, int minute);
// Moves the candidate time t of an interval schedule into the daily window:
// before the start of t's day it goes to the start; past the end it goes to
// the start of the day after `now`'s (midnight without a start).
double ApplyWindow(double t, double now, int32_t after, int32_t before);

// The seconds added to a daily update time so that devices do not all ask at
// the same second: 1..58, from a tick count.
int32_t DailyJitterSeconds(DWORD tickCount);
// The same, taken once per process.
int32_t ProcessJitterSeconds();

// The time of the next automatic update (an OLE date), or 0 when updates
// are manual in the present network state. Follows changes of the network
// state (`LastPhoneState`): after a change the next update comes at the
// interval after the last success, but not before two minutes from now.
double NextUpdateTime(SettingsKey& key, double now, int32_t networkState, int32_t jitterSeconds);

}  // namespace skyvane::plugin
