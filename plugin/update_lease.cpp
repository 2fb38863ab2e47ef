#include "plugin/update_lease.h"

#include <cstdio>

#include "platform/oleaut/ole_date.h"
#include "plugin/city_weather.h"

namespace skyvane::plugin {

bool UpdateInProgress(SettingsKey& key, double now) {
    double mark = key.ReadDate(u"IsUpdateInProgressTime", 0);
    if (mark == 0) return false;
    if (mark <= now && now <= mark + kUpdateLeaseDays) return true;
    ClearUpdateInProgress(key);
    return false;
}

void MarkUpdateInProgress(SettingsKey& key) { key.WriteDate(u"IsUpdateInProgressTime", LocalNow()); }

void ClearUpdateInProgress(SettingsKey& key) { key.WriteDate(u"IsUpdateInProgressTime", 0); }

bool InstallInProgress(const SettingsKey& key) { return key.ReadNumber(u"DisableOnInstallTime", 0) != 0; }

void RecordFullUpdateStart(SettingsKey& key, int32_t networkState, double now) {
    key.WriteNumber(u"LastFullUpdateState", networkState);
    key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);
    key.WriteDate(u"LastFullUpdateDate", now);
}

std::string LogDate(double date) {
    SYSTEMTIME st{};
    if (date == 0 || !VariantTimeToSystemTime(date, &st)) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return text;
}

}  // namespace skyvane::plugin
