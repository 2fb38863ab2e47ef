// The line reader and the three line parsers of the city database.
#include "cities/city_files.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "test_util/test_util.h"

namespace skyvane::cities {
namespace {

// A source that hands out `text` in pieces of the given sizes (cycled), as
// a file read in odd chunks would.
ByteSource Chunked(std::string text, std::vector<std::size_t> pieces) {
    auto pos = std::make_shared<std::size_t>(0);
    auto turn = std::make_shared<std::size_t>(0);
    return [text = std::move(text), pieces = std::move(pieces), pos, turn](char* buf, std::size_t size) -> long {
        std::size_t n = std::min({size, text.size() - *pos, pieces[(*turn)++ % pieces.size()]});
        std::copy_n(text.data() + *pos, n, buf);
        *pos += n;
        return static_cast<long>(n);
    };
}

std::vector<std::string> ReadAll(LineReader& reader) {
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(line)) lines.push_back(line);
    return lines;
}

TEST(LineReader, SplitsLinesWhateverTheReadSizes) {
    // A CR before the LF goes (text mode); the last line may lack its LF;
    // empty lines are lines.
    const std::string text = "Wien;AUXX0025\r\n\nGraz;AUXX0010\nLinz";
    const std::vector<std::string> expected = {"Wien;AUXX0025", "", "Graz;AUXX0010", "Linz"};
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::size_t> pieces;
        for (int i = 0; i < 8; ++i) pieces.push_back(1 + random() % 9);
        LineReader reader(Chunked(text, pieces));
        EXPECT_EQ(ReadAll(reader), expected) << "round " << round;
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(reader.Consumed(), text.size());
    }
}

TEST(LineReader, EmptyInputHasNoLineAndATrailingLineFeedAddsNone) {
    LineReader empty(Chunked("", {16}));
    EXPECT_TRUE(ReadAll(empty).empty());
    LineReader one(Chunked("USA\n", {16}));
    EXPECT_EQ(ReadAll(one), std::vector<std::string>{"USA"});
}

TEST(LineReader, KeepsAtMost253BytesAndTheLinesAfterALongOne) {
    const std::string exact(253, 'x');
    const std::string longer = std::string(253, 'y') + "TAIL;CODE";
    const std::string crlf = std::string(253, 'z') + "\r";  // CR right after the limit
    LineReader reader(Chunked(exact + "\n" + longer + "\n" + crlf + "\nnext;CODE\n", {100, 3, 4096}));
    auto lines = ReadAll(reader);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], exact);
    EXPECT_EQ(lines[1], std::string(253, 'y'));  // cut, not split into a second line
    EXPECT_EQ(lines[2], std::string(253, 'z'));
    EXPECT_EQ(lines[3], "next;CODE");

    // A line of a megabyte costs no more than its 253 bytes.
    LineReader huge(Chunked(std::string(1 << 20, 'q') + "\nafter", {4096}));
    auto hugeLines = ReadAll(huge);
    ASSERT_EQ(hugeLines.size(), 2u);
    EXPECT_EQ(hugeLines[0].size(), kMaxLineText);
    EXPECT_EQ(hugeLines[1], "after");
}

TEST(LineReader, ReadErrorEndsWithFailure) {
    int calls = 0;
    LineReader reader([&calls](char* buf, std::size_t) -> long {
        if (calls++ == 0) {
            buf[0] = 'a';
            buf[1] = '\n';
            buf[2] = 'b';
            return 3;
        }
        return -1;
    });
    std::string line;
    ASSERT_TRUE(reader.Next(line));
    EXPECT_EQ(line, "a");
    EXPECT_FALSE(reader.Next(line));  // "b" is not handed out as a line
    EXPECT_TRUE(reader.Failed());
}

TEST(CountryLine, StarMakesALetterHeadingWithoutStarsAndSemicolons) {
    auto heading = ParseCountryLine("A*;");
    EXPECT_EQ(heading.name, "A");
    EXPECT_EQ(heading.isLetter, 1);
    auto named = ParseCountryLine("Other countries*;");
    EXPECT_EQ(named.name, "Other countries");
    EXPECT_EQ(named.isLetter, 1);
    auto inside = ParseCountryLine("S*a;int;");
    EXPECT_EQ(inside.name, "Saint");
    EXPECT_EQ(inside.isLetter, 1);
    // Without "*" a ";" is part of the name.
    auto country = ParseCountryLine("Bosnia; Herzegovina");
    EXPECT_EQ(country.name, "Bosnia; Herzegovina");
    EXPECT_EQ(country.isLetter, 0);
    EXPECT_EQ(ParseCountryLine("").isLetter, 0);
}

TEST(SectionLine, ReadsNameOffsetAndCount) {
    auto s = ParseSectionLine("usa-b.txt;503524(308)");
    EXPECT_EQ(s.name, "usa-b.txt");
    EXPECT_EQ(s.offset, 503524);
    EXPECT_EQ(s.count, 308);
    // Reading stops at the first non-digit.
    auto trailing = ParseSectionLine("x.txt;12abc(34)xyz");
    EXPECT_EQ(trailing.offset, 12);
    EXPECT_EQ(trailing.count, 34);
    // The name ends at the first ";".
    auto twoSemicolons = ParseSectionLine("a;b;7(8)");
    EXPECT_EQ(twoSemicolons.name, "a");
    EXPECT_EQ(twoSemicolons.offset, -1);  // "b;7" has no leading digit
    EXPECT_EQ(twoSemicolons.count, 8);
}

TEST(SectionLine, MissingOrUnreadablePartsReadAsMinusOne) {
    struct Case {
        const char* line;
        LONG offset, count;
    } cases[] = {
        {"austria.txt", -1, -1},            // no ";"
        {"austria.txt;", -1, -1},           // nothing after it
        {"austria.txt;120", 120, -1},       // no "("
        {"austria.txt;(5)", -1, 5},         // no offset
        {"austria.txt;120(", 120, -1},      // no count
        {"austria.txt;99999999999(1)", -1, 1},  // offset past 32 bits
        {"austria.txt;2147483647(2147483648)", 2147483647, -1},
        {"austria.txt;-20(-3)", -20, -3},   // negative values are read as such
        {"austria.txt; 7( 9)", 7, 9},
    };
    for (const auto& c : cases) {
        auto s = ParseSectionLine(c.line);
        EXPECT_EQ(s.name, "austria.txt") << c.line;
        EXPECT_EQ(s.offset, c.offset) << c.line;
        EXPECT_EQ(s.count, c.count) << c.line;
    }
}

TEST(CityLine, SplitsAtTheFirstSemicolon) {
    auto city = SplitCityLine("Wien;AUXX0025");
    EXPECT_EQ(city.name, "Wien");
    EXPECT_EQ(city.code, "AUXX0025");
    auto noCode = SplitCityLine("Linz");
    EXPECT_EQ(noCode.name, "Linz");
    EXPECT_EQ(noCode.code, "");
    auto extra = SplitCityLine("a;b;c");
    EXPECT_EQ(extra.name, "a");
    EXPECT_EQ(extra.code, "b;c");
}

TEST(CityLine, NamesAreDecodedFromUtf8IntoTheCodePage) {
    // 1252 has ö; Cyrillic becomes the default character; bad UTF-8 too.
    EXPECT_EQ(CityNameToAnsi("M\xC3\xB6" "dling", 1252), "M\xF6" "dling");
    EXPECT_EQ(CityNameToAnsi("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", 1252), "??????");
    EXPECT_EQ(CityNameToAnsi("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", 1251),
              "\xCC\xEE\xF1\xEA\xE2\xE0");
    EXPECT_EQ(CityNameToAnsi("Bad\xFF\xFEname", 1252), "Bad??name");
    EXPECT_EQ(CityNameToAnsi("", 1252), "");
}

}  // namespace
}  // namespace skyvane::cities
