// The skyvane command as a user and a script run it: the real program,
// installed into a fresh device, against the feed simulator on loopback;
// its output, what it leaves in the device, and its exit status (0 done,
// 1 failed, 2 bad usage).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/com/runtime.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/nls/text_conv.h"
#include "plugin/city_weather.h"
#include "plugin/settings_key.h"
#include "plugin/update_support.h"
#include "plugin/weather_store.h"
#include "test_util/test_util.h"
#include "weather/service_feedsim.h"

namespace {

using skyvane::test::ProgramRun;
using Args = std::vector<std::string>;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The simulator's cities: three of the installed database and one it lacks,
// which only the online search finds.
std::string WriteSimulatorCities(const std::string& folder) {
    const std::string path = folder + "/sim-cities.tsv";
    std::ofstream(path) << "RSXX0091\tMoscow\tRussia\t55.75\t37.62\t\t3\n"
                           "UKXX0085\tLondon\tUnited Kingdom\t51.51\t-0.13\t\t0\n"
                           "JAXX0085\tTokyo\tJapan\t35.69\t139.69\t\t9\n"
                           "ZZXX0001\tVanehaven\tOcean\t10.00\t-30.00\t\t-2\n";
    return path;
}

class SkyvaneCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        skyvane::test::SetServiceHosts(sim.host16(), sim.host16(), sim.host16(), sim.host16());
        const ProgramRun install = Run({"install"});
        ASSERT_EQ(install.status, 0) << install.out << install.err;
    }

    ProgramRun Run(const Args& args, const std::string& input = "") {
        return skyvane::test::RunProgram("skyvane", args, input, root.path());
    }
    std::string Text(const char16_t* name) { return skyvane::ToUtf8(key.ReadText(name, u"")); }
    void AddCities(const Args& names) {
        for (const std::string& name : names) ASSERT_EQ(Run({"city", "add", name}).status, 0) << name;
    }

    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::FeedSim sim{{"--cities", WriteSimulatorCities(root.path())}};
    skyvane::plugin::SettingsKey key{u"Weather", u"Skyvane"};
};

TEST_F(SkyvaneCliTest, InstallRegistersTheLibrariesWritesTheKeyAndCopiesTheDatabase) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid), S_OK);
    EXPECT_EQ(CLSIDFromProgID(u"SkyvaneWeather.SkyvaneWeatherHomeScreen", &clsid), S_OK);
    CoUninitialize();
    skyvane::plugin::SettingsKey install(u"WeatherRelease", u"SkyvaneWeatherRelease");
    EXPECT_EQ(install.ReadText(u"InstallFolder", u""), u"\\Windows\\SkyvaneWeather");
    EXPECT_EQ(install.ReadText(u"SkyvaneWeatherUI", u""),
              skyvane::FromUtf8(std::filesystem::canonical(skyvane::test::BuildDir() + "/bin").string() +
                                "/SkyvaneWeatherUI"));
    for (const char* file : {"index.txt", "kweather.idx", "kweather.db"})
        EXPECT_TRUE(std::filesystem::is_regular_file(
            skyvane::HostPath(u"\\Storage\\Program Files\\SkyvaneWeather\\Database\\" + skyvane::FromUtf8(file))))
            << file;
}

TEST_F(SkyvaneCliTest, CitiesAreAddedByCodeByNameAndByTheOnlineSearch) {
    struct Case {
        Args args;
        int status;
        std::string expected;  // in standard output, else in standard error
    } cases[] = {
        {{"UKXX0085"}, 0, "Added London, United Kingdom (UKXX0085), found in the city database"},
        {{"moscow"}, 0, "Added Moscow, Russia (RSXX0091), found in the city database"},
        {{"Vanehaven"}, 0, "Added Vanehaven, Ocean (ZZXX0001), found by the online city search"},
        {{"--online", "Tokyo"}, 0, "Added Tokyo, Japan (JAXX0085), found by the online city search"},
        {{"Moscow"}, 0, "Moscow, Russia (RSXX0091) is in the city list already; nothing changed."},
        {{"rsxx0091"}, 0, "is in the city list already"},
        {{"Paris"}, 1, "2 cities match \"Paris\""},
        {{"Paris", "--country", "Narnia"}, 1, "The city database has no country named \"Narnia\"."},
        {{"Nowhereville"}, 1, "Neither the city database nor the online city search knows a city named"},
        {{"ZZXX9999"}, 1, "ZZXX9999 is not a city code of the installed city database"},
        {{"--online", "RSXX0091"}, 2, "--online finds cities by name, not by code"},
    };
    for (const Case& c : cases) {
        Args args{"city", "add"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun run = Run(args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << run.out << run.err;
        EXPECT_TRUE(Has(c.status == 0 ? run.out : run.err, c.expected)) << run.out << run.err;
    }
    // Both Parises are offered by their codes.
    const ProgramRun paris = Run({"city", "add", "Paris"});
    EXPECT_TRUE(Has(paris.err, "CAXX0176  Paris, Canada") && Has(paris.err, "FRXX0076  Paris, France")) << paris.err;
    const std::vector<std::string> asked = sim.Targets();
    EXPECT_TRUE(std::any_of(asked.begin(), asked.end(), [](const std::string& t) { return Has(t, "where=Tokyo"); }))
        << "the online search was asked";

    // The list as every process reads it: in order, the last one current,
    // stamped, and logged.
    EXPECT_EQ(Text(u"CityCode0") + Text(u"CityCode1") + Text(u"CityCode2") + Text(u"CityCode3"),
              "UKXX0085RSXX0091ZZXX0001JAXX0085");
    EXPECT_EQ(Text(u"CityName1") + "/" + Text(u"CityCountry1"), "Moscow/Russia");
    EXPECT_EQ(key.ReadNumber(u"CurrentCity", -1), 3);
    EXPECT_NE(key.ReadStamp(u"CityListTime", 0), 0u);
    EXPECT_TRUE(skyvane::test::Logged("Vanehaven added"));
    const ProgramRun list = Run({"city", "list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_TRUE(std::regex_search(list.out, std::regex("\n\\* JAXX0085  Tokyo, Japan +There is no weather\n")))
        << list.out;
}

TEST_F(SkyvaneCliTest, RemovingACityNeedsAConfirmationAndMakesTheFirstCurrent) {
    AddCities({"Moscow", "UKXX0085"});
    struct Case {
        Args args;
        int status;
        std::string expected;
    } cases[] = {
        {{"UKXX0085"}, 1, "Removing London needs a confirmation: run it on a terminal, or add --yes."},
        {{"ZZXX0001", "--yes"}, 1, "ZZXX0001 is not in the city list"},
        {{"ukxx0085", "--yes"}, 0, "Removed London, United Kingdom (UKXX0085).\nThe current city is Moscow, Russia."},
    };
    for (const Case& c : cases) {
        Args args{"city", "remove"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramRun run = Run(args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_TRUE(Has(c.status == 0 ? run.out : run.err, c.expected)) << run.out << run.err;
    }
    EXPECT_EQ(Text(u"CityCode0"), "RSXX0091");
    EXPECT_FALSE(key.HasValue(u"CityCode1"));
    EXPECT_EQ(key.ReadNumber(u"CurrentCity", -1), 0);
    EXPECT_TRUE(skyvane::test::Logged("London deleted"));
}

TEST_F(SkyvaneCliTest, UpdatesRunInTheUiProgramAndEndWithItsStatus) {
    EXPECT_EQ(Run({"update"}).status, 1) << "no cities yet";
    AddCities({"Moscow", "UKXX0085"});
    const std::regex updated(" +updated successfully, updated \\d+ seconds ago\n");

    const ProgramRun all = Run({"update"});
    ASSERT_EQ(all.status, 0) << all.out << all.err;
    EXPECT_TRUE(std::regex_search(all.out, std::regex("^Moscow, Russia" + std::string(" +updated successfully"))))
        << all.out;
    EXPECT_TRUE(std::regex_search(all.out, std::regex("\nLondon, United Kingdom" + std::string(" +updated"))))
        << all.out;
    EXPECT_TRUE(std::filesystem::exists(skyvane::HostPath(u"\\Application Data\\SkyvaneWeather\\RSXX0091.bin")));
    EXPECT_TRUE(skyvane::test::Logged("weather will updated manually"));

    const ProgramRun one = Run({"update", "ukxx0085"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_TRUE(std::regex_match(one.out, std::regex("London, United Kingdom" + std::string(" +updated successfully, "
                                                                                            "updated \\d+ seconds ago\n"))))
        << one.out;
    EXPECT_EQ(Run({"update", "JAXX0085"}).status, 1) << "not in the list";

    // The questions of a user-started update get the answer that changes
    // nothing when nobody is at a terminal: no update runs.
    {
        skyvane::test::ScopedEnv fixed("SKYVANE_STATE_FIXED", "1");
        skyvane::test::SetSystemState(0, 0, 0x200);  // roaming
        const ProgramRun roaming = Run({"update"});
        EXPECT_EQ(roaming.status, 1);
        EXPECT_TRUE(Has(roaming.err, "The device is roaming and the update was not confirmed")) << roaming.err;
        skyvane::test::SetSystemState(0, 0x10, 0);
        key.WriteNumber(u"AllowCreateNewConection", 0);
        skyvane::test::ForceConnectionStatus(0x24);  // no path to the Internet
        const ProgramRun offline = Run({"update"});
        EXPECT_EQ(offline.status, 1);
        EXPECT_TRUE(Has(offline.err, "There is no Internet connection")) << offline.err;
        key.WriteNumber(u"AllowCreateNewConection", 1);
        skyvane::test::ForceConnectionStatus(0x10);
        EXPECT_EQ(Text(u"CityState_UKXX0085"), "updated successfully") << "nothing was asked for";
    }

    // Every answer an error: the run tries four times, fails, and so does the command.
    sim.Switch("err", 100);
    const ProgramRun failed = Run({"update"});
    EXPECT_EQ(failed.status, 1) << failed.out;
    EXPECT_TRUE(Has(failed.out, "London, United Kingdom  There is no weather")) << failed.out;
    EXPECT_EQ(Text(u"CityState_RSXX0091"), "There is no weather");
}

// The stored weather of Moscow, built by hand: what `show` prints comes from
// these values, in the examples' units.
class ShowTest : public SkyvaneCliTest {
protected:
    void SetUp() override {
        SkyvaneCliTest::SetUp();
        ASSERT_TRUE(skyvane::test::FreezeClockAt(root.path(), 12, 0));  // Saturday 7 March 2026
        AddCities({"Moscow", "UKXX0085"});
        key.WriteNumber(u"CurrentCity", 0);
        using namespace skyvane::plugin;
        CityEntry moscow(std::make_shared<SettingsKey>(u"Weather", u"Skyvane"));
        moscow.SetCode(u"RSXX0091");
        moscow.SetName(u"Moscow");
        const double today = 46088.0;  // 7 March 2026
        WeatherRecord* now = moscow.Weather().FindOrAddRecord(today + 0.5, KWCurrent);
        now->tempHigh = now->tempLow = 21.9;
        now->text = u"Partly Cloudy";
        now->icon = 30;
        now->humidity = 64;
        now->windSpeed = 20;
        now->windText = u"NW";
        now->pressure = 1013;
        now->pressureText = u"rising";
        now->visibility = 10;
        now->uvIndex = 7;
        for (int d = 0; d < 2; ++d) {
            WeatherRecord* day = moscow.Weather().FindOrAddRecord(today + d, KWDay);
            day->tempHigh = 24.5 - d;
            day->tempLow = 15.2 - d;
            day->text = u"Sunny";
            day->icon = 32;
            day->precipitation = 10;
            WeatherRecord* night = moscow.Weather().FindOrAddRecord(today + d, KWNight);
            night->tempLow = 15.2 - d;
            night->text = u"Clear";
            night->icon = 31;
        }
        moscow.Weather().SetLastUpdate(today + 0.5 - 5.0 / 1440);  // five minutes ago
        ASSERT_TRUE(SaveWeather(moscow));
    }

    skyvane::test::ScopedEnv clock{"SKYVANE_TEST_CLOCK"};
};

TEST_F(ShowTest, TheForecastForAPersonInTheUsersUnitsAndLanguage) {
    key.WriteNumber(u"UnitType", 13);  // °C, m/s, mmHg, 24 h
    const ProgramRun text = Run({"show", "--days", "2"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "Moscow, Russia (RSXX0091), updated 5 minutes ago\n"
              "  Now       21°C  Partly Cloudy\n"
              "            Wind: NW, 6 m/s, 759 mmHg rising, UV: 7 High, Humidity: 64%, Visibility: 16090 m\n"
              "  Today     24°C / 15°C  Sunny, 10% Chance precip.;  Night: Clear\n"
              "  Tomorrow  23°C / 14°C  Sunny, 10% Chance precip.;  Night: Clear\n");
    key.WriteNumber(u"LanguageID", 1049);
    const ProgramRun russian = Run({"show", "RSXX0091", "--days", "1"});
    EXPECT_TRUE(Has(russian.out, "Ветер: СЗ, 6 м/с")) << russian.out;

    // A city without stored weather says so and fails.
    const ProgramRun london = Run({"show", "UKXX0085"});
    EXPECT_EQ(london.status, 1);
    EXPECT_TRUE(Has(london.out, "(fetch it with: skyvane update UKXX0085)")) << london.out;
}

TEST_F(ShowTest, JsonForScriptsAndOneLineForStatusBars) {
    struct Case {
        int32_t unitType;
        std::string units;  // temperature, wind, pressure, visibility, clock
        int temperature;
        int wind;
        double pressure;
        int visibility;
        std::string line;
    } cases[] = {
        {13, "C m/s mmHg m 24h", 21, 6, 759, 16090, "⛅|21°C|Partly Cloudy|64%|NW, 6 m/s|5 min ago|Moscow|%"},
        {1, "F mph inHg miles 12h", 71, 12, 29.91, 10, "⛅|71°F|Partly Cloudy|64%|NW, 12 mph|5 min ago|Moscow|%"},
    };
    for (const Case& c : cases) {
        key.WriteNumber(u"UnitType", c.unitType);
        const ProgramRun run = Run({"show", "all", "--json", "--days", "1"});
        EXPECT_EQ(run.status, 1) << "London has no weather";
        const nlohmann::json doc = nlohmann::json::parse(run.out);
        EXPECT_EQ(doc["schema"], 1);
        const auto& u = doc["units"];
        EXPECT_EQ(u["temperature"].get<std::string>() + " " + u["wind"].get<std::string>() + " " +
                      u["pressure"].get<std::string>() + " " + u["visibility"].get<std::string>() + " " +
                      u["clock"].get<std::string>(),
                  c.units);
        ASSERT_EQ(doc["cities"].size(), 2u);
        const auto& moscow = doc["cities"][0];
        EXPECT_EQ(moscow["code"], "RSXX0091");
        EXPECT_EQ(moscow["current"], true);
        EXPECT_EQ(moscow["age_seconds"], 300);
        EXPECT_EQ(moscow["updated"], "2026-03-07T11:55:00");
        EXPECT_EQ(moscow["now"]["temperature"], c.temperature);
        EXPECT_EQ(moscow["now"]["wind_speed"], c.wind);
        EXPECT_DOUBLE_EQ(moscow["now"]["pressure"].get<double>(), c.pressure);
        EXPECT_EQ(moscow["now"]["visibility"], c.visibility);
        EXPECT_EQ(moscow["now"]["uv"], "High");
        EXPECT_TRUE(moscow["now"]["feels_like"].is_null());
        ASSERT_EQ(moscow["days"].size(), 1u);
        EXPECT_EQ(moscow["days"][0]["date"], "2026-03-07");
        EXPECT_EQ(moscow["days"][0]["night"]["condition"], "Clear");
        EXPECT_TRUE(doc["cities"][1]["now"].is_null());
        EXPECT_EQ(doc["cities"][1]["days"].size(), 0u);

        const ProgramRun line = Run({"show", "--line", "%i|%t|%c|%h|%w|%a|%n|%%"});
        EXPECT_EQ(line.status, 0) << line.err;
        EXPECT_EQ(line.out, c.line + "\n");
    }
}

TEST_F(SkyvaneCliTest, TheLogIsFoundAndOpened) {
    EXPECT_EQ(Run({"log", "--open"}).status, 1) << "nothing logged yet";
    AddCities({"Moscow"});
    const ProgramRun path = Run({"log"});
    EXPECT_EQ(path.status, 0);
    EXPECT_TRUE(std::regex_match(path.out, std::regex(".*/Application Data/SkyvaneWeather/SkyvaneLog\\d{4}-\\d\\d-\\d\\d\\.htm\n")))
        << path.out;
    const std::string opened = root.path() + "/opened.txt";
    const std::string opener = root.path() + "/opener.sh";
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > " << opened << "\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    skyvane::test::ScopedEnv env("SKYVANE_OPENER", opener.c_str());
    EXPECT_EQ(Run({"log", "--open"}).status, 0);
    for (int i = 0; i < 50 && !std::filesystem::exists(opened); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(opened);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line + "\n", path.out);
}

TEST_F(SkyvaneCliTest, TheBackgroundProcessRunsInTheForegroundUntilCtrlC) {
    skyvane::test::ScopedEnv fixed("SKYVANE_STATE_FIXED", "1");
    skyvane::test::SetSystemState(0, 0x10, 0);  // Wi-Fi
    const std::string output = root.path() + "/service.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        freopen(output.c_str(), "w", stdout);
        const std::string program = skyvane::test::BuildDir() + "/bin/skyvane";
        execl(program.c_str(), program.c_str(), "service", nullptr);
        _exit(127);
    }
    auto printed = [&] {
        std::ifstream in(output);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int i = 0; i < 100 && !Has(printed(), "It is time to update weather"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(pid, SIGINT);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string out = printed();
    EXPECT_TRUE(Has(out, "(network state: WiFi)")) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("\\d\\d:\\d\\d:\\d\\d  Weather update process started successfully.")))
        << out;
    EXPECT_TRUE(Has(out, "Weather update process stopped by the user.")) << out;

    // With every interval manual it ends by itself.
    for (const char16_t* name : {u"UpdateTime", u"UpdateTimeRoaming", u"UpdateTimeCradled", u"UpdateTimeWiFi"})
        key.WriteNumber(name, 0);
    const ProgramRun manual = Run({"service"});
    EXPECT_EQ(manual.status, 0);
    EXPECT_TRUE(Has(manual.out, "Updates are manual in this network state.")) << manual.out;
    EXPECT_TRUE(Has(manual.out, "error: Auto update disabled.")) << manual.out;
}

TEST(SkyvaneCliUsage, EveryCommandExplainsItselfAndBadCommandLinesGiveTwo) {
    skyvane::test::ScopedDeviceRoot root;
    auto run = [&](const Args& args) { return skyvane::test::RunProgram("skyvane", args, "", root.path()); };
    for (const Args& command : std::vector<Args>{{"install"}, {"city", "add"}, {"city", "list"}, {"city", "remove"},
                                                 {"update"}, {"service"}, {"show"}, {"log"}}) {
        Args args = command;
        args.push_back("--help");
        const ProgramRun help = run(args);
        std::string name = command[0] + (command.size() > 1 ? " " + command[1] : "");
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_EQ(help.out.rfind("usage: skyvane " + name, 0), 0u) << help.out;
        EXPECT_TRUE(Has(help.out, "Exit status: 0 done, 1 failed, 2 bad usage.")) << name;
    }
    EXPECT_EQ(run({"--help"}).status, 0);
    for (const Args& args : std::vector<Args>{{},
                                              {"frobnicate"},
                                              {"city"},
                                              {"city", "rename"},
                                              {"city", "add"},
                                              {"city", "remove", "A", "B"},
                                              {"show", "--days", "0"},
                                              {"show", "--days", "11"},
                                              {"show", "--json", "--line", "%t"},
                                              {"show", "--line", "%q"},
                                              {"show", "--line"},
                                              {"log", "--open=yes"},
                                              {"update", "--bogus"}}) {
        const ProgramRun bad = run(args);
        EXPECT_EQ(bad.status, 2) << (args.empty() ? "" : args[0]) << bad.err;
        EXPECT_TRUE(bad.out.empty()) << bad.out;
        EXPECT_FALSE(bad.err.empty());
    }
}

}  // namespace
