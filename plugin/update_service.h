// The background update process: the UI program started with "Service"
// (at device start through the StartUp shortcut, or by the watchdog of the
// home item) loops every five seconds, asks for an update of all cities when
// the schedule says it is time, and refreshes the exchange values now and
// then. At most one such process lives: each one stamps
// `ServiceLastTickCount` at every round and ends when it finds another
// process's stamp; it also ends when every schedule is manual or the
// installer works. The watchdog, run by every change poll of the home item,
// starts a new one when the stamp is older than three minutes.
#pragma once

#include <functional>
#include <memory>

#include "plugin/connection_policy.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr DWORD kServiceStampTimeoutMs = 180000;
inline constexpr int kServiceRoundSeconds = 5;
inline constexpr double kRefreshPeriodDays = 45.0 / 1440;

class UpdateService {
public:
    UpdateService(std::shared_ptr<SettingsKey> key, const InstallKeys& install, ConnectionPolicy& connection);

    // RunUpdateService: the loop; returns when it ends.
    HRESULT Run();
    // Asked every second of the loop: true ends it (a person running the
    // process in the foreground asked it to stop).
    void SetStopCheck(std::function<bool()> stopRequested) { stopRequested_ = std::move(stopRequested); }
    // One check: when it is time (and the connection policy allows), asks
    // for an update of all cities. Whether it did.
    bool CheckAndUpdate();

private:
    std::shared_ptr<SettingsKey> key_;
    const InstallKeys& install_;
    ConnectionPolicy& connection_;
    int32_t jitterSeconds_;
    std::function<bool()> stopRequested_;
};

// The periodic refresh, at most every 45 minutes (`LastCleanupDate`): the
// exchange values of the current city are written again.
void PeriodicRefresh(const std::shared_ptr<SettingsKey>& key);

// The watchdog: starts the background update process when it is missing.
void WatchService(SettingsKey& key, const InstallKeys& install);

}  // namespace skyvane::plugin
