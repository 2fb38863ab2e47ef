#include "platform/oleaut/bstr.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Bstr, LengthPrefixAndTerminator) {
    long before = skyvane::LiveBstrCount();
    BSTR b = SysAllocString(u"abc");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 6u);
    DWORD prefix;
    std::memcpy(&prefix, reinterpret_cast<char*>(b) - 4, 4);
    EXPECT_EQ(prefix, 6u);  // the prefix counts bytes, not characters
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(skyvane::LiveBstrCount(), before + 1);
    SysFreeString(b);
    EXPECT_EQ(skyvane::LiveBstrCount(), before);
}

TEST(Bstr, NullIsTheEmptyText) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);  // must be harmless
    // A NULL source with a length gives that many zero characters.
    BSTR z = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(SysStringLen(z), 4u);
    for (int i = 0; i <= 4; ++i) EXPECT_EQ(z[i], 0);
    SysFreeString(z);
    // An empty text is a real allocation of length 0, not NULL.
    BSTR e = SysAllocString(u"");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(SysStringLen(e), 0u);
    SysFreeString(e);
}

TEST(Bstr, EmbeddedZerosAndOddByteLengths) {
    const OLECHAR text[] = {u'a', 0, u'b'};
    BSTR b = SysAllocStringLen(text, 3);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(b[2], u'b');
    SysFreeString(b);
    BSTR odd = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);  // characters round down
    EXPECT_EQ(reinterpret_cast<char*>(odd)[2], 'c');
    EXPECT_EQ(reinterpret_cast<char*>(odd)[3], 0);
    SysFreeString(odd);
}

TEST(Bstr, ReAllocFromItsOwnText) {
    BSTR b = SysAllocString(u"hello world");
    // Re-allocating from a part of the same string must copy before freeing.
    ASSERT_TRUE(SysReAllocStringLen(&b, b + 6, 5));
    EXPECT_EQ(std::u16string_view(b, SysStringLen(b)), u"world");
    ASSERT_TRUE(SysReAllocString(&b, u"x"));
    EXPECT_EQ(SysStringLen(b), 1u);
    ASSERT_TRUE(SysReAllocString(&b, nullptr));
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(Bstr, OwnerFreesExactlyOnce) {
    long before = skyvane::LiveBstrCount();
    {
        skyvane::Bstr a(u"one");
        skyvane::Bstr b = a;  // a copy owns its own allocation
        EXPECT_NE(a.get(), b.get());
        skyvane::Bstr c = std::move(a);
        EXPECT_EQ(a.get(), nullptr);
        BSTR out = c.Copy();
        SysFreeString(out);
        skyvane::Bstr d;
        *d.Out() = SysAllocString(u"two");
        *d.Out() = SysAllocString(u"three");  // Out() frees what was there
        EXPECT_EQ(d.View(), u"three");
        EXPECT_EQ(skyvane::LiveBstrCount(), before + 3);
    }
    EXPECT_EQ(skyvane::LiveBstrCount(), before);
}

}  // namespace
