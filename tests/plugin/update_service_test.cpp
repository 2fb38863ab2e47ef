// The background update process and its watchdog, the StartUp shortcut and
// the requests that start update processes, with a stand-in for the UI
// program that records how it was started.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/kernel/device_root.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"
#include "platform/oleaut/ole_date.h"
#include "plugin/city_entry.h"
#include "plugin/city_weather.h"
#include "plugin/exchange.h"
#include "plugin/main_settings.h"
#include "plugin/network_state.h"
#include "plugin/schedule.h"
#include "plugin/startup_shortcut.h"
#include "plugin/update_lease.h"
#include "plugin/update_request.h"
#include "plugin/update_service.h"
#include "plugin/update_support.h"
#include "plugin/weather_store.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane::plugin;
using skyvane::test::Logged;
using skyvane::test::LoggedError;
namespace fs = std::filesystem;

double Now() { return LocalNow(); }

class UpdateServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::test::FreezeClockAt(root.path(), 12, 0));
        ASSERT_TRUE(skyvane::testclock::SetTickCount(1000000));
        skyvane::test::SetSystemState(0, 0x10, 0);  // Wi-Fi
    }
    std::string Shortcut() const { return root.path() + "/Windows/StartUp/SkyvaneWeatherUpdate.lnk"; }
    void AllSchedulesManual() {
        for (const char16_t* name : {u"UpdateTime", u"UpdateTimeRoaming", u"UpdateTimeCradled", u"UpdateTimeWiFi"})
            key->WriteNumber(name, 0);
    }

    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::ScopedEnv fixedState{"SKYVANE_STATE_FIXED", "1"};
    std::shared_ptr<SettingsKey> key = std::make_shared<SettingsKey>(u"Weather", u"Skyvane");
    InstallKeys install;
    NonInteractivePrompt nobody;
};

TEST_F(UpdateServiceTest, TheShortcutStartsTheServiceAtDeviceStart) {
    EXPECT_EQ(StartupShortcutText(u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe"),
              u"54#\"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe\" Service");
    auto read = [&] {
        std::ifstream in(Shortcut(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    ASSERT_TRUE(WriteStartupShortcut(*key, install, false));
    EXPECT_EQ(read(), "54#\"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe\" Service");

    // In the ANSI code page; an existing shortcut is kept unless overwritten.
    SettingsKey release(u"WeatherRelease", u"SkyvaneWeatherRelease");
    release.WriteText(u"InstallFolder", u"\\Programme\\Wetter");
    release.WriteText(u"SkyvaneWeatherUI", u"\\Programme\\Météo.exe");
    ASSERT_TRUE(WriteStartupShortcut(*key, install, false));
    EXPECT_EQ(read(), "54#\"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe\" Service");
    ASSERT_TRUE(WriteStartupShortcut(*key, install, true));
    EXPECT_EQ(read(), "30#\"\\Programme\\M\xE9t\xE9o.exe\" Service");

    AllSchedulesManual();
    ASSERT_TRUE(WriteStartupShortcut(*key, install, false));
    EXPECT_FALSE(fs::exists(Shortcut()));
    EXPECT_TRUE(DeleteStartupShortcut());  // nothing left to delete
}

TEST_F(UpdateServiceTest, TheWatchdogStartsAMissingService) {
    skyvane::test::StandInProgram program;
    struct Case {
        const char* what;
        DWORD tick, stamp;
        int32_t install;
        bool starts;
    } cases[] = {
        {"just after boot", 150000, 0, 0, false},
        {"stamped 100 s ago", 1000000, 900000, 0, false},
        {"stamped 200 s ago", 1000000, 800000, 0, true},
        {"never stamped", 1000000, 0, 0, true},
        {"stamped before the device restarted", 1000000, 5000000, 0, true},
        {"the installer works", 1000000, 0, 1, false},
    };
    size_t started = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(skyvane::testclock::SetTickCount(c.tick));
        key->WriteStamp(u"ServiceLastTickCount", c.stamp);
        key->WriteNumber(u"DisableOnInstallTime", c.install);
        WatchService(*key, install);
        if (c.starts) ++started;
        EXPECT_EQ(program.Commands(started).size(), started);
        EXPECT_EQ(key->ReadStamp(u"ServiceLastTickCount", 0), c.starts ? c.tick : c.stamp);
    }
    EXPECT_EQ(program.Commands(), std::vector<std::string>(3, "Service"));
    EXPECT_TRUE(Logged("Detected missed service. Current tick count is 1000000, registry tick count is 800000"));
    EXPECT_EQ(skyvane::test::CountLogged("Weather update process will start."), 3u);

    // Every schedule manual: nothing to watch.
    key->WriteNumber(u"DisableOnInstallTime", 0);
    key->WriteStamp(u"ServiceLastTickCount", 0);
    AllSchedulesManual();
    WatchService(*key, install);
    EXPECT_EQ(key->ReadStamp(u"ServiceLastTickCount", 5), 0u);

    // A program that cannot start is logged; the stamp makes the next try
    // wait its three minutes.
    key->WriteNumber(u"UpdateTime", 60);
    fs::remove(skyvane::HostPath(u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI"));
    WatchService(*key, install);
    EXPECT_TRUE(LoggedError("Weather update process failed."));
    EXPECT_TRUE(LoggedError("Failed run \\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe with error 2"));
    EXPECT_EQ(key->ReadStamp(u"ServiceLastTickCount", 0), 1000000u);
}

TEST_F(UpdateServiceTest, TheServiceEndsWhenEveryScheduleIsManualOrTheInstallerWorks) {
    ConnectionPolicy connection(*key, nobody);
    std::ofstream(Shortcut()) << "old";
    key->WriteDate(u"IsUpdateInProgressTime", Now());
    AllSchedulesManual();
    EXPECT_EQ(UpdateService(key, install, connection).Run(), S_OK);
    EXPECT_TRUE(Logged("Weather update process started successfully."));
    EXPECT_TRUE(LoggedError("Auto update disabled."));
    EXPECT_FALSE(fs::exists(Shortcut()));
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);
    WatchService(*key, install);  // nothing to watch
    EXPECT_FALSE(Logged("Detected missed service"));

    key->WriteNumber(u"UpdateTimeCradled", 30);
    key->WriteNumber(u"DisableOnInstallTime", 1);
    EXPECT_EQ(UpdateService(key, install, connection).Run(), S_OK);
    EXPECT_TRUE(LoggedError("Install in progress. ServiceForWeatherUpdate closed."));
    // The shortcut of a device with automatic updates, written without overwriting.
    EXPECT_TRUE(fs::exists(Shortcut()));
    EXPECT_EQ(key->ReadStamp(u"ServiceLastTickCount", 0), 1000000u);
}

TEST_F(UpdateServiceTest, CheckAndUpdateAsksForAnUpdateOfAllCitiesWhenItIsTime) {
    skyvane::test::StandInProgram program;
    skyvane::test::RecordingConnections none(*key);
    none.answer = [](const CONNMGR_CONNECTIONINFO&) { return DWORD(0x24); };
    ConnectionPolicy connection(*key, nobody, none);
    UpdateService service(key, install, connection);
    const double now = Now();
    key->WriteNumber(u"LastPhoneState", kStateWiFi);
    key->WriteNumber(u"UpdateTimeWiFi", 30);

    // Not yet: due in more than a minute.
    key->WriteDate(u"LastFullUpdateDate", now - 28 * kMinuteDays);
    EXPECT_FALSE(service.CheckAndUpdate());
    // Due within the minute, but only existing connections may be used and
    // there is none: the scheduled update does not start.
    key->WriteDate(u"LastFullUpdateDate", now - 29.5 * kMinuteDays);
    key->WriteNumber(u"AllowCreateNewConection", 0);
    EXPECT_FALSE(service.CheckAndUpdate());
    EXPECT_EQ(none.requests.size(), 1u);
    EXPECT_EQ(key->ReadDate(u"LastFullUpdateDate", 0), now - 29.5 * kMinuteDays);

    key->WriteNumber(u"AllowCreateNewConection", 1);
    key->WriteDate(u"LastFailedUpdateDate", now - 1);
    skyvane::test::WriteCities(*key, {{u"RSXX0091", u"Moscow"}, {u"UKXX0085", u"London"}});
    EXPECT_TRUE(service.CheckAndUpdate());
    EXPECT_EQ(program.Commands(1), std::vector<std::string>{"Update all"});
    EXPECT_EQ(key->ReadDate(u"LastFailedUpdateDate", -1), 0);
    EXPECT_EQ(key->ReadDate(u"LastFullUpdateDate", 0), now);
    EXPECT_EQ(key->ReadNumber(u"LastFullUpdateState", -1), kStateWiFi);
    EXPECT_EQ(key->ReadText(u"CityState_UKXX0085", u""), u"getting weather now ...");
    EXPECT_TRUE(Logged("It is time to update weather: 2026-03-07 12:00:30."));
    EXPECT_TRUE(Logged("Next time to update weather: 2026-03-07 12:30:00."));
    EXPECT_FALSE(service.CheckAndUpdate());  // the next one is half an hour away

    // Without cities the start is recorded and nothing is started.
    key->DeleteValue(u"CityCode0");
    key->WriteDate(u"LastFullUpdateDate", now - 1);
    EXPECT_TRUE(service.CheckAndUpdate());
    EXPECT_EQ(program.Commands().size(), 1u);
    EXPECT_EQ(key->ReadDate(u"LastFullUpdateDate", 0), now);
}

TEST_F(UpdateServiceTest, RequestsStartTheProgramOrSayWhyNot) {
    skyvane::test::WriteCities(*key, {{u"RSXX0091", u"Moscow"}, {u"UKXX0085", u"London"}});
    // Not installed: the cities say so.
    EXPECT_EQ(RequestUpdate(key, install, u"UKXX0085"), E_FAIL);
    EXPECT_EQ(key->ReadText(u"CityState_UKXX0085", u""), u"Can not start process to connect with server");
    EXPECT_EQ(key->ReadText(u"CityState_RSXX0091", u"none"), u"none");
    EXPECT_TRUE(LoggedError("Can not start process to connect with server"));
    EXPECT_TRUE(LoggedError("Failed run \\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe with error 2"));

    skyvane::test::StandInProgram program;
    EXPECT_EQ(RequestUpdate(key, install, u"UKXX0085"), S_OK);
    EXPECT_EQ(key->ReadText(u"CityState_UKXX0085", u""), u"getting weather now ...");
    // "Update forecast now": asked first in roaming, then all cities.
    skyvane::test::SetSystemState(0, 0, 0x200);
    EXPECT_EQ(RequestManualUpdate(key, install, nobody), ManualUpdate::NotConfirmed);
    skyvane::test::SetSystemState(0, 0, 0);
    EXPECT_EQ(RequestManualUpdate(key, install, nobody), ManualUpdate::Requested);
    EXPECT_EQ(program.Commands(2), (std::vector<std::string>{"Update UKXX0085", "Update all"}));
    EXPECT_EQ(key->ReadText(u"CityState_RSXX0091", u""), u"getting weather now ...");
    EXPECT_TRUE(Logged("weather will updated manually"));
}

TEST_F(UpdateServiceTest, ThePeriodicRefreshWritesTheExchangeValuesAgain) {
    skyvane::test::WriteCities(*key, {{u"RSXX0091", u"Moscow"}, {u"UKXX0085", u"London"}});
    key->WriteNumber(u"CurrentCity", 1);
    key->WriteNumber(u"UnitType", 13);
    CityEntry london(key);
    london.SetCode(u"UKXX0085");
    london.SetName(u"London");
    WeatherRecord* current = london.Weather().FindOrAddRecord(Now(), KWCurrent);
    current->tempHigh = current->tempLow = 12.7;
    current->icon = 26;
    WeatherRecord* today = london.Weather().FindOrAddRecord(Now(), KWDay);
    today->tempHigh = 15.2;
    today->tempLow = -3.9;
    today->icon = 32;
    ASSERT_TRUE(SaveWeather(london));
    SettingsKey values(u"Exchange", u"Skyvane\\Weather");
    auto text = [&](const char16_t* name) { return values.ReadText(name, u"none"); };

    const double now = Now();
    struct Case {
        double lastCleanup;
        bool written;
    } cases[] = {{now - 44 * kMinuteDays, false}, {now - 46 * kMinuteDays, true}, {now + 8 * kRefreshPeriodDays, false},
                 {now + 11 * kRefreshPeriodDays, false}};
    for (const Case& c : cases) {
        values.DeleteValue(u"LocationName");
        key->WriteDate(u"LastCleanupDate", c.lastCleanup);
        PeriodicRefresh(key);
        EXPECT_EQ(text(u"LocationName"), c.written ? u"London" : u"none") << c.lastCleanup - now;
    }
    // Far in the future it was taken back to now.
    EXPECT_EQ(key->ReadDate(u"LastCleanupDate", 0), now);
    key->WriteDate(u"LastCleanupDate", 0);
    PeriodicRefresh(key);
    EXPECT_EQ(text(u"TemperatureUnit"), u"C");
    EXPECT_EQ(text(u"CurrentTemp"), u"12°C");
    EXPECT_EQ(text(u"TodayTempHigh"), u"15°C");
    EXPECT_EQ(text(u"TodayTempLow"), u"-3°C");
    EXPECT_EQ(values.ReadNumber(u"CurrentIcon", -1), 8);
    EXPECT_EQ(values.ReadNumber(u"TodayIcon", -1), 1);
}

TEST(ExchangeTest, IconNumbers) {
    struct Case {
        int32_t icon, exchange;
    } cases[] = {{0, 15}, {5, 29}, {19, 32}, {22, 7}, {26, 8}, {31, 33}, {32, 1}, {44, 0},
                 {47, 15}, {48, 0}, {55, 0}, {56, 0}, {-1, 0}};
    for (const Case& c : cases) EXPECT_EQ(ExchangeIconNumber(c.icon), c.exchange) << c.icon;
}

}  // namespace
