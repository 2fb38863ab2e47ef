// Update runs against the real weather service library (registered in the
// test's device and reached through COM) and the feed simulator: what is
// fetched, stored and published, the retries and their connections, the
// exclusion of other runs and of the installer, and failures of the feed
// that must leave the stored weather whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/com/runtime.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/ole_date.h"
#include "plugin/city_weather.h"
#include "plugin/network_state.h"
#include "plugin/schedule.h"
#include "plugin/skyvane_interfaces.h"
#include "plugin/update_lease.h"
#include "plugin/update_run.h"
#include "plugin/update_support.h"
#include "plugin/weather_store.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"

namespace {

using namespace skyvane::plugin;
using skyvane::test::FeedSim;
using skyvane::test::Logged;
using skyvane::test::LoggedError;

const std::vector<std::pair<std::u16string, std::u16string>> kCities = {
    {u"RSXX0091", u"Moscow"}, {u"UKXX0085", u"London"}, {u"FRXX0076", u"Paris"}};

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(skyvane::test::RegisterBuiltLibrary("libKWeather.so"));
        // Frozen where it stands: the simulator's weather is of the real date,
        // and the pauses between retries pass at once.
        ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
        ASSERT_TRUE(skyvane::testclock::Freeze(true));
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, 0)));
        skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
        skyvane::test::SetSystemState(0, 0x10, 0);  // Wi-Fi
    }
    void TearDown() override { CoUninitialize(); }

    UpdateOutcome Run(std::u16string_view code) {
        ConnectionPolicy policy(*key, nobody, connections);
        return UpdateRun(key, policy).UpdateAndSave(code);
    }
    // The city codes the simulator was asked for, in order.
    std::vector<std::string> Asked() const {
        std::vector<std::string> codes;
        for (const std::string& target : sim.Targets()) {
            size_t at = target.find("/weather/local/");
            if (at != std::string::npos) codes.push_back(target.substr(at + 15, 8));
        }
        return codes;
    }
    // A city stored before the run, and its file's bytes.
    std::string StoreCity(const std::u16string& code, const std::u16string& name) {
        CityEntry city(key);
        city.SetCode(code);
        city.SetName(name);
        city.Weather().FindOrAddRecord(LocalNow() + 1, KWDay)->tempHigh = 21;
        EXPECT_TRUE(SaveWeather(city));
        return FileBytes(code);
    }
    std::string FileBytes(const std::u16string& code) const {
        std::ifstream in(skyvane::HostPath(u"\\Application Data\\SkyvaneWeather\\" + code + u".bin"), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    std::u16string Status(const std::u16string& code) const { return key->ReadText(u"CityState_" + code, u"none"); }

    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::ScopedEnv fixedState{"SKYVANE_STATE_FIXED", "1"};
    FeedSim sim{{"--stall-seconds", "1"}};
    std::shared_ptr<SettingsKey> key = std::make_shared<SettingsKey>(u"Weather", u"Skyvane");
    skyvane::test::RecordingConnections connections{*key};
    NonInteractivePrompt nobody;
};

TEST_F(UpdateRunTest, AllCitiesAreFetchedStoredAndPublished) {
    // Codes at 0 and 1 and none at 2: the list ends there.
    skyvane::test::WriteCities(*key, kCities);
    key->DeleteValue(u"CityCode2");
    key->WriteText(u"CityCode3", u"GMXX0007");
    key->WriteText(u"CityName3", u"Berlin");
    key->WriteNumber(u"CurrentCity", 1);
    key->WriteNumber(u"UnitType", 13);

    UpdateOutcome outcome = Run(u"all");
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(Asked(), (std::vector<std::string>{"RSXX0091", "UKXX0085"}));
    for (const std::u16string code : {u"RSXX0091", u"UKXX0085"}) {
        EXPECT_EQ(Status(code), u"updated successfully");
        CityEntry stored(key);
        stored.SetCode(code);
        ASSERT_TRUE(LoadWeather(stored));
        EXPECT_GT(stored.Weather().Count(), 20u);
        EXPECT_EQ(stored.Weather().records()[0]->type, KWCurrent);
    }
    EXPECT_EQ(Status(u"GMXX0007"), u"none");
    EXPECT_NE(outcome.text.find(u"Moscow "), std::u16string::npos);
    EXPECT_NE(outcome.text.find(u"London "), std::u16string::npos);
    EXPECT_NE(outcome.text.find(u"updated "), std::u16string::npos);

    // The record of the run.
    const double now = LocalNow();
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);
    EXPECT_EQ(key->ReadDate(u"LastSuccessUpdateDate", 0), now);
    EXPECT_EQ(key->ReadNumber(u"LastSuccessUpdateState", -1), kStateWiFi);
    EXPECT_EQ(key->ReadDate(u"LastFullUpdateDate", 0), now);
    EXPECT_EQ(key->ReadStamp(u"UpdateStart", 0), GetTickCount());
    EXPECT_EQ(key->ReadDate(u"LastFailedUpdateDate", 0), 0);
    // One connection, to the Internet, given back at the end.
    EXPECT_EQ(skyvane::test::Destinations(connections), std::vector<int32_t>{kDestinationInternet});
    EXPECT_EQ(connections.held, 0);
    EXPECT_TRUE(Logged("Connection released"));
    EXPECT_TRUE(Logged("Begin get XML"));
    EXPECT_TRUE(Logged("End UpdateFromXML"));
    EXPECT_TRUE(Logged("Renewal for London finished successfully(now is "));
    EXPECT_TRUE(Logged(" items, time="));
    EXPECT_TRUE(Logged("Updated weather for 2 cities"));

    // The current city (London) is published for other applications.
    SettingsKey exchange(u"Exchange", u"Skyvane\\Weather");
    EXPECT_EQ(exchange.ReadText(u"LocationName", u""), u"London");
    EXPECT_EQ(exchange.ReadText(u"TemperatureUnit", u""), u"C");
    EXPECT_NE(exchange.ReadText(u"CurrentTemp", u"").find(u"°C"), std::u16string::npos);
    EXPECT_NE(exchange.ReadText(u"TodayTempHigh", u"none"), u"none");
    EXPECT_TRUE(exchange.HasValue(u"CurrentIcon"));
    EXPECT_TRUE(exchange.HasValue(u"CurrentTemperatureUpdatedTime"));

    // One city by its code, compared exactly; a code that ends in CR LF is
    // requested without them.
    key->WriteText(u"CityCode2", u"GMXX0007\r\n");
    key->WriteText(u"CityName2", u"Berlin");
    EXPECT_EQ(Run(u"ukxx0085").result, S_OK);  // no such city: nothing to do
    EXPECT_EQ(Asked().size(), 2u);
    EXPECT_TRUE(LoggedError("None sites updated"));
    // Its weather cannot be stored under that code: the city is not updated.
    EXPECT_EQ(Run(u"GMXX0007\r\n").result, E_FAIL);
    EXPECT_EQ(Asked().back(), "GMXX0007");
    EXPECT_EQ(Status(u"GMXX0007\r\n"), u"Unknown error");
    bool withLineEnd = false;
    for (const std::string& target : sim.Targets()) withLineEnd |= target.find_first_of("\r\n") != std::string::npos;
    EXPECT_FALSE(withLineEnd);
}

TEST_F(UpdateRunTest, AnotherRunsLeaseStopsTheRunUntilItIsStale) {
    skyvane::test::WriteCities(*key, {kCities[0]});
    const double now = LocalNow();
    key->WriteDate(u"IsUpdateInProgressTime", now - 5 * kMinuteDays);
    UpdateOutcome outcome = Run(u"all");
    EXPECT_EQ(outcome.result, S_FALSE);
    EXPECT_TRUE(Asked().empty());
    EXPECT_TRUE(LoggedError("Update stopped because other update in progress yet! (Updated at " +
                            LogDate(now - 5 * kMinuteDays) + ")"));
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", 0), now - 5 * kMinuteDays);

    key->WriteDate(u"IsUpdateInProgressTime", now - 11 * kMinuteDays);
    EXPECT_EQ(Run(u"all").result, S_OK);
    EXPECT_EQ(Asked().size(), 1u);
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);
}

TEST_F(UpdateRunTest, ANewerRunMakesAnOlderOneStopBetweenCities) {
    skyvane::test::WriteCities(*key, kCities);
    // Another process starts a run over all cities while the first city is fetched.
    connections.during = [&] { key->WriteStamp(u"UpdateStart", key->ReadStamp(u"UpdateStart", 0) + 1); };
    UpdateOutcome outcome = Run(u"all");
    EXPECT_EQ(outcome.result, S_FALSE);
    EXPECT_EQ(Asked(), std::vector<std::string>{"RSXX0091"});
    EXPECT_EQ(Status(u"RSXX0091"), u"updated successfully");
    EXPECT_EQ(Status(u"UKXX0085"), u"none");
    EXPECT_TRUE(Logged("Update stopped because other update started"));
    EXPECT_EQ(key->ReadDate(u"LastFailedUpdateDate", 0), 0);
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);

    // Between attempts: the retry finds the newer run and stops at once.
    connections.during = nullptr;
    connections.onRelease = [&] { key->WriteStamp(u"UpdateStart", key->ReadStamp(u"UpdateStart", 0) + 1); };
    skyvane::test::SetServiceHosts(skyvane::test::RefusingHost(), skyvane::test::RefusingHost(),
                                   skyvane::test::RefusingHost(), skyvane::test::RefusingHost());
    EXPECT_EQ(Run(u"all").result, S_FALSE);
    EXPECT_TRUE(Logged("update stopped because other update started"));
    EXPECT_EQ(connections.requests.size(), 2u);
}

TEST_F(UpdateRunTest, FailedAttemptsAreRetriedOnEachDestination) {
    skyvane::test::WriteCities(*key, {kCities[0], kCities[1]});
    const std::string before = StoreCity(u"RSXX0091", u"Moscow");
    skyvane::test::SetServiceHosts(skyvane::test::RefusingHost(), skyvane::test::RefusingHost(),
                                   skyvane::test::RefusingHost(), skyvane::test::RefusingHost());
    struct Case {
        int32_t choice;
        std::vector<int32_t> iterations, destinations;
    } cases[] = {
        {0, {1, 2, 1, 2}, {2, 1, 2, 1}},  // "Network then Internet"
        {5, {1, 2, 1, 2}, {1, 2, 1, 2}},
        {1, {1, 1}, {1, 1}},
        {3, {1, 1}, {3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        key->WriteNumber(u"ConnectionGUID", c.choice);
        key->WriteDate(u"LastFailedUpdateDate", 0);
        connections.requests.clear();
        const size_t failures = skyvane::test::CountLogged("None sites updated");
        UpdateOutcome outcome = Run(u"all");
        EXPECT_EQ(outcome.result, E_FAIL);
        std::vector<int32_t> iterations;
        for (const auto& r : connections.requests) iterations.push_back(r.iteration);
        EXPECT_EQ(iterations, c.iterations);
        EXPECT_EQ(skyvane::test::Destinations(connections), c.destinations);
        EXPECT_EQ(connections.held, 0);
        EXPECT_EQ(skyvane::test::CountLogged("None sites updated"), failures + c.iterations.size());
        EXPECT_EQ(key->ReadDate(u"LastFailedUpdateDate", 0), LocalNow());
        EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);
    }
    // Each attempt's cities are added to the result.
    EXPECT_EQ(Status(u"RSXX0091"), u"Unknown error");
    EXPECT_EQ(FileBytes(u"RSXX0091"), before);
    EXPECT_TRUE(LoggedError("Weather update failed."));  // the service's description
}

TEST_F(UpdateRunTest, FailuresOfTheFeedKeepWhatIsStored) {
    skyvane::test::WriteCities(*key, {kCities[0]});
    const std::string before = StoreCity(u"RSXX0091", u"Moscow");
    struct Case {
        const char* what;
        std::function<void()> arrange;
        HRESULT result;
        const char16_t* status;
        const char* logged;
        bool stored;
    } cases[] = {
        {"no path to the destination",
         [&] { connections.answer = [](const CONNMGR_CONNECTIONINFO&) { return DWORD(0x24); }; }, E_FAIL,
         u"No path to the destination could be found.", "can not be established with error 80004005", false},
        {"the feed refuses", [&] { sim.Switch("refuse"); }, E_FAIL, u"Unknown error", "Weather update failed.", false},
        {"an error document", [&] { sim.Switch("err"); }, E_FAIL, u"There is no weather", "No weather records",
         false},
        // The first attempt's four requests stall; the retry gets the weather.
        {"the feed stalls once", [&] { sim.Switch("stall", 4); }, S_OK, u"updated successfully",
         "Renewal for Moscow finished successfully", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        connections.answer = nullptr;
        sim.Switch("");
        c.arrange();
        const size_t rows = skyvane::test::CountLogged(c.logged);
        EXPECT_EQ(Run(u"RSXX0091").result, c.result);
        EXPECT_EQ(Status(u"RSXX0091"), c.status);
        EXPECT_GT(skyvane::test::CountLogged(c.logged), rows);
        if (!c.stored) {
            EXPECT_EQ(FileBytes(u"RSXX0091"), before);
        }
    }
    EXPECT_NE(FileBytes(u"RSXX0091"), before);
}

TEST_F(UpdateRunTest, TheInstallerStopsRunsAtTheirNextCheck) {
    skyvane::test::WriteCities(*key, kCities);
    key->WriteNumber(u"DisableOnInstallTime", 1);
    EXPECT_EQ(Run(u"all").result, S_FALSE);
    EXPECT_TRUE(LoggedError("Install in progress. UpdateAndSave closed."));
    EXPECT_TRUE(Asked().empty());

    // During the first city: the run stops before the next.
    key->WriteNumber(u"DisableOnInstallTime", 0);
    connections.during = [&] { key->WriteNumber(u"DisableOnInstallTime", 1); };
    EXPECT_EQ(Run(u"all").result, S_FALSE);
    EXPECT_TRUE(LoggedError("Install in progress. UpdateAndSaveWithIteration closed."));
    EXPECT_EQ(Asked().size(), 1u);
    EXPECT_EQ(key->ReadDate(u"IsUpdateInProgressTime", -1), 0);

    // After a failed attempt: the retry does not begin.
    connections.during = nullptr;
    connections.onRelease = [&] { key->WriteNumber(u"DisableOnInstallTime", 1); };
    skyvane::test::SetServiceHosts(skyvane::test::RefusingHost(), skyvane::test::RefusingHost(),
                                   skyvane::test::RefusingHost(), skyvane::test::RefusingHost());
    struct Case {
        int32_t choice;
        const char* logged;
    } cases[] = {{0, "Install in progress. UpdateAndSave 1 closed."}, {1, "Install in progress. UpdateAndSave 2 closed."}};
    for (const Case& c : cases) {
        key->WriteNumber(u"DisableOnInstallTime", 0);
        key->WriteNumber(u"ConnectionGUID", c.choice);
        connections.requests.clear();
        EXPECT_EQ(Run(u"all").result, S_FALSE);
        EXPECT_TRUE(LoggedError(c.logged));
        EXPECT_EQ(connections.requests.size(), 1u);
        EXPECT_EQ(key->ReadDate(u"LastFailedUpdateDate", 0), 0);
    }
}

TEST_F(UpdateRunTest, ThePluginObjectRunsUpdatesAndTheServiceLoop) {
    ASSERT_TRUE(skyvane::test::RegisterBuiltLibrary("libSkyvaneWeather.so"));
    skyvane::test::ForceConnectionStatus(0x10);
    skyvane::test::WriteCities(*key, {kCities[0], kCities[1]});
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(u"SkyvaneWeather.SkyvaneWeatherHomeScreen", &clsid), S_OK);
    skyvane::ComPtr<ISkyvaneWeatherHomeScreen3> plugin;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)), S_OK);

    // "Service" is a city code like any other: no city has it.
    EXPECT_EQ(plugin->UpdateAndSave(skyvane::Bstr(u"Service"), 0, 0), S_OK);
    EXPECT_TRUE(Asked().empty());
    EXPECT_TRUE(LoggedError("None sites updated"));
    EXPECT_EQ(plugin->UpdateAndSave(skyvane::Bstr(u"all"), 0, 0), S_OK);
    EXPECT_EQ(Asked().size(), 2u);

    skyvane::test::ForceConnectionStatus(0x24);
    EXPECT_EQ(plugin->UpdateAndSave(skyvane::Bstr(u"UKXX0085"), 7, 3), E_FAIL);
    skyvane::ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    skyvane::Bstr description;
    error->GetDescription(description.Out());
    EXPECT_EQ(description.Str().rfind(u"Weather update failed. London ", 0), 0u) << skyvane::ToUtf8(description.View());

    // "service": the background update loop, which ends at once when every
    // schedule is manual.
    for (const char16_t* name : {u"UpdateTime", u"UpdateTimeRoaming", u"UpdateTimeCradled", u"UpdateTimeWiFi"})
        key->WriteNumber(name, 0);
    EXPECT_EQ(plugin->UpdateAndSave(skyvane::Bstr(u"service"), 0, 0), S_OK);
    EXPECT_TRUE(LoggedError("Auto update disabled."));
    plugin.Reset();
    CoFreeUnusedLibraries();
}

}  // namespace
