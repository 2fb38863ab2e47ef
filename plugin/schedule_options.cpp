#include "plugin/schedule_options.h"

#include "plugin/city_weather.h"
#include "plugin/network_state.h"
#include "plugin/schedule.h"
#include "plugin/startup_shortcut.h"
#include "plugin/update_lease.h"
#include "plugin/update_request.h"
#include "plugin/weather_record.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

constexpr int32_t kRemindAfterDelay = 0;
constexpr int32_t kNeverRemind = 1;
constexpr int32_t kRemindEveryTime = 2;
constexpr int32_t kRemindTomorrow = 3;

bool Manual(int32_t minutes) { return ClampInterval(minutes) < 2; }

}  // namespace

ScheduleChoice ReadScheduleChoice(const SettingsKey& key) {
    ScheduleChoice choice;
    choice.cellular = IntervalForState(key, kStateCellular);
    choice.roaming = IntervalForState(key, kStateRoaming);
    choice.cradled = IntervalForState(key, kStateCradled);
    choice.wifi = IntervalForState(key, kStateWiFi);
    const int32_t after = key.ReadNumber(u"UpdateTimeAfter", 0);
    const int32_t before = key.ReadNumber(u"UpdateTimeBefore", kWindowNoEnd);
    choice.windowStartHour = after >> 16;
    choice.windowStartMinute = after & 0xFFFF;
    choice.windowEndHour = before >> 16;
    choice.windowEndMinute = before & 0xFFFF;
    return choice;
}

void StoreInterval(SettingsKey& key, int32_t networkState, int32_t minutes, double now) {
    const char16_t* name = IntervalValueName(networkState);
    if (key.ReadNumber(name, DefaultInterval(networkState)) == minutes) return;
    key.WriteNumber(name, minutes);
    if (minutes == 0) {
        key.WriteNumber(u"UpdateManual", kRemindAfterDelay);
        key.WriteDate(u"UpdateManualDelay", now + 1);
    }
}

void StoreSchedule(SettingsKey& key, const InstallKeys& install, Prompt& prompt, const ScheduleChoice& choice) {
    const double now = LocalNow();
    int32_t roaming = choice.roaming;
    if (Manual(IntervalForState(key, kStateRoaming)) && !Manual(roaming) &&
        prompt.Ask(ui::TranslateStringId(ui::text::kUpdating), ui::TranslateStringId(ui::text::kRoamingAutoQuestion),
                   Buttons::YesNo) != Answer::Yes)
        roaming = IntervalForState(key, kStateRoaming);
    StoreInterval(key, kStateCellular, choice.cellular, now);
    StoreInterval(key, kStateRoaming, roaming, now);
    StoreInterval(key, kStateCradled, choice.cradled, now);
    StoreInterval(key, kStateWiFi, choice.wifi, now);
    key.WriteNumber(u"UpdateTimeAfter", PackWindowTime(choice.windowStartHour, choice.windowStartMinute));
    key.WriteNumber(u"UpdateTimeBefore", PackWindowTime(choice.windowEndHour, choice.windowEndMinute));
    key.Stamp(u"LastOptionTime");
    WriteStartupShortcut(key, install, true);
}

bool ShouldRemindManualUpdate(SettingsKey& key, int32_t networkState, double lastUpdate, double now) {
    if (IntervalForState(key, networkState) != 0 && key.ReadNumber(u"AllowCreateNewConection", 1) != 0) return false;
    if (UpdateInProgress(key, now)) return false;
    const int32_t mode = key.ReadNumber(u"UpdateManual", kRemindAfterDelay);
    if (mode == kRemindEveryTime) return true;
    if (mode != kRemindAfterDelay && mode != kRemindTomorrow) return false;
    if (lastUpdate <= 0 || lastUpdate == kNoValue || now - lastUpdate <= 1) return false;
    return !(key.ReadDate(u"UpdateManualDelay", 0) > now);
}

void StoreReminderChoice(SettingsKey& key, ReminderChoice choice, double now) {
    switch (choice) {
    case ReminderChoice::UpdateNow:
        key.WriteNumber(u"UpdateManual", kRemindAfterDelay);
        key.WriteDate(u"UpdateManualDelay", now + 1);
        break;
    case ReminderChoice::NeverAsk: key.WriteNumber(u"UpdateManual", kNeverRemind); break;
    case ReminderChoice::AskNextTime: key.WriteNumber(u"UpdateManual", kRemindEveryTime); break;
    case ReminderChoice::AskTomorrow:
        key.WriteNumber(u"UpdateManual", kRemindTomorrow);
        key.WriteDate(u"UpdateManualDelay", now + 1);
        break;
    }
}

bool UpdateAfterReminder(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install,
                         ConnectionPolicy& connection) {
    if (key->ReadNumber(u"UpdateManual", kRemindAfterDelay) != kRemindAfterDelay) return false;
    if (!connection.MayConnect(true)) return false;
    return RequestManualUpdate(key, install, connection.GetPrompt()) == ManualUpdate::Requested;
}

}  // namespace skyvane::plugin
