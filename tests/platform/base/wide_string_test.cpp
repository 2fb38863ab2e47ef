#include "platform/base/wide_string.h"

#include <gtest/gtest.h>

namespace {

TEST(WString, CaseInsensitiveNamesAcrossScripts) {
    EXPECT_TRUE(skyvane::EqualsNoCase(u"Software\\SKYVANE", u"software\\skyvane"));
    EXPECT_TRUE(skyvane::EqualsNoCase(u"МОСКВА Ёж", u"москва ёж"));
    EXPECT_TRUE(skyvane::EqualsNoCase(u"ÄÖÜ ŁÓDŹ", u"äöü łódź"));
    EXPECT_TRUE(skyvane::EqualsNoCase(u"ΑΘΗΝΑ", u"αθηνα"));
    EXPECT_FALSE(skyvane::EqualsNoCase(u"abc", u"abd"));
    EXPECT_FALSE(skyvane::EqualsNoCase(u"abc", u"abcd"));
    EXPECT_TRUE(skyvane::EqualsNoCaseAscii("HKEY_Current_User", "hkey_current_user"));
    EXPECT_FALSE(skyvane::EqualsNoCaseAscii("\xD0\x9C", "\xD0\xBC"));  // UTF-8 "М" and "м": bytes must match
    EXPECT_FALSE(skyvane::EqualsNoCaseAscii("[", "{"));                  // 0x5B and 0x7B differ by the case bit only
    EXPECT_FALSE(skyvane::EqualsNoCaseAscii("hex", "hex("));
    // × and ÷ sit inside the Latin-1 letter ranges but have no case.
    EXPECT_EQ(skyvane::FoldLower(0xD7), 0xD7);
    EXPECT_EQ(skyvane::FoldUpper(0xF7), 0xF7);
    EXPECT_EQ(skyvane::ToUpper(u"straße ÿ"), u"STRAßE Ÿ");
    EXPECT_LT(skyvane::CompareNoCase(u"apple", u"Banana"), 0);
    EXPECT_EQ(_wcsicmp(u"CityCode1", u"citycode1"), 0);
    EXPECT_LT(_wcsnicmp(u"CityA", u"cityb", 5), 0);
    EXPECT_EQ(_wcsnicmp(u"CityA", u"cityb", 4), 0);
}

TEST(WString, CStyleFunctions) {
    WCHAR buf[8];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0xBEEF));
    lstrcpynW(buf, u"abcdefghij", 5);
    EXPECT_EQ(std::u16string(buf), u"abcd");  // always terminated
    EXPECT_EQ(buf[5], 0xBEEF);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrcmpiW(u"A", u"a"), 0);
    EXPECT_NE(lstrcmpW(u"A", u"a"), 0);
    const WCHAR* path = u"\\Windows\\StartUp\\x.lnk";
    EXPECT_EQ(wcsrchr(path, u'\\') - path, 16);
    EXPECT_EQ(wcsstr(path, u"StartUp") - path, 9);
    EXPECT_EQ(wcsstr(path, u"startup"), nullptr);
    EXPECT_EQ(wcschr(path, 0), path + wcslen(path));
}

TEST(WString, NumberReaders) {
    WCHAR* end = nullptr;
    const WCHAR* text = u"  -42abc";
    EXPECT_EQ(wcstol(text, &end, 10), -42);
    EXPECT_EQ(end, text + 5);
    const WCHAR* real = u"23.5F";
    EXPECT_DOUBLE_EQ(wcstod(real, &end), 23.5);
    EXPECT_EQ(end, real + 4);
    const WCHAR* none = u"N/A";
    EXPECT_EQ(wcstod(none, &end), 0.0);
    EXPECT_EQ(end, none);  // nothing read: end stays at the start
    EXPECT_EQ(_wtoi(u"1440"), 1440);
    EXPECT_EQ(wcstol(u"ff", nullptr, 16), 255);
}

}  // namespace
