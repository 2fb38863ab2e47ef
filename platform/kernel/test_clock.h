// The test clock: lets tests set and move the local time and the tick count of
// this process and of every child it starts.
//
// SKYVANE_TEST_CLOCK names a small text file holding offsets to the real clocks
// (and, when frozen, the real readings at which the clocks stopped). Every
// process that has the variable reads the file at each time call, so a test can
// move the clock of a child that is already running. A missing or garbled file
// counts as no test clock: the real clocks are used and a line is logged once.
// The file format is described in docs/test_clock.md.
#pragma once

#include <string>

#include "platform/base/win_types.h"

namespace skyvane {
// What every time function reads: the real clocks as moved by the test clock.
struct ClockReading {
    long long utcMs;   // milliseconds since 1970-01-01 UTC
    long long tickMs;  // milliseconds since boot, never below 0
};
ClockReading ReadClock();
}  // namespace skyvane

namespace skyvane::testclock {
#define SKYVANE_TEST_CLOCK_VAR "SKYVANE_TEST_CLOCK"

// Starts a test clock in the file (created or overwritten: no offsets, not
// frozen) and sets SKYVANE_TEST_CLOCK so that this process and its future
// children follow it. False when the file cannot be written.
bool Enable(const std::string& path);
// Clears SKYVANE_TEST_CLOCK in this process; the file is left to its owner.
void Disable();
// The file named by SKYVANE_TEST_CLOCK, or empty.
std::string Path();

// Each of these changes the file named by SKYVANE_TEST_CLOCK under a lock, so
// that several processes may move the same clock; false when no test clock is
// enabled, the file cannot be written, or the time given is invalid.
//
// Sets the local time (the tick count keeps running on its own).
bool SetLocalTime(const SYSTEMTIME& localTime);
bool SetSystemTime(const SYSTEMTIME& utcTime);
// Moves both the time and the tick count by ms (may be negative).
bool Advance(long long ms);
bool SetTickCount(DWORD tickCount);
// A frozen clock stands still until it is advanced; unfreezing lets it run on
// from where it stood.
bool Freeze(bool frozen);
bool IsFrozen();

// Sleep under a frozen test clock advances the clock by ms instead of waiting;
// returns whether it did.
bool SleepAdvances(DWORD ms);
}  // namespace skyvane::testclock
