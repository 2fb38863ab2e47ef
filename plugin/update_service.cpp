#include "plugin/update_service.h"

#include "platform/kernel/device_profile.h"
#include "platform/kernel/process.h"
#include "platform/kernel/win_time.h"
#include "plugin/city_weather.h"
#include "plugin/exchange.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "plugin/schedule.h"
#include "plugin/startup_shortcut.h"
#include "plugin/ui_launcher.h"
#include "plugin/update_lease.h"
#include "plugin/update_request.h"
#include "plugin/update_run.h"
#include "ui/text_ids.h"

namespace skyvane::plugin {

UpdateService::UpdateService(std::shared_ptr<SettingsKey> key, const InstallKeys& install,
                             ConnectionPolicy& connection)
    : key_(std::move(key)), install_(install), connection_(connection), jitterSeconds_(ProcessJitterSeconds()) {}

HRESULT UpdateService::Run() {
    SettingsKey& key = *key_;
    LogTableText(false, ui::text::kUpdateProcessStarted);
    WriteStartupShortcut(key, install_, false);
    ClearUpdateInProgress(key);
    for (;;) {
        // This process stands in for the platform's state notifications:
        // the network state it schedules by is brought up to date each round.
        skyvane::RefreshSystemState();
        const DWORD round = GetTickCount();
        key.WriteStamp(u"ServiceLastTickCount", round);
        for (int second = 0; second < kServiceRoundSeconds; ++second) {
            if (AllManual(key)) {
                PLUGIN_LOG_ERROR("Auto update disabled.");
                return S_OK;
            }
            if (InstallInProgress(key)) {
                PLUGIN_LOG_ERROR("Install in progress. ServiceForWeatherUpdate closed.");
                return S_OK;
            }
            if (stopRequested_ && stopRequested_()) {
                PLUGIN_LOG("Weather update process stopped by the user.");
                return S_OK;
            }
            Sleep(1000);
        }
        const DWORD stored = key.ReadStamp(u"ServiceLastTickCount", 0);
        if (stored != round) {
            PLUGIN_LOG("Weather update process stopped because other process started. Old tick count is %d. "
                       "Current tick count is %d",
                       int(round), int(stored));
            return S_OK;
        }
        CheckAndUpdate();
        if (!UpdateInProgress(key, LocalNow())) PeriodicRefresh(key_);
    }
}

bool UpdateService::CheckAndUpdate() {
    SettingsKey& key = *key_;
    const double now = LocalNow();
    const int32_t state = ReadNetworkState();
    const double next = NextUpdateTime(key, now, state, jitterSeconds_);
    if (next <= 1.0 || next > now + kMinuteDays) return false;
    if (!connection_.MayConnect(false)) return false;
    PLUGIN_LOG("It is time to update weather: %s.", LogDate(next).c_str());
    key.WriteDate(u"LastFailedUpdateDate", 0);
    RecordFullUpdateStart(key, state, now);
    if (!key.ReadText(u"CityCode0", u"").empty()) RequestUpdate(key_, install_, kUpdateAllCode);
    PLUGIN_LOG("Next time to update weather: %s.",
               LogDate(NextUpdateTime(key, LocalNow(), ReadNetworkState(), jitterSeconds_)).c_str());
    return true;
}

void PeriodicRefresh(const std::shared_ptr<SettingsKey>& sharedKey) {
    SettingsKey& key = *sharedKey;
    const double now = LocalNow();
    double last = key.ReadDate(u"LastCleanupDate", 0);
    if (last > now + 10 * kRefreshPeriodDays) {
        last = now;
        key.WriteDate(u"LastCleanupDate", last);
    }
    if (now < last + kRefreshPeriodDays) return;
    key.WriteDate(u"LastCleanupDate", now);
    // The plugin is never on the sliding panel here: no panel pages to write.
    WriteCurrentCityExchange(sharedKey);
}

void WatchService(SettingsKey& key, const InstallKeys& install) {
    if (InstallInProgress(key) || AllManual(key)) return;
    const DWORD now = GetTickCount();
    if (now < kServiceStampTimeoutMs) return;
    const DWORD stamp = key.ReadStamp(u"ServiceLastTickCount", 0);
    // A stamp ahead of the tick count is from before the device restarted.
    if (stamp != 0 && now - stamp < kServiceStampTimeoutMs) return;
    PLUGIN_LOG("Detected missed service. Current tick count is %d, registry tick count is %d", int(now), int(stamp));
    key.WriteStamp(u"ServiceLastTickCount", now);
    DWORD error = StartUiProgram(install, kCommandService);
    if (error != ERROR_SUCCESS) {
        LogTableText(true, ui::text::kUpdateProcessFailed);
        PLUGIN_LOG_ERROR("Failed run %s with error %x", LogText(install.UiProgram()).c_str(), unsigned(error));
    } else {
        LogTableText(false, ui::text::kUpdateProcessWillStart);
    }
}

}  // namespace skyvane::plugin
