#include "platform/base/wide_format.h"

#include <gtest/gtest.h>

#include <clocale>

#include "test_util/test_util.h"

using skyvane::FormatW;

namespace {

// The conversions the system's own format strings use, with what the
// platform's C library prints for them.
TEST(WFormat, ConversionsTheSystemUses) {
    EXPECT_EQ(FormatW(u"%s\\%s.%s", u"\\Application Data\\SkyvaneWeather", u"RSXX0091", u"bin"),
              u"\\Application Data\\SkyvaneWeather\\RSXX0091.bin");
    EXPECT_EQ(FormatW(u"CityCode%d", 17), u"CityCode17");
    EXPECT_EQ(FormatW(u"%d|%d", -5, 0), u"-5|0");
    EXPECT_EQ(FormatW(u"%x %X", 0xbeef, 0xbeef), u"beef BEEF");
    EXPECT_EQ(FormatW(u"%02X%02X", 0x0a, 0xff), u"0AFF");
    EXPECT_EQ(FormatW(u"%08x", 0x1234), u"00001234");
    EXPECT_EQ(FormatW(u"%04d", 7), u"0007");
    EXPECT_EQ(FormatW(u"%04d", -7), u"-007");  // zero padding goes after the sign
    EXPECT_EQ(FormatW(u"%f", 1.5), u"1.500000");
    EXPECT_EQ(FormatW(u"%.02f", 23.888888), u"23.89");
    EXPECT_EQ(FormatW(u"%.02f", -0.004), u"-0.00");
    EXPECT_EQ(FormatW(u"100%%"), u"100%");
    EXPECT_EQ(FormatW(u"Failed run %s with error %x", u"\\Windows\\x.exe", 2u), u"Failed run \\Windows\\x.exe with error 2");
}

TEST(WFormat, PrecisionCutsTexts) {
    std::u16string longText(600, u'x');
    std::u16string out = FormatW(u"<td>%s</td>\r\n%.500s", u"row", longText.c_str());
    EXPECT_EQ(out.size(), std::u16string(u"<td>row</td>\r\n").size() + 500);
    EXPECT_EQ(FormatW(u"%.3s|%.10s", u"abcdef", u"ab"), u"abc|ab");
    EXPECT_EQ(FormatW(u"[%5s][%-5s]", u"ab", u"ab"), u"[   ab][ab   ]");
    EXPECT_EQ(FormatW(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
    EXPECT_EQ(FormatW(u"%S", "narrow"), u"narrow");
    EXPECT_EQ(FormatW(u"%c%c", u'\u0416', u'!'), u"\u0416!");
}

TEST(WFormat, WidthsFlagsAndLengths) {
    EXPECT_EQ(FormatW(u"%5d|%-5d|%+d|% d", 42, 42, 42, 42), u"   42|42   |+42| 42");
    EXPECT_EQ(FormatW(u"%*d", 6, 1), u"     1");
    EXPECT_EQ(FormatW(u"%#x", 255), u"0xff");
    EXPECT_EQ(FormatW(u"%u", 4294967295u), u"4294967295");
    EXPECT_EQ(FormatW(u"%I64d", 9007199254740993LL), u"9007199254740993");
    EXPECT_EQ(FormatW(u"%lld", -9007199254740993LL), u"-9007199254740993");
    EXPECT_EQ(FormatW(u"%d", INT32_MIN), u"-2147483648");
    EXPECT_EQ(FormatW(u"%.3d", 5), u"005");
}

// The process may run in a locale that writes "2,5"; the platform's printf
// always writes the point.
TEST(WFormat, DecimalPointIgnoresTheProcessLocale) {
    struct RestoreNumeric {
        std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        ~RestoreNumeric() { std::setlocale(LC_NUMERIC, saved.c_str()); }
    } restore;
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "ru_RU.UTF-8"})
        if (!comma && std::setlocale(LC_NUMERIC, name)) comma = name;
    SKYVANE_REQUIRE(comma, "a de_DE.UTF-8 or ru_RU.UTF-8 locale (tools/setup_debian.sh generates both)");
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << comma;  // the C library itself now writes commas

    EXPECT_EQ(FormatW(u"%.1f", 2.5), u"2.5") << comma;
    EXPECT_EQ(FormatW(u"%.2f|%g|%.3f", 1234.5, 0.25, -0.125), u"1234.50|0.25|-0.125") << comma;
}

TEST(WFormat, BoundedFormsTerminateAndReportCuts) {
    WCHAR buf[6];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0xBEEF));
    EXPECT_EQ(_snwprintf(buf, 6, u"%s", u"abcdefgh"), -1);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(_snwprintf(buf, 6, u"%d", 12345), 5);
    EXPECT_EQ(std::u16string(buf), u"12345");
    WCHAR big[1100];
    std::u16string longText(2000, u'y');
    EXPECT_EQ(wsprintfW(big, u"%s", longText.c_str()), 1024);  // cut at the platform's limit
    EXPECT_EQ(std::u16string(big).size(), 1024u);
}

}  // namespace
