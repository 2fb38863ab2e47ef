// What the schedule page and the manual-update reminder store, as the
// dialogs (and command-line programs) use it.
//
// The schedule page stores the four intervals and the daily window, asks
// before roaming gets automatic updates, stamps `LastOptionTime` and
// rewrites the StartUp shortcut. Storing a manual interval (0) also arms the
// reminder for tomorrow (`UpdateManual` 0, `UpdateManualDelay` now + 1 day).
//
// The reminder asks, when a details window opens and updates are manual,
// whether to update now. `UpdateManual`: 0 ask after `UpdateManualDelay`,
// 1 never ask again, 2 ask every time, 3 ask after `UpdateManualDelay`.
#pragma once

#include <cstdint>
#include <memory>

#include "plugin/connection_policy.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

struct ScheduleChoice {
    int32_t cellular = 120;  // minutes, or a schedule choice value (0 manual, 1440+ daily)
    int32_t roaming = 0;
    int32_t cradled = 120;
    int32_t wifi = 120;
    int windowStartHour = 0, windowStartMinute = 0;
    int windowEndHour = 23, windowEndMinute = 59;
};

ScheduleChoice ReadScheduleChoice(const SettingsKey& key);

// Stores the interval of a network state when it differs from the one in
// force; a manual one (0) arms the reminder for the day after `now`.
void StoreInterval(SettingsKey& key, int32_t networkState, int32_t minutes, double now);

// The schedule page on OK. Roaming going from manual to automatic is asked
// first; without a Yes it stays manual.
void StoreSchedule(SettingsKey& key, const InstallKeys& install, Prompt& prompt, const ScheduleChoice& choice);

enum class ReminderChoice { UpdateNow, NeverAsk, AskNextTime, AskTomorrow };

// Whether the reminder is shown: lastUpdate is the current city's last
// update (an OLE date; 0 or 999999.0 when never), now the local time.
bool ShouldRemindManualUpdate(SettingsKey& key, int32_t networkState, double lastUpdate, double now);
// Stores the reminder's choice (on OK).
void StoreReminderChoice(SettingsKey& key, ReminderChoice choice, double now);
// After the reminder's OK: with "Update weather now" chosen and connecting
// allowed (the user is asked as the connection policy says), the roaming
// question and then an update of all cities. Whether one was requested.
bool UpdateAfterReminder(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install,
                         ConnectionPolicy& connection);

}  // namespace skyvane::plugin
