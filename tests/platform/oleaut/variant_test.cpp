#include "platform/oleaut/variant.h"

#include <gtest/gtest.h>

#include "platform/com/unknwn.h"

namespace {

// Counts references, so that the tests can see VARIANT copying and clearing
// AddRef and Release exactly once each.
struct Counted : IUnknown {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Variant, CopyAndClearOwnTheirContents) {
    long before = skyvane::LiveBstrCount();
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    EXPECT_EQ(a.vt, VT_EMPTY);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(u"text");
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(b.bstrVal, a.bstrVal);  // a new allocation
    EXPECT_EQ(skyvane::BstrView(b.bstrVal), u"text");
    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    Counted obj;
    a.vt = VT_UNKNOWN;
    a.punkVal = &obj;
    obj.AddRef();
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);  // clears b's text first
    EXPECT_EQ(obj.refs, 3u);
    VariantClear(&a);
    VariantClear(&b);
    EXPECT_EQ(obj.refs, 1u);
    EXPECT_EQ(skyvane::LiveBstrCount(), before);
    VARIANT bad;
    VariantInit(&bad);
    bad.vt = 0x7F;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

TEST(Variant, ChangeTypeBetweenNumbersTextsAndDates) {
    skyvane::Variant src = skyvane::Variant::Str(u" 42 ");
    skyvane::Variant dst;
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), S_OK);
    EXPECT_EQ(dst.lVal, 42);
    src = skyvane::Variant::Str(u"4x");
    EXPECT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), DISP_E_TYPEMISMATCH);
    // Reals become integers rounding halves to even, as Automation does.
    src = skyvane::Variant::R8(2.5);
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), S_OK);
    EXPECT_EQ(dst.lVal, 2);
    src = skyvane::Variant::R8(3.5);
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), S_OK);
    EXPECT_EQ(dst.lVal, 4);
    src = skyvane::Variant::R8(3e10);
    EXPECT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), DISP_E_OVERFLOW);
    src = skyvane::Variant::I4(7);
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_BSTR), S_OK);
    EXPECT_EQ(skyvane::BstrView(dst.bstrVal), u"7");
    src = skyvane::Variant::Bool(true);
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, VT_I4), S_OK);
    EXPECT_EQ(dst.lVal, -1);
    // Converting in place keeps the value.
    skyvane::Variant self = skyvane::Variant::Str(u"2.25");
    ASSERT_EQ(VariantChangeType(&self, &self, 0, VT_DATE), S_OK);
    EXPECT_EQ(self.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(self.date, 2.25);
}

}  // namespace
