#include "plugin/schedule.h"

#include <cmath>

#include "platform/kernel/win_time.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "plugin/update_lease.h"

namespace skyvane::plugin {
namespace {

constexpr double kStateInitDelay = 2 * kMinuteDays;
constexpr double kChangedTimeSpan = 30 * kMinuteDays;
constexpr int32_t kNoLastState = -1;

std::string StateName(int32_t state) { return LogText(NetworkStateName(state)); }

}  // namespace

const char16_t* IntervalValueName(int32_t networkState) {
    switch (networkState) {
    case kStateCradled: return u"UpdateTimeCradled";
    case kStateWiFi: return u"UpdateTimeWiFi";
    case kStateRoaming: return u"UpdateTimeRoaming";
    default: return u"UpdateTime";
    }
}

int32_t DefaultInterval(int32_t networkState) { return networkState == kStateRoaming ? 0 : kDefaultUpdateInterval; }

int32_t ClampInterval(int32_t stored) {
    if (stored < 0) return 0;
    if (stored > 2880) return 1440;
    return stored;
}

int32_t IntervalForState(const SettingsKey& key, int32_t networkState) {
    return ClampInterval(key.ReadNumber(IntervalValueName(networkState), DefaultInterval(networkState)));
}

bool AllManual(const SettingsKey& key) {
    for (int32_t state : {kStateCellular, kStateRoaming, kStateWiFi, kStateCradled})
        if (IntervalForState(key, state) != 0) return false;
    return true;
}

double WindowTimeOfDay(int32_t packed) {
    const int32_t hour = packed >> 16, minute = packed & 0xFFFF;
    return (hour * 60 + minute) * kMinuteDays;
}

int32_t PackWindowTime(int hour, int minute) { return hour * 65536 + minute; }

double ApplyWindow(double t, double now, int32_t after, int32_t before) {
    const bool startSet = after != 0, endSet = before != kWindowNoEnd;
    if (!startSet && !endSet) return t;
    const double day = std::floor(t), timeOfDay = t - day;
    const double start = startSet ? WindowTimeOfDay(after) : 0;
    double result = t;
    if (startSet && start > timeOfDay) result = day + start;
    if (endSet && WindowTimeOfDay(before) < timeOfDay) result = std::floor(now) + 1 + start;
    return result;
}

int32_t DailyJitterSeconds(DWORD tickCount) {
    const int32_t r = int32_t(tickCount / 1000 - 59 * (tickCount / 59000));
    return r == 0 ? 1 : r;
}

int32_t ProcessJitterSeconds() {
    static const int32_t seconds = DailyJitterSeconds(GetTickCount());
    return seconds;
}

double NextUpdateTime(SettingsKey& key, double now, int32_t state, int32_t jitterSeconds) {
    const int32_t interval = IntervalForState(key, state);
    double last = key.ReadDate(u"LastFullUpdateDate", 0);
    if (last > now) {
        RecordFullUpdateStart(key, state, now);
        last = now;
    }
    double t = last + interval * kMinuteDays;

    bool stateChanged = false;
    const int32_t lastState = key.ReadNumber(u"LastPhoneState", kNoLastState);
    if (lastState == kNoLastState) {
        key.WriteNumber(u"LastPhoneState", state);
    } else if (lastState != state) {
        stateChanged = true;
        key.WriteNumber(u"LastPhoneState", state);
        PLUGIN_LOG("Phone state changed from %s to %s", StateName(lastState).c_str(), StateName(state).c_str());
        if (interval < 2) {
            PLUGIN_LOG("Next update time set to manual after phone state changed");
            key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);
        } else if (interval > 1440) {
            key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);
        } else {
            const double success = key.ReadDate(u"LastSuccessUpdateDate", 0);
            const double base = last > success && state != kStateRoaming ? success : last;
            t = base + interval * kMinuteDays;
            if (t < now + kStateInitDelay) {
                t = now + kStateInitDelay;
                key.WriteDate(u"NextUpdateDateAfterChangePhoneState", t);
                PLUGIN_LOG("Next update time set to %s after phone state changed with delay for state init",
                           LogDate(t).c_str());
            } else {
                key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);
                PLUGIN_LOG("Next update time set to %s after phone state changed without delay for state init",
                           LogDate(t).c_str());
            }
        }
    }
    if (interval < 2) return 0;

    const double changed = key.ReadDate(u"NextUpdateDateAfterChangePhoneState", 0);
    if (now - kChangedTimeSpan < changed && changed < now + kChangedTimeSpan) t = changed;
    else if (changed != 0) key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);

    if (interval < 1440) {
        if (t < now) t = now;
        t = ApplyWindow(t, now, key.ReadNumber(u"UpdateTimeAfter", 0), key.ReadNumber(u"UpdateTimeBefore", kWindowNoEnd));
    } else {
        int32_t hour = interval - 1440;
        if (hour > 24) hour = 0;
        const double day = std::floor(last) < std::floor(now) ? std::floor(now) : std::floor(now) + 1;
        t = day + hour / 24.0 + jitterSeconds / 86400.0;
    }
    if (stateChanged) PLUGIN_LOG("Next update time changed to %s after phone state changed", LogDate(t).c_str());
    return t;
}

}  // namespace skyvane::plugin
