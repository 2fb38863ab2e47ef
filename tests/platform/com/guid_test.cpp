#include "platform/com/guid.h"

#include <gtest/gtest.h>

namespace {

constexpr GUID kSample = skyvane::MakeGuid("{F9FCC6F4-43CE-4431-8234-ED648982713C}");

TEST(Guid, CompileTimeFormMatchesTheFields) {
    EXPECT_EQ(kSample.Data1, 0xF9FCC6F4u);
    EXPECT_EQ(kSample.Data2, 0x43CE);
    EXPECT_EQ(kSample.Data3, 0x4431);
    EXPECT_EQ(kSample.Data4[0], 0x82);
    EXPECT_EQ(kSample.Data4[1], 0x34);
    EXPECT_EQ(kSample.Data4[2], 0xED);
    EXPECT_EQ(kSample.Data4[7], 0x3C);
}

TEST(Guid, PrintsUpperCaseBracedForm) {
    WCHAR buf[50];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0xBEEF));
    EXPECT_EQ(StringFromGUID2(kSample, buf, 50), 39);
    EXPECT_EQ(std::u16string(buf), u"{F9FCC6F4-43CE-4431-8234-ED648982713C}");
    EXPECT_EQ(buf[39], 0xBEEF);  // nothing written past the terminator
    EXPECT_EQ(StringFromGUID2(kSample, buf, 38), 0);  // one character short
}

TEST(Guid, ParsesEitherCaseAndRefusesOtherForms) {
    GUID g;
    EXPECT_EQ(CLSIDFromString(u"{f9fcc6f4-43ce-4431-8234-ed648982713c}", &g), S_OK);
    EXPECT_TRUE(IsEqualGUID(g, kSample));
    const char16_t* bad[] = {u"F9FCC6F4-43CE-4431-8234-ED648982713C", u"{F9FCC6F4-43CE-4431-8234-ED648982713C",
                             u"{F9FCC6F4-43CE-4431-8234-ED648982713G}", u"{F9FCC6F443CE-4431-8234-ED648982713C0}",
                             u"", u"KWeather.KWeatherService"};
    for (const char16_t* text : bad) {
        g = kSample;
        EXPECT_EQ(CLSIDFromString(text, &g), CO_E_CLASSSTRING) << skyvane::GuidToString(kSample).size();
        EXPECT_TRUE(IsEqualGUID(g, GUID_NULL));
    }
    // The unbraced form is accepted by the helper, not by the class string parser.
    EXPECT_TRUE(skyvane::GuidFromString(u"F9FCC6F4-43CE-4431-8234-ED648982713C", g));
    EXPECT_TRUE(g == kSample);
}

TEST(Guid, Order) {
    GUID other = kSample;
    other.Data4[7] ^= 1;
    EXPECT_TRUE(other != kSample);
    EXPECT_NE(other < kSample, kSample < other);
}

}  // namespace
