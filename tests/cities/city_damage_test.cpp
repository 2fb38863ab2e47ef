// Damaged database files: each gives the "Cannot open file" failure of the
// file at fault, an empty list or a cut text, and never a crash or a list
// that reads the wrong lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cities/city_directory.h"
#include "platform/base/wide_string.h"
#include "test_util/test_util.h"

namespace skyvane::cities {
namespace {

namespace fs = std::filesystem;

const std::u16string kTail = u". Please check your installation folder or reinstall Weather.";
// Wien at offset 0, Bregenz at 14, Graz at 31; 45 bytes.
const std::string kData = "Wien;AUXX0025\nBregenz;AUXX0004\nGraz;AUXX0010\n";

class DamagedDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::path(root.path()) / "db";
        fs::create_directories(folder);
        base = W(folder.string() + "/");
        dir.SetDatabasePath(base);
    }
    void Write(const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::u16string CannotOpen(const char16_t* file) { return u"Cannot open file " + base + file + kTail; }

    test::ScopedDeviceRoot root;
    fs::path folder;
    std::u16string base;
    CityDirectory dir;
};

TEST_F(DamagedDatabase, SectionEntryWithoutUsableOffsetOrCountIsADamagedIndex) {
    Write("kweather.db", kData);
    for (const char* idx : {"austria.txt\n", "austria.txt;\n", "austria.txt;(2)\n", "austria.txt;0\n",
                            "austria.txt;0(-3)\n", "austria.txt;-14(2)\n", "austria.txt;99999999999(2)\n"}) {
        CityDirectory fresh;
        fresh.SetDatabasePath(base);
        Write("kweather.idx", idx);
        auto r = fresh.BeginCityByCountry(u"Austria", u"_");
        EXPECT_EQ(r.hr, kCannotOpenFileResult) << idx;
        EXPECT_EQ(r.description, CannotOpen(u"kweather.idx")) << idx;
        EXPECT_TRUE(fresh.Cities().empty()) << idx;
        EXPECT_EQ(fresh.CityIndex(), -1) << idx;
    }
}

TEST_F(DamagedDatabase, OffsetsThatMissALineStartOrTheFileAreADamagedDataFile) {
    Write("kweather.db", kData);
    for (const char* idx : {"austria.txt;3(2)\n",            // inside "Wien"
                            "austria.txt;13(2)\n",           // on the line feed itself
                            "austria.txt;45(1)\n",           // the end: no line left
                            "austria.txt;99999(1)\n",        // past the end
                            "austria.txt;0(4)\n",            // more lines than the file has
                            "austria.txt;0(2147483647)\n"})  // and far more
    {
        CityDirectory fresh;
        fresh.SetDatabasePath(base);
        Write("kweather.idx", idx);
        auto r = fresh.BeginCityByCountry(u"Austria", u"_");
        EXPECT_EQ(r.hr, kCannotOpenFileResult) << idx;
        EXPECT_EQ(r.description, CannotOpen(u"kweather.db")) << idx;
        EXPECT_TRUE(fresh.Cities().empty()) << idx;
    }
    // The offset of the last line and the end with no line wanted are fine.
    Write("kweather.idx", "graz.txt;31(1)\nnone.txt;45(0)\n");
    CityDirectory fresh;
    fresh.SetDatabasePath(base);
    ASSERT_EQ(fresh.BeginCityByCountry(u"Graz", u"_").hr, S_OK);
    ASSERT_EQ(fresh.Cities().size(), 1u);
    EXPECT_EQ(fresh.Cities()[0].code, "AUXX0010");
    EXPECT_EQ(fresh.BeginCityByCountry(u"None", u"_").hr, S_FALSE);
    EXPECT_EQ(fresh.CountryCount(), 0);
}

TEST_F(DamagedDatabase, LongLinesAreCutAndDoNotShiftTheLinesAfterThem) {
    const std::string longName(400, 'L');
    Write("kweather.db", longName + ";AUXX0001\nGraz;AUXX0010\n");
    Write("kweather.idx", std::string(300, 'x') + ";0(1)\naustria.txt;0(2)\n");
    Write("index.txt", std::string(260, 'C') + "\nAustria\n");

    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    ASSERT_EQ(dir.Cities().size(), 2u);
    EXPECT_EQ(dir.Cities()[0].name, std::string(253, 'L'));
    EXPECT_EQ(dir.Cities()[0].code, "");  // the code lay past the limit
    EXPECT_EQ(dir.Cities()[1].name, "Graz");
    EXPECT_EQ(dir.Cities()[1].code, "AUXX0010");

    ASSERT_EQ(dir.BeginCountry(u"").hr, S_OK);
    std::u16string name;
    dir.Country(name);
    EXPECT_EQ(name, std::u16string(253, u'C'));
    LONG last = 0;
    dir.CountryNext(last);
    dir.Country(name);
    EXPECT_EQ(name, u"Austria");
}

TEST_F(DamagedDatabase, CarriageReturnsOfATextModeFileAreDropped) {
    Write("kweather.db", "Wien;AUXX0025\r\nGraz;AUXX0010\r\n");
    Write("kweather.idx", "austria.txt;0(1)\r\ngraz.txt;15(1)\r\n");
    Write("index.txt", "A*;\r\nAustria\r\n");
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    EXPECT_EQ(dir.Cities()[0].code, "AUXX0025");
    ASSERT_EQ(dir.BeginCityByCountry(u"Graz", u"_").hr, S_OK);
    EXPECT_EQ(dir.Cities()[0].name, "Graz");
    ASSERT_EQ(dir.BeginCountry(u"").hr, S_OK);
    std::u16string name;
    dir.Country(name);
    EXPECT_EQ(name, u"A");
}

TEST_F(DamagedDatabase, EmptyFilesGiveEmptyLists) {
    Write("index.txt", "");
    Write("kweather.idx", "");
    Write("kweather.db", "");
    EXPECT_EQ(dir.BeginCountry(u"").hr, S_FALSE);
    EXPECT_EQ(dir.CountryIndex(), -1);
    auto r = dir.BeginCityByCountry(u"Austria", u"_");
    EXPECT_EQ(r.hr, kCannotOpenFileResult);
    EXPECT_EQ(r.description, u"Cannot open file " + kTail);
    EXPECT_EQ(dir.BeginCityByCountry(u"Austria", u"a>").hr, S_FALSE);
}

TEST_F(DamagedDatabase, FolderInPlaceOfAFileCannotBeOpened) {
    fs::create_directories(folder / "index.txt");
    auto r = dir.BeginCountry(u"");
    EXPECT_EQ(r.hr, kCannotOpenFileResult);
    EXPECT_EQ(r.description, CannotOpen(u"index.txt"));
}

TEST_F(DamagedDatabase, FirstOfTwoSectionsWithOneNameWins) {
    Write("kweather.db", kData);
    Write("kweather.idx", "austria.txt;14(1)\naustria.txt;0(1)\n");
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    EXPECT_EQ(dir.Cities()[0].name, "Bregenz");
}

TEST_F(DamagedDatabase, FailureAfterASuccessLeavesTheCityListEmpty) {
    Write("kweather.db", kData);
    Write("kweather.idx", "austria.txt;0(3)\nbroken.txt;5(1)\n");
    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    EXPECT_EQ(dir.CountryCount(), 3);
    EXPECT_EQ(dir.BeginCityByCountry(u"Broken", u"_").hr, kCannotOpenFileResult);
    EXPECT_EQ(dir.CountryCount(), 0);
    EXPECT_EQ(dir.CityIndex(), -1);
    std::u16string name = u"x";
    EXPECT_EQ(dir.City(name), S_FALSE);
}

}  // namespace
}  // namespace skyvane::cities
