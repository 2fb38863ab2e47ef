// The settings key, the main settings with their defaults and repairs, the
// city list, and the change poll following another process's writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/kernel/device_profile.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/test_clock.h"
#include "platform/registry/registry.h"
#include "plugin/languages.h"
#include "plugin/main_settings.h"
#include "plugin/platform_type.h"
#include "plugin/plugin_settings.h"
#include "plugin/weather_store.h"
#include "test_util/test_util.h"

namespace {

using namespace skyvane::plugin;
using skyvane::test::ScopedEnv;

constexpr char16_t kKey[] = u"Software\\Skyvane\\Weather";

void SetRaw(const char16_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), 0);
    RegCloseKey(key);
}

bool KeyExists(const char16_t* path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::u16string N(const char* prefix, int i) { return skyvane::FromUtf8(prefix + std::to_string(i)); }

class SettingsTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root;
    std::shared_ptr<SettingsKey> key = std::make_shared<SettingsKey>(u"Weather", u"Skyvane");

    void StoreCities(int count, int gapAt = -1) {
        for (int i = 0; i < count; ++i) {
            if (i == gapAt) continue;
            key->WriteText(N("CityCode", i), N("CODE", i));
            key->WriteText(N("CityName", i), N("City ", i));
            key->WriteText(N("CityCountry", i), u"Country");
        }
    }
    void SetClock(WORD year, WORD month, WORD day, WORD hour = 12) {
        ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/clock"));
        SYSTEMTIME t{year, month, 0, day, hour, 0, 0, 0};
        ASSERT_TRUE(skyvane::testclock::SetLocalTime(t));
    }
};

TEST_F(SettingsTest, ReadsNeverCreateAndTakeOnlyTheStoredType) {
    EXPECT_EQ(key->ReadNumber(u"ViewType", 2), 2);
    EXPECT_EQ(key->ReadText(u"ThemeName", u"x"), u"x");
    EXPECT_EQ(key->ReadDate(u"LastSuccessUpdateDate", 0), 0);
    EXPECT_FALSE(KeyExists(u"Software\\Skyvane"));

    key->WriteNumber(u"CorrectionClock", -3);
    EXPECT_TRUE(KeyExists(kKey));
    EXPECT_EQ(key->ReadNumber(u"CorrectionClock", 0), -3);
    const char16_t text[] = u"12";
    SetRaw(u"ViewType", REG_SZ, text, sizeof text);  // a number stored as text is not a number
    EXPECT_EQ(key->ReadNumber(u"ViewType", 2), 2);
    DWORD number = 5;
    SetRaw(u"ThemeName", REG_DWORD, &number, 4);
    EXPECT_EQ(key->ReadText(u"ThemeName", u"classic"), u"classic");

    const double date = 40838.75;  // 22 October 2011 18:00
    key->WriteDate(u"LastSuccessUpdateDate", date);
    EXPECT_EQ(key->ReadDate(u"LastSuccessUpdateDate", 0), date);
    unsigned char bytes[9] = {};
    for (DWORD size : {7u, 9u}) {  // only exactly 8 bytes are a date
        SetRaw(u"LastSuccessUpdateDate", REG_BINARY, bytes, size);
        EXPECT_EQ(key->ReadDate(u"LastSuccessUpdateDate", -1), -1) << size;
    }
    SetRaw(u"LastSuccessUpdateDate", REG_DWORD, &number, 4);
    EXPECT_EQ(key->ReadDate(u"LastSuccessUpdateDate", -1), -1);

    // A key deleted by another process is created again by the next write.
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kKey), 0);
    EXPECT_EQ(key->ReadNumber(u"CorrectionClock", 7), 7);
    key->WriteNumber(u"CorrectionClock", 2);
    EXPECT_EQ(SettingsKey(u"Weather", u"Skyvane").ReadNumber(u"CorrectionClock", 0), 2);
}

TEST_F(SettingsTest, AMissingKeyGivesTheDefaults) {
    PluginSettings settings(key);
    settings.LoadCityList();
    EXPECT_TRUE(settings.Cities().empty());
    EXPECT_EQ(settings.viewType, 2);
    EXPECT_EQ(settings.connectionGuid, 1);
    EXPECT_EQ(settings.currentCity, 0);
    EXPECT_EQ(AnimationPeriod(*key), 15);
    EXPECT_EQ(CorrectionClock(*key), 0);
    EXPECT_EQ(PluginIndex(*key), 4);
    EXPECT_TRUE(DoubleClick(*key));
    EXPECT_TRUE(EnableOnToday(*key));
    EXPECT_EQ(CityDatabasePath(*key), u"\\Storage\\Program Files\\SkyvaneWeather\\Database");
    // A Pocket PC vibrates and does not click.
    EXPECT_FALSE(Sound(*key));
    EXPECT_TRUE(Vibra(*key));
    // The details window style is chosen from the 240×320 screen and kept.
    EXPECT_FALSE(key->HasValue(u"DetailsModeNew"));
    EXPECT_EQ(DetailsModeNew(*key), 1);
    EXPECT_EQ(key->ReadNumber(u"DetailsModeNew", -1), 1);
    // Nothing was written but that.
    EXPECT_FALSE(key->HasValue(u"CurrentCity"));

    SetProcessLanguage(1033);
    EXPECT_EQ(settings.GetUnitType(), 1);
    SetProcessLanguage(1049);
    EXPECT_EQ(settings.GetUnitType(), 13);
    settings.SetUnitType(4);
    EXPECT_TRUE(settings.unitsChanged);
    EXPECT_EQ(settings.GetUnitType(), 4);
}

TEST_F(SettingsTest, RepairsOfValuesOutOfRange) {
    struct Case {
        int32_t stored;
        int32_t correction;
    } cases[] = {{25, 0}, {-25, 0}, {24, 24}, {-24, -24}, {3, 3}};
    for (const Case& c : cases) {
        key->WriteNumber(u"CorrectionClock", c.stored);
        EXPECT_EQ(CorrectionClock(*key), c.correction) << c.stored;
    }
    SetPluginIndex(*key, 20);  // a line past the last is not stored
    EXPECT_EQ(PluginIndex(*key), 4);
    SetPluginIndex(*key, 19);
    EXPECT_EQ(PluginIndex(*key), 19);
    EXPECT_FALSE(IsViewType(9));
    EXPECT_TRUE(IsViewType(12));

    StoreCities(3);
    key->WriteNumber(u"CurrentCity", 7);
    PluginSettings settings(key);
    settings.LoadCityList();
    EXPECT_EQ(settings.currentCity, 0);
    EXPECT_EQ(key->ReadNumber(u"CurrentCity", -1), 0);
    key->WriteNumber(u"CurrentCity", 2);
    EXPECT_TRUE(settings.CheckCurrentCity());
    key->WriteNumber(u"CurrentCity", -1);
    EXPECT_TRUE(settings.CheckCurrentCity());
    EXPECT_EQ(settings.currentCity, 0);
}

TEST_F(SettingsTest, TheCityListEndsAtAGapAndAtAHundred) {
    StoreCities(4, /*gapAt=*/2);  // codes at 0, 1 and 3
    PluginSettings settings(key);
    settings.LoadCityList();
    ASSERT_EQ(settings.Cities().size(), 2u);
    EXPECT_EQ(settings.Cities()[1]->Code(), u"CODE1");
    EXPECT_EQ(settings.Cities()[1]->Name(), u"City 1");
    EXPECT_EQ(settings.Cities()[1]->Country(), u"Country");

    StoreCities(120);
    settings.LoadCityList();
    EXPECT_EQ(settings.Cities().size(), 100u);

    key->WriteText(u"CityName7", u"");  // an empty name ends the list too
    settings.LoadCityList();
    EXPECT_EQ(settings.Cities().size(), 7u);
}

TEST_F(SettingsTest, AShorterListEndsWhereItIsSaved) {
    StoreCities(5);
    PluginSettings settings(key);
    settings.LoadCityList();
    settings.Cities().resize(3);
    settings.SaveSettings();
    EXPECT_FALSE(key->HasValue(u"CityCode3"));
    EXPECT_FALSE(key->HasValue(u"CityName3"));
    EXPECT_TRUE(key->HasValue(u"CityCountry3"));
    EXPECT_TRUE(key->HasValue(u"CityCode4"));  // beyond the end, never read
    PluginSettings again(key);
    again.LoadCityList();
    EXPECT_EQ(again.Cities().size(), 3u);
}

TEST_F(SettingsTest, ACityReplacedInTheListShowsNothingOfTheOldOne) {
    StoreCities(1);
    PluginSettings settings(key);
    settings.LoadCityList();
    settings.Cities()[0]->Weather().FindOrAddRecord(40838.0, KWDay);
    key->WriteText(u"CityCode0", u"OTHER");
    settings.LoadCityList();
    EXPECT_EQ(settings.Cities()[0]->Code(), u"OTHER");
    EXPECT_EQ(settings.Cities()[0]->Weather().Count(), 0u);
}

TEST_F(SettingsTest, LanguageFromTheSettingOrTheDevice) {
    ScopedEnv all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(LanguageFromSettings(*key), 1031);  // from the device's 0x0407
    struct Case {
        int32_t stored, effective;
    } cases[] = {{2057, 1033}, {1049, 1049}, {1172, 1172}, {1028, 1028}, {1298, 1298}, {1050, 1033}, {0, 1033}};
    for (const Case& c : cases) {
        key->WriteNumber(u"LanguageID", c.stored);
        EXPECT_EQ(LanguageFromSettings(*key), c.effective) << c.stored;
    }
}

TEST_F(SettingsTest, TheThemeFollowsTheSettingTheInstallerAndTheSeason) {
    PluginSettings settings(key);
    SetClock(2027, 1, 3);
    EXPECT_EQ(settings.GetThemeName(), u"NewYear");
    SettingsKey install(u"WeatherRelease", u"SkyvaneWeatherRelease");
    install.WriteText(u"InstallFolder", u"\\Windows\\SkyvaneWeather");
    install.WriteText(u"ThemeName", u"Winter");
    EXPECT_EQ(settings.GetThemeName(), u"Winter");
    install.WriteText(u"ThemeName", u"");
    SetClock(2027, 1, 6);
    EXPECT_EQ(settings.GetThemeName(), u"classic");
    key->WriteText(u"ThemeName", u"Mine");
    EXPECT_EQ(settings.GetThemeName(), u"Mine");
    struct Case {
        int month, day;
        const char16_t* theme;
    } cases[] = {{12, 20, u"classic"}, {12, 21, u"NewYear"}, {12, 31, u"NewYear"}, {1, 1, u"NewYear"},
                 {1, 5, u"NewYear"},   {1, 6, u"classic"},   {7, 1, u"classic"}};
    for (const Case& c : cases) EXPECT_EQ(SeasonalTheme(c.month, c.day), c.theme) << c.month << "/" << c.day;
}

TEST_F(SettingsTest, TheVariantFollowsTheFilledInstallationKey) {
    InstallKeys keys;
    EXPECT_EQ(keys.CurrentVariant(), Variant::Weather);
    EXPECT_EQ(keys.UiProgram(), u"\\Windows\\SkyvaneWeather\\SkyvaneWeatherUI.exe");
    SettingsKey clock(u"WeatherClock", u"SkyvaneWeatherClock");
    clock.WriteText(u"InstallFolder", u"\\Windows\\Clock");
    clock.WriteText(u"SkyvaneWeatherUI", u"\\Windows\\Clock\\UI.exe");
    EXPECT_EQ(keys.CurrentVariant(), Variant::Clock);
    EXPECT_EQ(keys.Title(), u"Weather Clock");
    EXPECT_EQ(keys.UiProgram(), u"\\Windows\\Clock\\UI.exe");
    SettingsKey weather(u"WeatherRelease", u"SkyvaneWeatherRelease");
    weather.WriteText(u"InstallFolder", u"\\Windows\\SkyvaneWeather");
    EXPECT_EQ(keys.CurrentVariant(), Variant::Weather);
    EXPECT_EQ(keys.InstallFolder(), u"\\Windows\\SkyvaneWeather");
    keys.SwitchToClock();
    EXPECT_EQ(keys.CurrentVariant(), Variant::Clock);
}

TEST(PlatformTypeTest, NamesOfTheDevices) {
    struct Case {
        const char16_t* name;
        PlatformType type;
    } cases[] = {{u"Smartphone", PlatformType::Smartphone}, {u"SMARTPHONE", PlatformType::Smartphone},
                 {u"PocketPC", PlatformType::PocketPC},     {u"pocket pc", PlatformType::PocketPC},
                 {u"Palm PC2", PlatformType::PocketPC},     {u"Desktop", PlatformType::Other},
                 {u"", PlatformType::Other}};
    for (const Case& c : cases) EXPECT_EQ(PlatformTypeFromName(c.name), c.type) << skyvane::ToUtf8(c.name);
}

TEST_F(SettingsTest, ASmartphoneClicksAndDoesNotVibrate) {
    SettingsKey device(u"Device", u"Skyvane", HKEY_LOCAL_MACHINE);
    device.WriteText(u"PlatformType", u"Smartphone");
    EXPECT_TRUE(Sound(*key));
    EXPECT_FALSE(Vibra(*key));
    key->WriteNumber(u"Sound", 0);
    EXPECT_FALSE(Sound(*key));
}

TEST_F(SettingsTest, LocalTimeOfACity) {
    ScopedEnv tz("TZ", "Europe/Berlin");
    SetClock(2027, 1, 15, 12);  // 12:00 in Berlin in winter is 11:00 UTC
    PluginSettings settings(key);
    CityEntry city(key);
    city.SetCode(u"RSXX0091");
    const double noon = 46402.5;  // 15 January 2027 12:00
    EXPECT_NEAR(settings.CityLocalTime(city), noon, 1e-6);  // offset unknown: the device's time
    city.SetGmtOffset(3);
    EXPECT_NEAR(settings.CityLocalTime(city), noon + 2 / 24.0, 1e-6);
    key->WriteNumber(u"CorrectionClock", -1);
    EXPECT_NEAR(settings.CityLocalTime(city), noon + 1 / 24.0, 1e-6);
    key->WriteNumber(u"CorrectionClock", 30);  // out of range: 0
    city.SetGmtOffset(-5);
    EXPECT_NEAR(settings.CityLocalTime(city), noon - 6 / 24.0, 1e-6);
}

// --- The change poll against another process --------------------------------

class PollTest : public SettingsTest {
protected:
    // Runs the registry editor, a process of its own, to change a value.
    void OtherProcessSets(const std::string& name, const std::string& type, const std::string& value) {
        std::string command = skyvane::test::BuildDir() + "/bin/skyvane-reg set 'HKCU\\Software\\Skyvane\\Weather' '" +
                              name + "' " + type + " '" + value + "' > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    void SaveCityWeather(const char16_t* code, double high) {
        CityEntry city(key);
        city.SetCode(code);
        city.SetName(u"x");
        city.Weather().FindOrAddRecord(46402.0, KWDay)->tempHigh = high;
        ASSERT_TRUE(SaveWeather(city));
    }
    double High(const PluginSettings& settings, size_t i) {
        return settings.Cities()[i]->Weather().records().at(0)->tempHigh;
    }
};

TEST_F(PollTest, ReportsWhatAnotherProcessChangedOneCityWeatherAtATime) {
    StoreCities(3);
    for (const char16_t* code : {u"CODE0", u"CODE1", u"CODE2"}) SaveCityWeather(code, 1);
    PluginSettings settings(key);
    settings.LoadCityList();
    PollResult first = settings.PollChanges(240, 80);
    EXPECT_TRUE(first.dayChanged);  // no day seen before
    EXPECT_TRUE(first.sizeChanged);
    EXPECT_FALSE(first.weatherReloaded);

    // The update run of another process stores two cities and a status.
    SaveCityWeather(u"CODE0", 20);
    SaveCityWeather(u"CODE2", 22);
    OtherProcessSets("CityState_CODE1", "sz", "getting weather now ...");
    OtherProcessSets("CityUpdateTime_CODE1", "dword", "4242");
    PollResult poll = settings.PollChanges(240, 80);
    EXPECT_FALSE(poll.cityListReloaded || poll.dayChanged || poll.sizeChanged || poll.optionsReloaded);
    ASSERT_EQ(poll.weatherReloaded, 0u);
    EXPECT_TRUE(poll.redraw);  // the current city
    EXPECT_EQ(High(settings, 0), 20);
    // The scan stopped at the first reloaded city: the rest waits a round.
    EXPECT_TRUE(poll.statusChanged.empty());
    EXPECT_EQ(High(settings, 2), 1);

    poll = settings.PollChanges(240, 80);
    EXPECT_EQ(poll.statusChanged, std::vector<size_t>{1});
    EXPECT_EQ(settings.Cities()[1]->Status(), u"getting weather now ...");
    ASSERT_EQ(poll.weatherReloaded, 2u);
    EXPECT_FALSE(poll.redraw);  // neither is the current city
    EXPECT_EQ(High(settings, 2), 22);
    EXPECT_FALSE(settings.PollChanges(240, 80).redraw);

    OtherProcessSets("ViewType", "dword", "5");
    OtherProcessSets("LastOptionTime", "dword", "777");
    bool optionsHandler = false;
    settings.SetOptionsReloadHandler([&] { optionsHandler = true; });
    poll = settings.PollChanges(240, 80);
    EXPECT_TRUE(poll.optionsReloaded);
    EXPECT_TRUE(optionsHandler);
    EXPECT_EQ(settings.viewType, 5);

    OtherProcessSets("CityCode3", "sz", "CODE3");
    OtherProcessSets("CityName3", "sz", "City 3");
    OtherProcessSets("CurrentCity", "dword", "3");
    OtherProcessSets("CityListTime", "dword", "888");
    poll = settings.PollChanges(240, 100);
    EXPECT_TRUE(poll.cityListReloaded);
    EXPECT_TRUE(poll.sizeChanged);
    EXPECT_EQ(settings.Cities().size(), 4u);
    EXPECT_EQ(settings.currentCity, 3);

    // This process's own stamp does not bring a reload.
    settings.StampCityList();
    EXPECT_FALSE(settings.PollChanges(240, 100).cityListReloaded);
}

}  // namespace
