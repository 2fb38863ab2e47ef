// The values by which processes keep update runs apart, all in the settings
// key: the 10-minute lease `IsUpdateInProgressTime` (the local time at which
// the run now in progress last renewed it; 0 = none), `DisableOnInstallTime`
// (non-zero while the installer works: every run stops at its next check),
// and the start of a run over all cities.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/settings_key.h"

namespace skyvane::plugin {

// Ten minutes as a fraction of a day.
inline constexpr double kUpdateLeaseDays = 0.006944444444444445;

// Whether a run is in progress at `now`: the mark is set and now lies
// within the ten minutes after it. A mark in the future or older than that
// is stale: it is cleared and no run is in progress.
bool UpdateInProgress(SettingsKey& key, double now);
// Writes the local time into the mark.
void MarkUpdateInProgress(SettingsKey& key);
void ClearUpdateInProgress(SettingsKey& key);

bool InstallInProgress(const SettingsKey& key);

// The start of a run over all cities: `LastFullUpdateState` = the network
// state, `NextUpdateDateAfterChangePhoneState` cleared, `LastFullUpdateDate`
// = now.
void RecordFullUpdateStart(SettingsKey& key, int32_t networkState, double now);

// An OLE date for a log line: "2026-03-07 08:00:05"; "none" for 0.
std::string LogDate(double date);

}  // namespace skyvane::plugin
