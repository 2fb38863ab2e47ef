// The city directory over a small hand-built database (tests/data/citydb/small):
//
//   index.txt   A*; Austria C*; Côte d'Ivoire R*; Russia U*; USA "Other countries*;"
//   austria     one section: Wien, Bregenz, Graz, bad Ischl, Mödling, Baden, Linz (no code)
//   côte d'ivoire, russia (Москва, Sankt-Peterburg, a name with bad UTF-8): one section each
//   usa         by letter: a (2), b (3), d (2), e (1), z (1); no c, f, g ...
#include "cities/city_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/base/wide_string.h"
#include "test_util/test_util.h"

namespace skyvane::cities {
namespace {

namespace fs = std::filesystem;

const std::string kSmall = std::string(SKYVANE_SOURCE_DIR) + "/tests/data/citydb/small/";
const std::u16string kCannotOpenTail = u". Please check your installation folder or reinstall Weather.";

class CityDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override { dir.SetDatabasePath(W(kSmall)); }

    // Names and codes of the whole city list, empty entries included.
    std::vector<std::string> List() const {
        std::vector<std::string> out;
        for (const auto& c : dir.Cities()) out.push_back(c.name + (c.code.empty() ? "" : "=" + c.code));
        return out;
    }

    test::ScopedDeviceRoot root;
    CityDirectory dir;
};

TEST_F(CityDirectoryTest, StartsEmpty) {
    CityDirectory fresh;
    EXPECT_EQ(fresh.DatabasePath(), u"\\Storage card\\Application Data\\SkyvaneWeather\\");
    EXPECT_EQ(fresh.CountryIndex(), -1);
    EXPECT_EQ(fresh.CityIndex(), -1);
    EXPECT_EQ(fresh.CountryCount(), 0);
    std::u16string text = u"sentinel";
    EXPECT_EQ(fresh.City(text), S_FALSE);
    EXPECT_EQ(text, u"");
    text = u"sentinel";
    EXPECT_EQ(fresh.Country(text), S_FALSE);
    EXPECT_EQ(text, u"");
    LONG value = 0xdead;
    EXPECT_EQ(fresh.CountryIsLetter(value), S_FALSE);
    EXPECT_EQ(value, 0);
}

TEST_F(CityDirectoryTest, CountriesWithLetterHeadingsInFileOrder) {
    ASSERT_EQ(dir.BeginCountry(u"ignored").hr, S_OK);
    EXPECT_EQ(dir.CountryIndex(), 0);
    std::vector<std::pair<std::u16string, LONG>> seen;
    LONG last = 0;
    do {
        std::u16string name;
        LONG isLetter = -1;
        EXPECT_EQ(dir.Country(name), S_OK);
        EXPECT_EQ(dir.CountryIsLetter(isLetter), S_OK);
        seen.emplace_back(name, isLetter);
        EXPECT_EQ(dir.CountryNext(last), S_OK);
    } while (!last);
    const std::vector<std::pair<std::u16string, LONG>> expected = {
        {u"A", 1}, {u"Austria", 0}, {u"C", 1}, {u"Côte d'Ivoire", 0}, {u"R", 1},
        {u"Russia", 0}, {u"U", 1}, {u"USA", 0}, {u"Other countries", 1},
    };
    EXPECT_EQ(seen, expected);

    // Past the end: no entry, S_FALSE, and Last stays 1.
    std::u16string name = u"x";
    EXPECT_EQ(dir.Country(name), S_FALSE);
    EXPECT_EQ(name, u"");
    EXPECT_EQ(dir.CountryNext(last), S_OK);
    EXPECT_EQ(last, 1);
}

TEST_F(CityDirectoryTest, CountryIndexPutAcceptsOnlyEntriesOfTheList) {
    ASSERT_EQ(dir.BeginCountry(u"").hr, S_OK);
    EXPECT_EQ(dir.SetCountryIndex(8).hr, S_OK);  // count - 1
    std::u16string name;
    dir.Country(name);
    EXPECT_EQ(name, u"Other countries");
    EXPECT_EQ(dir.SetCountryIndex(9).hr, E_INVALIDARG);
    EXPECT_EQ(dir.SetCountryIndex(-1).hr, E_INVALIDARG);
    EXPECT_FALSE(dir.SetCountryIndex(-1).description.empty());
    EXPECT_EQ(dir.CountryIndex(), 8);  // unchanged by the refused puts
}

TEST_F(CityDirectoryTest, OneSectionCountryWithUnderscoreFillsEveryEntry) {
    auto r = dir.BeginCityByCountry(u"Austria", u"_");
    ASSERT_EQ(r.hr, S_OK) << std::string(r.description.begin(), r.description.end());
    EXPECT_EQ(dir.SplitByLetter(), 0);
    EXPECT_EQ(dir.CountryCount(), 7);
    EXPECT_EQ(List(), (std::vector<std::string>{"Wien=AUXX0025", "Bregenz=AUXX0004", "Graz=AUXX0010",
                                                "bad Ischl=AUXX0001", "M\xF6" "dling=AUXX0050", "Baden=AUXX0002",
                                                "Linz"}));
    // Walk it as callers do.
    EXPECT_EQ(dir.CityIndex(), 0);
    std::vector<std::u16string> names, codes;
    LONG last = 0;
    do {
        std::u16string name, code;
        EXPECT_EQ(dir.City(name), S_OK);
        EXPECT_EQ(dir.CityCode(code), S_OK);
        names.push_back(name);
        codes.push_back(code);
        dir.CityNext(last);
    } while (!last);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names[4], u"Mödling");
    EXPECT_EQ(codes[4], u"AUXX0050");
    EXPECT_EQ(codes[6], u"");  // a line without ";" has an empty code
}

TEST_F(CityDirectoryTest, LetterFilterKeepsTheSectionLengthWithAnEmptyTail) {
    // The country's own case does not matter; the letter's neither.
    ASSERT_EQ(dir.BeginCityByCountry(u"AUSTRIA", u"B").hr, S_OK);
    EXPECT_EQ(dir.SplitByLetter(), 0);
    EXPECT_EQ(List(), (std::vector<std::string>{"Bregenz=AUXX0004", "bad Ischl=AUXX0001", "Baden=AUXX0002", "",
                                                "", "", ""}));
    EXPECT_EQ(dir.CountryCount(), 7);
    EXPECT_EQ(dir.CityIndex(), 0);

    // Several letters compare as a prefix; step marks mean nothing for a
    // country kept whole.
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"bre>").hr, S_OK);
    EXPECT_EQ(List()[0], "Bregenz=AUXX0004");
    EXPECT_EQ(List()[1], "");
    // A letter from the code page's upper half matches too.
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"MÖ").hr, S_OK);
    EXPECT_EQ(List()[0], "M\xF6" "dling=AUXX0050");
}

TEST_F(CityDirectoryTest, FilterThatTakesNothingGivesFalseWithAFullLengthList) {
    auto r = dir.BeginCityByCountry(u"Austria", u"q");
    EXPECT_EQ(r.hr, S_FALSE);
    EXPECT_TRUE(r.description.empty());
    EXPECT_EQ(dir.CountryCount(), 7);
    EXPECT_EQ(dir.CityIndex(), -1);
    std::u16string name = u"x";
    EXPECT_EQ(dir.City(name), S_FALSE);
}

TEST_F(CityDirectoryTest, CountryByLetterWithUnderscoreUsesTheASection) {
    ASSERT_EQ(dir.BeginCityByCountry(u"USA", u"_").hr, S_OK);
    EXPECT_EQ(dir.SplitByLetter(), 1);
    EXPECT_EQ(List(), (std::vector<std::string>{"Albany, NY=USNY0014", "Austin, TX=USTX0057"}));
}

TEST_F(CityDirectoryTest, LetterStepsOverMissingSectionsAtMostTwice) {
    struct Case {
        const char16_t* letter;
        HRESULT hr;
        const char* first;  // first city, or nullptr when the list is empty
    } cases[] = {
        {u"b", S_OK, "Boston, MA=USMA0046"},   // no step
        {u"b>", S_OK, "Dallas, TX=USTX0327"},  // c missing, d found
        {u"c>", S_OK, "Dallas, TX=USTX0327"},  // d at the first step
        {u"d>", S_OK, "El Paso, TX=USTX0413"},
        {u"e>", S_FALSE, nullptr},             // f and g missing
        {u"w>", S_FALSE, nullptr},             // x, y missing: z is three steps away
        {u"x>", S_OK, "Zanesville, OH=USOH1067"},
        {u"z>", S_OK, "Zanesville, OH=USOH1067"},  // z is the end
        {u"b<", S_OK, "Albany, NY=USNY0014"},
        {u"a<", S_OK, "Albany, NY=USNY0014"},  // a is the start
        {u"b*", S_OK, "Dallas, TX=USTX0327"},  // continue after b
        {u"d<*", S_OK, "El Paso, TX=USTX0413"},  // "*" outranks "<"
        {u">d<", S_OK, "Boston, MA=USMA0046"},   // "<" outranks ">"
        {u"g<", S_OK, "El Paso, TX=USTX0413"},   // f missing, e found
    };
    for (const auto& c : cases) {
        std::string letter(c.letter, c.letter + std::char_traits<char16_t>::length(c.letter));
        auto r = dir.BeginCityByCountry(u"usa", c.letter);
        EXPECT_EQ(r.hr, c.hr) << letter;
        EXPECT_TRUE(r.description.empty()) << letter;
        EXPECT_EQ(dir.SplitByLetter(), 1) << letter;
        if (c.first) {
            ASSERT_FALSE(dir.Cities().empty()) << letter;
            EXPECT_EQ(List()[0], c.first) << letter;
            EXPECT_EQ(dir.CityIndex(), 0) << letter;
        } else {
            EXPECT_TRUE(dir.Cities().empty()) << letter;
            EXPECT_EQ(dir.CityIndex(), -1) << letter;
        }
    }
}

TEST_F(CityDirectoryTest, LetterSectionIsFilteredByTheWholeLetterText) {
    ASSERT_EQ(dir.BeginCityByCountry(u"USA", u"bu").hr, S_OK);
    EXPECT_EQ(List(), (std::vector<std::string>{"Buffalo, NY=USNY0181", "", ""}));
    // After a step the letter is the single new character.
    ASSERT_EQ(dir.BeginCityByCountry(u"USA", u"bx>").hr, S_OK);
    EXPECT_EQ(List(), (std::vector<std::string>{"Dallas, TX=USTX0327", "Denver, CO=USCO0105"}));
}

TEST_F(CityDirectoryTest, CountryWithoutSectionFailsUnlessAStepWasAsked) {
    const std::u16string emptyName = u"Cannot open file " + kCannotOpenTail;
    // Upper-case letters name upper-case sections, which the index lacks.
    auto upper = dir.BeginCityByCountry(u"USA", u"B");
    EXPECT_EQ(upper.hr, kCannotOpenFileResult);
    EXPECT_EQ(upper.description, emptyName);
    EXPECT_TRUE(dir.Cities().empty());
    auto unknown = dir.BeginCityByCountry(u"Atlantis", u"_");
    EXPECT_EQ(unknown.hr, kCannotOpenFileResult);
    EXPECT_EQ(unknown.description, emptyName);
    EXPECT_EQ(dir.BeginCityByCountry(u"Atlantis", u"m>").hr, S_FALSE);
    // An empty letter names no letter section.
    EXPECT_EQ(dir.BeginCityByCountry(u"USA", u"").hr, kCannotOpenFileResult);
    EXPECT_EQ(dir.BeginCityByCountry(u"USA", u">").hr, S_FALSE);
}

TEST_F(CityDirectoryTest, CityIndexPutAcceptsTheListLengthMinusOne) {
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"b").hr, S_OK);
    EXPECT_EQ(dir.SetCityIndex(7).hr, E_INVALIDARG);
    EXPECT_EQ(dir.CityIndex(), 0);
    EXPECT_EQ(dir.SetCityIndex(6).hr, S_OK);  // an empty tail entry
    std::u16string name = u"x", code = u"x";
    EXPECT_EQ(dir.City(name), S_OK);
    EXPECT_EQ(name, u"");
    EXPECT_EQ(dir.CityCode(code), S_OK);
    EXPECT_EQ(code, u"");
    LONG last = 0;
    dir.CityNext(last);
    EXPECT_EQ(last, 1);
    EXPECT_EQ(dir.City(name), S_FALSE);
}

TEST_F(CityDirectoryTest, NamesOutsideTheCodePageBecomeItsDefaultCharacter) {
    ASSERT_EQ(dir.BeginCityByCountry(u"Russia", u"_").hr, S_OK);
    EXPECT_EQ(List(), (std::vector<std::string>{"??????" "=RSXX0091", "Sankt-Peterburg=RSXX0088",
                                                "Bad??name=RSXX0001"}));
    ASSERT_EQ(dir.BeginCityByCountry(u"Côte d'Ivoire", u"y").hr, S_OK);
    EXPECT_EQ(List()[0], "Yamoussoukro=IVXX0002");

    // A Cyrillic device shows the name; the Latin country key no longer
    // matches its 1252 bytes in the index.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD page = 1251;
    RegSetValueExW(key, u"CodePage", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&page), sizeof page);
    RegCloseKey(key);
    ASSERT_EQ(dir.BeginCityByCountry(u"Russia", u"_").hr, S_OK);
    std::u16string name;
    dir.City(name);
    EXPECT_EQ(name, u"Москва");
}

TEST_F(CityDirectoryTest, MissingFilesGiveTheirFullPath) {
    fs::path folder = fs::path(root.path()) / "partial";
    fs::create_directories(folder);
    const std::u16string base = W(folder.string() + "/");
    dir.SetDatabasePath(base);

    auto countries = dir.BeginCountry(u"");
    EXPECT_EQ(countries.hr, kCannotOpenFileResult);
    EXPECT_EQ(countries.description, u"Cannot open file " + base + u"index.txt" + kCannotOpenTail);
    EXPECT_EQ(dir.CountryIndex(), -1);

    auto noIndex = dir.BeginCityByCountry(u"Austria", u"_");
    EXPECT_EQ(noIndex.hr, kCannotOpenFileResult);
    EXPECT_EQ(noIndex.description, u"Cannot open file " + base + u"kweather.idx" + kCannotOpenTail);

    fs::copy_file(kSmall + "kweather.idx", folder / "kweather.idx");
    auto noData = dir.BeginCityByCountry(u"Austria", u"_");
    EXPECT_EQ(noData.hr, kCannotOpenFileResult);
    EXPECT_EQ(noData.description, u"Cannot open file " + base + u"kweather.db" + kCannotOpenTail);
    // The data file is needed even for a country without a section.
    EXPECT_EQ(dir.BeginCityByCountry(u"Atlantis", u"b>").description, noData.description);

    fs::copy_file(kSmall + "kweather.db", folder / "kweather.db");
    EXPECT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
}

TEST_F(CityDirectoryTest, SectionIndexIsReadOncePerDirectory) {
    fs::path folder = fs::path(root.path()) / "once";
    fs::create_directories(folder);
    for (const char* f : {"index.txt", "kweather.idx", "kweather.db"}) fs::copy_file(kSmall + f, folder / f);
    dir.SetDatabasePath(W(folder.string() + "/"));
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    fs::remove(folder / "kweather.idx");
    EXPECT_EQ(dir.BeginCityByCountry(u"USA", u"d").hr, S_OK);
    // A new directory has to read it again.
    CityDirectory other;
    other.SetDatabasePath(W(folder.string() + "/"));
    EXPECT_EQ(other.BeginCityByCountry(u"USA", u"d").hr, kCannotOpenFileResult);
}

TEST_F(CityDirectoryTest, DevicePathsMapBelowTheDeviceRoot) {
    // The default folder, created with another case, as the device's file
    // system matches names without case.
    fs::path folder = fs::path(root.path()) / "Storage Card" / "application data" / "SkyvaneWeather";
    fs::create_directories(folder);
    for (const char* f : {"index.txt", "kweather.idx", "kweather.db"}) fs::copy_file(kSmall + f, folder / f);
    CityDirectory device;
    EXPECT_EQ(device.BeginCountry(u"").hr, S_OK);
    EXPECT_EQ(device.BeginCityByCountry(u"USA", u"e").hr, S_OK);
    std::u16string code;
    device.CityCode(code);
    EXPECT_EQ(code, u"USTX0413");
}

}  // namespace
}  // namespace skyvane::cities
