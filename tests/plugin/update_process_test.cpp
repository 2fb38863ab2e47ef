// The update processes as they run on a device: the home item's watchdog
// starts the background update process (the UI program with "Service"),
// which updates all cities on schedule in update processes of their own; a
// second background process makes the first one end; the installer stops
// the background process and a run in progress. Real processes, the feed
// simulator on loopback and a running test clock that the test moves.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/com/runtime.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"
#include "platform/kernel/nls/text_conv.h"
#include "plugin/city_weather.h"
#include "plugin/plugin_settings.h"
#include "plugin/schedule.h"
#include "plugin/skyvane_interfaces.h"
#include "plugin/update_support.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"

namespace {

using namespace skyvane::plugin;
using skyvane::test::CountLogged;
using skyvane::test::Logged;

template <class Condition>
bool WaitFor(Condition condition, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

class UpdateProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::test::RegisterBuiltLibrary("libKWeather.so"));
        ASSERT_TRUE(skyvane::test::RegisterBuiltLibrary("libSkyvaneWeather.so"));
        SettingsKey release(u"WeatherRelease", u"SkyvaneWeatherRelease");
        release.WriteText(u"InstallFolder", skyvane::FromUtf8(skyvane::test::BuildDir() + "/bin"));
        release.WriteText(u"SkyvaneWeatherUI", skyvane::FromUtf8(program));
        // A running clock, far enough from boot for the watchdog.
        ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
        ASSERT_TRUE(skyvane::testclock::SetTickCount(10000000));
        skyvane::test::SetSystemState(0, 0x10, 0);  // Wi-Fi
        skyvane::test::ForceConnectionStatus(0x10);
        skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
        skyvane::test::WriteCities(*key, {{u"RSXX0091", u"Moscow"}, {u"UKXX0085", u"London"}, {u"FRXX0076", u"Paris"}});
        // Every ten minutes on Wi-Fi; the last update nine and a half minutes ago.
        key->WriteNumber(u"UpdateTimeWiFi", 10);
        key->WriteNumber(u"LastPhoneState", 2);
        key->WriteDate(u"LastFullUpdateDate", LocalNow() - 9.5 * kMinuteDays);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, 0)));
    }
    void TearDown() override { CoUninitialize(); }

    size_t WeatherRequests() const {
        size_t n = 0;
        for (const std::string& target : sim.Targets()) n += target.find("/weather/local/") != std::string::npos;
        return n;
    }
    bool AllUpdated() const {
        for (const char16_t* code : {u"RSXX0091", u"UKXX0085", u"FRXX0076"})
            if (key->ReadText(std::u16string(u"CityState_") + code, u"") != u"updated successfully") return false;
        return true;
    }
    std::string FileBytes(const std::u16string& code) const {
        std::ifstream in(skyvane::HostPath(u"\\Application Data\\SkyvaneWeather\\" + code + u".bin"), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    // Runs the UI program with the command line and answers its exit status.
    DWORD Run(std::u16string commandLine) {
        std::vector<char16_t> line(commandLine.begin(), commandLine.end());
        line.push_back(u'\0');
        PROCESS_INFORMATION started{};
        const std::u16string path = skyvane::FromUtf8(program);
        if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &started))
            return 255;
        skyvane::UniqueHandle process(started.hProcess), thread(started.hThread);
        DWORD exitCode = 254;
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return exitCode;
        GetExitCodeProcess(process.get(), &exitCode);
        return exitCode;
    }

    const std::string program = skyvane::test::BuildDir() + "/bin/SkyvaneWeatherUI";
    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::ScopedEnv fixedState{"SKYVANE_STATE_FIXED", "1"};
    skyvane::test::FeedSim sim{{"--stall-seconds", "2"}};
    std::shared_ptr<SettingsKey> key = std::make_shared<SettingsKey>(u"Weather", u"Skyvane");
};

TEST_F(UpdateProcessTest, TheBackgroundProcessUpdatesOnScheduleUntilReplacedOrStopped) {
    // The home item: its settings, and the plugin object whose change poll
    // runs the watchdog.
    PluginSettings home(key);
    home.LoadCityList();
    ASSERT_EQ(home.Cities().size(), 3u);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"SkyvaneWeather.SkyvaneWeatherHomeScreen", &clsid), S_OK);
    skyvane::ComPtr<ISkyvaneWeatherHomeScreen3> plugin;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)), S_OK);
    ASSERT_EQ(plugin->Test(3, nullptr), S_OK);
    EXPECT_TRUE(Logged("Detected missed service. Current tick count is "));
    EXPECT_TRUE(Logged("Weather update process will start."));

    // Its first round finds the update due and starts one over all cities.
    ASSERT_TRUE(WaitFor([&] { return AllUpdated(); }, 40)) << skyvane::ToUtf8(key->ReadText(u"CityState_FRXX0076", u""));
    EXPECT_TRUE(Logged("Weather update process started successfully."));
    EXPECT_TRUE(Logged("It is time to update weather: "));
    EXPECT_TRUE(Logged("Updated weather for 3 cities"));
    EXPECT_EQ(WeatherRequests(), 3u);
    EXPECT_TRUE(std::filesystem::exists(root.path() + "/Windows/StartUp/SkyvaneWeatherUpdate.lnk"));
    // The home side sees the new weather through the stamps, one city a poll.
    for (int poll = 0; poll < 10; ++poll) home.PollChanges();
    for (const CityRef& city : home.Cities()) EXPECT_GT(city->Weather().Count(), 20u) << skyvane::ToUtf8(city->Code());
    // The watchdog sees a live process and leaves it alone.
    ASSERT_EQ(plugin->Test(3, nullptr), S_OK);
    EXPECT_EQ(CountLogged("Detected missed service"), 1u);

    // Ten minutes later the next update is due.
    ASSERT_TRUE(WaitFor([&] { return key->ReadDate(u"IsUpdateInProgressTime", 0) == 0; }, 10));
    ASSERT_TRUE(skyvane::testclock::Advance(10 * 60 * 1000));
    ASSERT_TRUE(WaitFor([&] { return CountLogged("Updated weather for 3 cities") == 2; }, 40));
    EXPECT_EQ(WeatherRequests(), 6u);
    EXPECT_EQ(CountLogged("It is time to update weather: "), 2u);

    // A second background process: the first one ends at its next round.
    std::vector<char16_t> line(u"Service", u"Service" + 8);
    PROCESS_INFORMATION second{};
    std::u16string path = skyvane::FromUtf8(program);
    ASSERT_TRUE(CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &second));
    skyvane::UniqueHandle secondProcess(second.hProcess), secondThread(second.hThread);
    ASSERT_TRUE(WaitFor([&] { return Logged("Weather update process stopped because other process started"); }, 20));

    // The installer: the next run is stalled by the feed; the background
    // process and the run both stop at their next check, and what is stored
    // stays.
    const std::string stored = FileBytes(u"RSXX0091");
    sim.Switch("stall");
    ASSERT_TRUE(skyvane::testclock::Advance(10 * 60 * 1000));
    ASSERT_TRUE(WaitFor([&] { return key->ReadDate(u"IsUpdateInProgressTime", 0) != 0; }, 20));
    key->WriteNumber(u"DisableOnInstallTime", 1);
    key->WriteStamp(u"ServiceLastTickCount", 0);
    EXPECT_EQ(WaitForSingleObject(secondProcess.get(), 15000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    EXPECT_TRUE(GetExitCodeProcess(secondProcess.get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(skyvane::test::LoggedError("Install in progress. ServiceForWeatherUpdate closed."));
    ASSERT_TRUE(WaitFor([&] { return skyvane::test::LoggedError("Install in progress. UpdateAndSave"); }, 40));
    EXPECT_TRUE(WaitFor([&] { return key->ReadDate(u"IsUpdateInProgressTime", 0) == 0; }, 5));
    EXPECT_EQ(FileBytes(u"RSXX0091"), stored);
    EXPECT_EQ(CountLogged("Updated weather for 3 cities"), 2u);
    // While the installer works the watchdog starts nothing.
    ASSERT_EQ(plugin->Test(3, nullptr), S_OK);
    EXPECT_EQ(CountLogged("Detected missed service"), 1u);

    // After it, a feed that fails: the update process says so, the city's
    // status tells why, and the stored weather stays.
    key->WriteNumber(u"DisableOnInstallTime", 0);
    struct Failure {
        const char* switches;
        const char16_t* status;
        const char* logged;
    } failures[] = {{"refuse", u"Unknown error", "Moscow: Weather update failed."},
                    {"err", u"There is no weather", "Moscow: Weather service returned error."}};
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.switches);
        sim.Switch(f.switches);
        EXPECT_EQ(Run(u"Update RSXX0091"), 1u);
        EXPECT_EQ(key->ReadText(u"CityState_RSXX0091", u""), f.status);
        EXPECT_TRUE(skyvane::test::LoggedError(f.logged));
        EXPECT_EQ(FileBytes(u"RSXX0091"), stored);
    }
    EXPECT_GE(CountLogged("None sites updated"), 4u);  // two attempts each
    plugin.Reset();
    CoFreeUnusedLibraries();
}

}  // namespace
