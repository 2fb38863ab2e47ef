#include "platform/kernel/nls/text_conv.h"

#include <gtest/gtest.h>

#include "platform/kernel/handles.h"
#include "platform/registry/registry.h"
#include "test_util/test_util.h"

namespace {

TEST(TextConv, Utf8RoundTripWithSurrogates) {
    std::u16string text = u"Москва \u00e9 \U0001F600 \u20ac";
    std::string utf8 = skyvane::ToUtf8(text);
    EXPECT_EQ(utf8, "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xC3\xA9 \xF0\x9F\x98\x80 \xE2\x82\xAC");
    EXPECT_EQ(skyvane::FromUtf8(utf8), text);
}

TEST(TextConv, MalformedUtf8BecomesReplacementCharacters) {
    // A stray continuation byte, an overlong slash, an encoded surrogate and a
    // sequence cut short by the end of the text.
    EXPECT_EQ(skyvane::FromUtf8("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(skyvane::FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(skyvane::FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(skyvane::FromUtf8("ab\xE2\x82"), u"ab\uFFFD\uFFFD");
    WCHAR buf[8];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", 2, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    // An unpaired surrogate has no UTF-8 form.
    const char16_t lone[] = {u'x', 0xD800, u'y'};
    EXPECT_EQ(skyvane::ToUtf8(std::u16string_view(lone, 3)), "x\xEF\xBF\xBDy");
}

TEST(TextConv, SizesTerminatorsAndShortBuffers) {
    // -1 converts through the terminator and counts it.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
    WCHAR buf[4] = {0xBEEF, 0xBEEF, 0xBEEF, 0xBEEF};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, buf, 4), 3);
    EXPECT_EQ(buf[3], 0xBEEF);  // no terminator when the length excludes it
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, buf, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buf, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    char out[3];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00e9\u00e9", 2, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00e9\u00e9", -1, nullptr, 0, nullptr, nullptr), 5);
    // UTF-8 has no default character: asking for one is a parameter error.
    BOOL used = 7;
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 3, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(TextConv, Windows1252IsTheDefaultPage) {
    skyvane::test::ScopedDeviceRoot root;
    EXPECT_EQ(GetACP(), 1252u);
    // 0x80 is the euro sign, 0x9F Y with diaeresis, 0xE9 e acute.
    EXPECT_EQ(skyvane::FromAnsi("\x80\x9F\xE9"), u"\u20AC\u0178\u00E9");
    // Characters the page lacks become the default character, and the caller is told.
    char out[8];
    BOOL used = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, u"a\u0416\u20ACb", 4, out, 8, nullptr, &used);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::string(out, 4), "a?\x80" "b");
    EXPECT_TRUE(used);
    used = TRUE;
    WideCharToMultiByte(CP_ACP, 0, u"plain", 5, out, 8, "#", &used);
    EXPECT_FALSE(used);
    n = WideCharToMultiByte(CP_ACP, 0, u"\U0001F600", 2, out, 8, "#", &used);
    EXPECT_EQ(std::string(out, size_t(n)), "#");  // a surrogate pair is one character
}

TEST(TextConv, DeviceProfileChoosesTheCyrillicPage) {
    skyvane::test::ScopedDeviceRoot root;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, nullptr, 0, 0, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    DWORD page = 1251;
    RegSetValueExW(key, u"CodePage", 0, REG_DWORD, reinterpret_cast<BYTE*>(&page), sizeof page);
    EXPECT_EQ(GetACP(), 1251u);
    EXPECT_EQ(skyvane::FromAnsi("\xCC\xEE\xF1\xEA\xE2\xE0"), u"Москва");
    EXPECT_EQ(skyvane::ToAnsi(u"Ёё№"), "\xA8\xB8\xB9");
    // An unsupported page in the profile keeps the default.
    page = 932;
    RegSetValueExW(key, u"CodePage", 0, REG_DWORD, reinterpret_cast<BYTE*>(&page), sizeof page);
    EXPECT_EQ(GetACP(), 1252u);
    RegCloseKey(key);
}

}  // namespace
