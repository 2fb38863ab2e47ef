// The update schedule: intervals as they are read, the next update time by
// network state, window and daily hour, and what the schedule page and the
// manual-update reminder store.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/test_clock.h"
#include "platform/oleaut/ole_date.h"
#include "plugin/city_weather.h"
#include "plugin/network_state.h"
#include "plugin/schedule.h"
#include "plugin/schedule_options.h"
#include "plugin/startup_shortcut.h"
#include "plugin/update_support.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane::plugin;

// 7 March 2026 (a Saturday) plus days, at h:m:s.
double At(int days, int h, int m, int s = 0) {
    SYSTEMTIME t{2026, 3, 0, 7, WORD(h), WORD(m), WORD(s), 0};
    double date = 0;
    SystemTimeToVariantTime(&t, &date);
    return date + days;
}

TEST(ScheduleTest, IntervalsAsTheyAreRead) {
    struct Case {
        int32_t stored, used;
    } cases[] = {{-5, 0}, {0, 0}, {1, 1}, {60, 60}, {1444, 1444}, {2880, 2880}, {2881, 1440}, {5000, 1440}};
    for (const Case& c : cases) EXPECT_EQ(ClampInterval(c.stored), c.used) << c.stored;
    EXPECT_EQ(PackWindowTime(23, 59), kWindowNoEnd);
    EXPECT_EQ(PackWindowTime(8, 30), 0x8001E);
    EXPECT_NEAR(WindowTimeOfDay(0x8001E), 8.5 / 24, 1e-12);
}

TEST(ScheduleTest, TheDailyJitterIsOneToFiftyEightSeconds) {
    struct Case {
        DWORD tick;
        int32_t seconds;
    } cases[] = {{0, 1},          {999, 1},       {1000, 1},   {2000, 2},         {58999, 58},
                 {59000, 1},      {60000, 1},     {61500, 2},  {100000, 41},      {3540000, 1},
                 {4294967295u, 3}};
    for (const Case& c : cases) EXPECT_EQ(DailyJitterSeconds(c.tick), c.seconds) << c.tick;
    int32_t process = ProcessJitterSeconds();
    EXPECT_GE(process, 1);
    EXPECT_LE(process, 58);
    EXPECT_EQ(ProcessJitterSeconds(), process);
}

class NextUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::test::FreezeClockAt(root.path(), 12, 0));
    }
    skyvane::test::ScopedDeviceRoot root;
    SettingsKey key{u"Weather", u"Skyvane"};
};

TEST_F(NextUpdateTest, ByIntervalWindowAndDailyHour) {
    constexpr int32_t jitter = 7;
    const double second = 1.0 / 86400;
    struct Case {
        const char* what;
        const char16_t* interval;
        int32_t minutes;
        int32_t after, before;
        double last, now, expected;
    } cases[] = {
        {"manual", u"UpdateTimeWiFi", 0, 0, kWindowNoEnd, At(0, 9, 0), At(0, 12, 0), 0},
        {"manual, 1", u"UpdateTimeWiFi", 1, 0, kWindowNoEnd, At(0, 9, 0), At(0, 12, 0), 0},
        {"the interval after the last update", u"UpdateTimeWiFi", 60, 0, kWindowNoEnd, At(0, 11, 30), At(0, 11, 40),
         At(0, 12, 30)},
        {"overdue: now", u"UpdateTimeWiFi", 60, 0, kWindowNoEnd, At(0, 9, 0), At(0, 11, 30), At(0, 11, 30)},
        {"never updated: now", u"UpdateTimeWiFi", 120, 0, kWindowNoEnd, 0, At(0, 11, 30), At(0, 11, 30)},
        {"past the window's end: the next day's start", u"UpdateTimeWiFi", 60, 0x80000, 0x140000, At(0, 20, 30),
         At(0, 20, 45), At(1, 8, 0)},
        {"before the window's start: its start", u"UpdateTimeWiFi", 60, 0x80000, 0x140000, At(0, 5, 10),
         At(0, 5, 20), At(0, 8, 0)},
        {"inside the window", u"UpdateTimeWiFi", 60, 0x80000, 0x140000, At(0, 11, 0), At(0, 11, 30), At(0, 12, 0)},
        {"past an end without a start: midnight", u"UpdateTimeWiFi", 30, 0, 0x140000, At(0, 20, 0), At(0, 20, 10),
         At(1, 0, 0)},
        {"daily 04:00 after an update earlier today: tomorrow", u"UpdateTimeWiFi", 1444, 0, kWindowNoEnd,
         At(0, 4, 0, 30), At(0, 12, 0), At(1, 4, 0) + jitter * second},
        {"daily 04:00, last updated yesterday: today, due", u"UpdateTimeWiFi", 1444, 0, kWindowNoEnd, At(-1, 4, 1),
         At(0, 12, 0), At(0, 4, 0) + jitter * second},
        {"5000 acts as each midnight", u"UpdateTimeWiFi", 5000, 0, kWindowNoEnd, At(0, 0, 5), At(0, 12, 0),
         At(1, 0, 0) + jitter * second},
        {"an hour past 24 counts as 0", u"UpdateTimeWiFi", 2880, 0, kWindowNoEnd, At(0, 1, 0), At(0, 12, 0),
         At(1, 0, 0) + jitter * second},
        {"daily at 20:00 ignores the window", u"UpdateTimeWiFi", 1460, 0x80000, 0x100000, At(-1, 20, 0),
         At(0, 12, 0), At(0, 20, 0) + jitter * second},
    };
    skyvane::test::SetSystemState(0, 0x10, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        key.WriteNumber(u"LastPhoneState", kStateWiFi);
        key.WriteNumber(c.interval, c.minutes);
        key.WriteNumber(u"UpdateTimeAfter", c.after);
        key.WriteNumber(u"UpdateTimeBefore", c.before);
        key.WriteDate(u"LastFullUpdateDate", c.last);
        key.WriteDate(u"NextUpdateDateAfterChangePhoneState", 0);
        EXPECT_NEAR(NextUpdateTime(key, c.now, kStateWiFi, jitter), c.expected, 1e-7);
    }
}

TEST_F(NextUpdateTest, ALastUpdateInTheFutureCountsAsNow) {
    key.WriteNumber(u"LastPhoneState", kStateCellular);
    key.WriteNumber(u"UpdateTime", 60);
    key.WriteDate(u"LastFullUpdateDate", At(1, 10, 0));
    key.WriteDate(u"NextUpdateDateAfterChangePhoneState", At(0, 11, 0));
    EXPECT_NEAR(NextUpdateTime(key, At(0, 12, 0), kStateCellular, 1), At(0, 13, 0), 1e-7);
    EXPECT_EQ(key.ReadDate(u"LastFullUpdateDate", 0), At(0, 12, 0));
    EXPECT_EQ(key.ReadNumber(u"LastFullUpdateState", -1), kStateCellular);
    // The time kept from a state change is cleared with it.
    EXPECT_EQ(key.ReadDate(u"NextUpdateDateAfterChangePhoneState", -1), 0);
}

TEST_F(NextUpdateTest, AChangeOfTheNetworkState) {
    const double now = At(0, 12, 0);
    struct Case {
        const char* what;
        int32_t from, to;
        int32_t interval;  // of the new state
        double last, success;
        double expected, changedAfter;
        const char* logged;
    } cases[] = {
        {"Wi-Fi to cellular, success 3 hours ago: in two minutes", kStateWiFi, kStateCellular, 120, At(0, 9, 0),
         At(0, 9, 0), now + 2 * kMinuteDays, now + 2 * kMinuteDays,
         "Next update time set to 2026-03-07 12:02:00 after phone state changed with delay for state init"},
        {"a full update after the last success: the interval after the success", kStateCradled, kStateWiFi, 120,
         At(0, 11, 30), At(0, 11, 0), At(0, 13, 0), 0,
         "Next update time set to 2026-03-07 13:00:00 after phone state changed without delay for state init"},
        {"into roaming: the interval after the last full update", kStateWiFi, kStateRoaming, 120, At(0, 11, 30),
         At(0, 11, 0), At(0, 13, 30), 0, "Phone state changed from WiFi to Roaming"},
        {"into a manual state", kStateWiFi, kStateRoaming, 0, At(0, 11, 30), At(0, 11, 0), 0, 0,
         "Next update time set to manual after phone state changed"},
        {"into a daily state", kStateWiFi, kStateCradled, 1448, At(0, 11, 30), At(0, 11, 0),
         At(1, 8, 0) + 5.0 / 86400, 0, "Next update time changed to 2026-03-08 08:00:05 after phone state changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        key.WriteNumber(u"LastPhoneState", c.from);
        key.WriteNumber(IntervalValueName(c.to), c.interval);
        key.WriteDate(u"LastFullUpdateDate", c.last);
        key.WriteDate(u"LastSuccessUpdateDate", c.success);
        size_t before = skyvane::test::CountLogged(c.logged);
        EXPECT_NEAR(NextUpdateTime(key, now, c.to, 5), c.expected, 1e-7);
        EXPECT_NEAR(key.ReadDate(u"NextUpdateDateAfterChangePhoneState", -1), c.changedAfter, 1e-7);
        EXPECT_EQ(key.ReadNumber(u"LastPhoneState", -1), c.to);
        EXPECT_EQ(skyvane::test::CountLogged(c.logged), before + 1);
        // Without a further change, a time kept from the change stays in force
        // for half an hour.
        if (c.changedAfter != 0) {
            EXPECT_NEAR(NextUpdateTime(key, now + 10 * kMinuteDays, c.to, 5), c.changedAfter + 8 * kMinuteDays,
                        1e-7);  // overdue: now
            EXPECT_NEAR(NextUpdateTime(key, now - 20 * kMinuteDays, c.to, 5), c.changedAfter, 1e-7);
            NextUpdateTime(key, now + 40 * kMinuteDays, c.to, 5);
            EXPECT_EQ(key.ReadDate(u"NextUpdateDateAfterChangePhoneState", -1), 0);
        }
    }
    // No state seen yet: the present one is taken without a change.
    key.DeleteValue(u"LastPhoneState");
    size_t changes = skyvane::test::CountLogged("Phone state changed");
    NextUpdateTime(key, now, kStateWiFi, 5);
    EXPECT_EQ(key.ReadNumber(u"LastPhoneState", -1), kStateWiFi);
    EXPECT_EQ(skyvane::test::CountLogged("Phone state changed"), changes);
}

class ScheduleOptionsTest : public NextUpdateTest {};

class FixedPrompt final : public Prompt {
public:
    explicit FixedPrompt(Answer answer) : answer_(answer) {}
    bool Interactive() const override { return true; }
    Answer Ask(std::u16string_view, std::u16string_view, Buttons) override {
        ++asked;
        return answer_;
    }
    int asked = 0;

private:
    Answer answer_;
};

TEST_F(ScheduleOptionsTest, ThePageStoresIntervalsWindowAndShortcut) {
    InstallKeys install;
    const std::string shortcut = root.path() + "/Windows/StartUp/SkyvaneWeatherUpdate.lnk";
    ScheduleChoice choice = ReadScheduleChoice(key);
    EXPECT_EQ(choice.cellular, 120);
    EXPECT_EQ(choice.roaming, 0);
    EXPECT_EQ(choice.windowEndHour, 23);
    EXPECT_EQ(choice.windowEndMinute, 59);

    // Roaming from manual to automatic is asked; without a Yes it stays manual.
    choice.roaming = 60;
    choice.windowStartHour = 8;
    choice.windowEndHour = 20;
    choice.windowEndMinute = 0;
    NonInteractivePrompt nobody;
    DWORD options = key.ReadStamp(u"LastOptionTime", 0);
    StoreSchedule(key, install, nobody, choice);
    EXPECT_EQ(IntervalForState(key, kStateRoaming), 0);
    EXPECT_EQ(key.ReadNumber(u"UpdateTimeAfter", -1), 0x80000);
    EXPECT_EQ(key.ReadNumber(u"UpdateTimeBefore", -1), 0x140000);
    EXPECT_NE(key.ReadStamp(u"LastOptionTime", 0), options);
    EXPECT_TRUE(std::filesystem::exists(shortcut));
    FixedPrompt no(Answer::No), yes(Answer::Yes);
    StoreSchedule(key, install, no, choice);
    EXPECT_EQ(no.asked, 1);
    EXPECT_EQ(IntervalForState(key, kStateRoaming), 0);
    StoreSchedule(key, install, yes, choice);
    EXPECT_EQ(key.ReadNumber(u"UpdateTimeRoaming", -1), 60);
    StoreSchedule(key, install, yes, choice);  // already automatic: not asked again
    EXPECT_EQ(yes.asked, 1);

    // A manual interval arms the reminder for tomorrow; an unchanged one does not.
    choice.cellular = 0;
    StoreSchedule(key, install, nobody, choice);
    EXPECT_EQ(key.ReadNumber(u"UpdateTime", -1), 0);
    EXPECT_EQ(key.ReadNumber(u"UpdateManual", -1), 0);
    EXPECT_EQ(key.ReadDate(u"UpdateManualDelay", 0), At(1, 12, 0));
    key.WriteNumber(u"UpdateManual", 1);
    StoreSchedule(key, install, nobody, choice);
    EXPECT_EQ(key.ReadNumber(u"UpdateManual", -1), 1);

    // Every schedule manual: no shortcut.
    choice = {0, 0, 0, 0};
    StoreSchedule(key, install, nobody, choice);
    EXPECT_TRUE(AllManual(key));
    EXPECT_FALSE(std::filesystem::exists(shortcut));
}

TEST_F(ScheduleOptionsTest, TheManualUpdateReminder) {
    const double now = At(0, 12, 0);
    struct Case {
        const char* what;
        int32_t interval, allowCreate, mode;
        double lastUpdate, delay, inProgress;
        bool remind;
    } cases[] = {
        {"automatic updates", 120, 1, 0, At(-3, 0, 0), 0, 0, false},
        {"automatic, but only on existing connections", 120, 0, 0, At(-3, 0, 0), 0, 0, true},
        {"manual, old weather", 0, 1, 0, At(-3, 0, 0), 0, 0, true},
        {"manual, weather of today", 0, 1, 0, At(-1, 12, 0), 0, 0, false},
        {"never updated", 0, 1, 0, 0, 0, 0, false},
        {"not available", 0, 1, 3, 999999.0, 0, 0, false},
        {"asked tomorrow, still today", 0, 1, 3, At(-3, 0, 0), At(0, 18, 0), 0, false},
        {"asked tomorrow, now tomorrow", 0, 1, 3, At(-3, 0, 0), At(0, 11, 0), 0, true},
        {"never ask again", 0, 1, 1, At(-3, 0, 0), 0, 0, false},
        {"ask every time", 0, 1, 2, At(0, 11, 59), At(5, 0, 0), 0, true},
        {"an unknown mode", 0, 1, 7, At(-3, 0, 0), 0, 0, false},
        {"an update runs", 0, 1, 2, At(-3, 0, 0), 0, At(0, 11, 55), false},
    };
    for (const Case& c : cases) {
        key.WriteNumber(u"UpdateTime", c.interval);
        key.WriteNumber(u"AllowCreateNewConection", c.allowCreate);
        key.WriteNumber(u"UpdateManual", c.mode);
        key.WriteDate(u"UpdateManualDelay", c.delay);
        key.WriteDate(u"IsUpdateInProgressTime", c.inProgress);
        EXPECT_EQ(ShouldRemindManualUpdate(key, kStateCellular, c.lastUpdate, now), c.remind) << c.what;
    }

    struct Choice {
        ReminderChoice choice;
        int32_t mode;
        double delay;
    } choices[] = {
        {ReminderChoice::UpdateNow, 0, now + 1},
        {ReminderChoice::NeverAsk, 1, -5},
        {ReminderChoice::AskNextTime, 2, -5},
        {ReminderChoice::AskTomorrow, 3, now + 1},
    };
    for (const Choice& c : choices) {
        key.WriteDate(u"UpdateManualDelay", -5);
        StoreReminderChoice(key, c.choice, now);
        EXPECT_EQ(key.ReadNumber(u"UpdateManual", -1), c.mode);
        EXPECT_EQ(key.ReadDate(u"UpdateManualDelay", 0), c.delay);
    }
}

}  // namespace
