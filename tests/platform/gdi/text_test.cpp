// Fonts and text output: cell heights, DrawTextW's measuring and placing, and
// the scripts the system's texts are written in.
#include <gtest/gtest.h>

#include <cstring>

#include "canvas.h"
#include "platform/gdi/font.h"
#include "platform/gdi/objects.h"
#include "test_util/test_util.h"

namespace {

using skyvane::test::Canvas;
const COLORREF kWhite = RGB(255, 255, 255);

HFONT MakeFont(int height, int weight = FW_NORMAL, const char16_t* face = u"Tahoma") {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::memcpy(lf.lfFaceName, face, (std::char_traits<char16_t>::length(face) + 1) * 2);
    return CreateFontIndirectW(&lf);
}

class TextTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root_;
};

TEST_F(TextTest, AFontOfHeightMinusHHasACellOfAboutH) {
    Canvas c(10, 10);
    for (int h : {8, 11, 12, 16, 24, 32}) {
        SCOPED_TRACE(h);
        HFONT font = MakeFont(-h);
        HGDIOBJ old = SelectObject(c.dc(), font);
        TEXTMETRICW tm;
        std::memset(&tm, 0xDB, sizeof tm);
        ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, h);  // the character height asked for
        EXPECT_GE(tm.tmHeight, h);
        EXPECT_LE(tm.tmHeight, h * 3 / 2);
        EXPECT_GT(tm.tmAveCharWidth, 0);
        SelectObject(c.dc(), old);
        DeleteObject(font);

        // A positive height asks for the cell height itself.
        font = MakeFont(h * 2);
        old = SelectObject(c.dc(), font);
        ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
        EXPECT_NEAR(tm.tmHeight, h * 2, 1);
        SelectObject(c.dc(), old);
        DeleteObject(font);
    }
}

// What DT_CALCRECT reports is the rectangle that drawing then stays inside.
TEST_F(TextTest, CalcRectBoundsWhatIsDrawn) {
    struct Case {
        int line;
        const char16_t* text;
        UINT format;
        int width;  // of the rectangle given to DT_CALCRECT
    } cases[] = {
        {__LINE__, u"Partly Cloudy", DT_SINGLELINE, 200},
        {__LINE__, u"23/15", DT_SINGLELINE | DT_BOTTOM, 200},
        {__LINE__, u"Moscow: Переменная облачность", DT_SINGLELINE, 300},
        {__LINE__, u"Partly cloudy, UV: Moderate, Wind: NNE 5 m/s, 1012 hPa, 40%", DT_WORDBREAK, 90},
        {__LINE__, u"Line one\r\nLine two\nLine three", DT_LEFT, 200},
        {__LINE__, u"Centred\r\ntext lines", DT_CENTER, 150},
        {__LINE__, u"Extraordinarilylongwordthatcannotfit", DT_WORDBREAK, 60},
    };
    HFONT font = MakeFont(-14);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        Canvas c(320, 160);
        SelectObject(c.dc(), font);
        SetBkMode(c.dc(), TRANSPARENT);
        RECT r{10, 20, 10 + k.width, 20};
        int height = DrawTextW(c.dc(), k.text, -1, &r, k.format | DT_CALCRECT);
        EXPECT_GT(height, 0);
        EXPECT_EQ(r.bottom - r.top, height);
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 20);
        EXPECT_LE(r.right - r.left, (k.format & DT_WORDBREAK) ? k.width : 320);
        EXPECT_EQ(c.InkBox(kWhite).right, 0) << "DT_CALCRECT must not draw";
        DrawTextW(c.dc(), k.text, -1, &r, k.format | DT_NOCLIP);
        RECT ink = c.InkBox(kWhite);
        ASSERT_GT(ink.right, 0) << "nothing was drawn";
        EXPECT_GE(ink.left, r.left);
        EXPECT_GE(ink.top, r.top);
        EXPECT_LE(ink.right, r.right);
        EXPECT_LE(ink.bottom, r.bottom);
    }
    DeleteObject(font);
}

TEST_F(TextTest, VerticalPlacementOfSingleLines) {
    HFONT font = MakeFont(-16);
    Canvas c(200, 100);
    SelectObject(c.dc(), font);
    SetBkMode(c.dc(), TRANSPARENT);
    TEXTMETRICW tm;
    GetTextMetricsW(c.dc(), &tm);

    RECT r{0, 10, 200, 90};
    // DT_BOTTOM: the cell's bottom on the rectangle's bottom; the result is
    // the offset from the top to the text's bottom.
    EXPECT_EQ(DrawTextW(c.dc(), u"Agy", -1, &r, DT_SINGLELINE | DT_BOTTOM), 80);
    RECT ink = c.InkBox(kWhite);
    EXPECT_LE(ink.bottom, 90);
    EXPECT_GE(ink.bottom, 90 - tm.tmDescent);   // descenders reach into the last rows
    EXPECT_GE(ink.top, 90 - tm.tmHeight);

    c.Fill(kWhite);
    int offset = DrawTextW(c.dc(), u"Agy", -1, &r, DT_SINGLELINE | DT_VCENTER);
    EXPECT_EQ(offset, (10 + 90 + tm.tmHeight) / 2 - 10);
    ink = c.InkBox(kWhite);
    int middle = (ink.top + ink.bottom) / 2;
    EXPECT_NEAR(middle, 50, tm.tmHeight / 3);

    c.Fill(kWhite);
    EXPECT_EQ(DrawTextW(c.dc(), u"Agy", -1, &r, DT_SINGLELINE), tm.tmHeight);
    EXPECT_GE(c.InkBox(kWhite).top, 10);
    EXPECT_LE(c.InkBox(kWhite).bottom, 10 + tm.tmHeight);
    DeleteObject(font);
}

TEST_F(TextTest, HorizontalAlignmentClippingAndEllipsis) {
    HFONT font = MakeFont(-12);
    Canvas c(200, 40);
    SelectObject(c.dc(), font);
    SetBkMode(c.dc(), TRANSPARENT);
    RECT r{0, 0, 200, 40};
    DrawTextW(c.dc(), u"NNE", -1, &r, DT_SINGLELINE | DT_RIGHT);
    EXPECT_GE(c.InkBox(kWhite).left, 150);
    EXPECT_LE(c.InkBox(kWhite).right, 200);
    c.Fill(kWhite);
    DrawTextW(c.dc(), u"NNE", -1, &r, DT_SINGLELINE | DT_CENTER);
    EXPECT_NEAR((c.InkBox(kWhite).left + c.InkBox(kWhite).right) / 2, 100, 3);

    // Clipped to the rectangle unless DT_NOCLIP.
    c.Fill(kWhite);
    RECT narrow{10, 0, 30, 40};
    DrawTextW(c.dc(), u"Thunderstorms", -1, &narrow, DT_SINGLELINE);
    EXPECT_GE(c.InkBox(kWhite).left, 10);
    EXPECT_LE(c.InkBox(kWhite).right, 30);
    c.Fill(kWhite);
    DrawTextW(c.dc(), u"Thunderstorms", -1, &narrow, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(c.InkBox(kWhite).right, 30);

    // An ellipsis keeps a cut text inside and ends it with "…".
    RECT measure{0, 0, 60, 0};
    DrawTextW(c.dc(), u"Thunderstorms in the vicinity", -1, &measure, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(measure.right, 60);
    SIZE plain{};
    GetTextExtentPoint32W(c.dc(), u"Thunderstorms in the vicinity", 29, &plain);
    EXPECT_GT(plain.cx, 60);

    // Opaque background fills the cell behind the text with the background colour.
    c.Fill(kWhite);
    SetBkMode(c.dc(), OPAQUE);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    RECT box{0, 0, 200, 40};
    DrawTextW(c.dc(), u"i", -1, &box, DT_SINGLELINE);
    EXPECT_EQ(c.at(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.at(100, 30), kWhite);
    DeleteObject(font);
}

TEST_F(TextTest, PrefixAmpersandsAreNotDrawn) {
    HFONT font = MakeFont(-14);
    Canvas a(200, 30), b(200, 30);
    SelectObject(a.dc(), font);
    SelectObject(b.dc(), font);
    RECT r{0, 0, 200, 30};
    SIZE plain{}, prefixed{};
    DrawTextW(a.dc(), u"&Add city", -1, &r, DT_SINGLELINE | DT_CALCRECT);
    prefixed.cx = r.right;
    r = RECT{0, 0, 200, 30};
    DrawTextW(b.dc(), u"Add city", -1, &r, DT_SINGLELINE | DT_CALCRECT);
    plain.cx = r.right;
    EXPECT_EQ(prefixed.cx, plain.cx);
    r = RECT{0, 0, 200, 30};
    DrawTextW(a.dc(), u"A&&B", -1, &r, DT_SINGLELINE | DT_CALCRECT);
    SIZE amp{};
    GetTextExtentPoint32W(a.dc(), u"A&B", 3, &amp);
    EXPECT_EQ(r.right, amp.cx);
    DeleteObject(font);
}

// Each script draws real glyphs: the layout finds a font for every character
// (no missing-glyph boxes) and ink appears.
TEST_F(TextTest, CyrillicGreekAndEastAsianTextsDrawRealGlyphs) {
    struct Case {
        int line;
        const char16_t* text;
    } cases[] = {
        {__LINE__, u"Облачно с прояснениями"},
        {__LINE__, u"Μερικώς νεφελώδης"},
        {__LINE__, u"多云转晴"},
        {__LINE__, u"晴れ時々曇り"},
        {__LINE__, u"구름 조금"},
    };
    HFONT font = MakeFont(-16);
    auto object = skyvane::gdi::FindObjectAs<skyvane::gdi::Font>(font);
    ASSERT_TRUE(object);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        std::string utf8;
        for (const char16_t* p = k.text; *p; ++p) {
            char16_t ch = *p;
            if (ch < 0x80) utf8 += char(ch);
            else if (ch < 0x800) utf8 += {char(0xC0 | (ch >> 6)), char(0x80 | (ch & 0x3F))};
            else utf8 += {char(0xE0 | (ch >> 12)), char(0x80 | ((ch >> 6) & 0x3F)), char(0x80 | (ch & 0x3F))};
        }
        PangoLayout* layout = pango_layout_new(skyvane::gdi::TextContext());
        pango_layout_set_font_description(layout, object->Description());
        pango_layout_set_text(layout, utf8.c_str(), -1);
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0);
        g_object_unref(layout);

        Canvas c(300, 40);
        SelectObject(c.dc(), font);
        RECT r{0, 0, 300, 40};
        DrawTextW(c.dc(), k.text, -1, &r, DT_SINGLELINE);
        EXPECT_GT(c.CountNot(kWhite, r), 40);
    }
    DeleteObject(font);
}

TEST_F(TextTest, ExtentsGrowCharacterByCharacter) {
    HFONT font = MakeFont(-12);
    Canvas c(10, 10);
    SelectObject(c.dc(), font);
    int dx[5];
    int fit = -1;
    SIZE size{};
    ASSERT_TRUE(GetTextExtentExPointW(c.dc(), u"WWWWW", 5, 30, &fit, dx, &size));
    for (int i = 1; i < 5; ++i) EXPECT_GT(dx[i], dx[i - 1]);
    EXPECT_EQ(dx[4], size.cx);
    EXPECT_GE(fit, 1);
    EXPECT_LT(fit, 5);
    EXPECT_LE(dx[fit - 1], 30);
    EXPECT_GT(dx[fit], 30);
    WCHAR face[LF_FACESIZE];
    EXPECT_GT(GetTextFaceW(c.dc(), LF_FACESIZE, face), 1);
    DeleteObject(font);
}

}  // namespace

namespace {

TEST_F(TextTest, ExtTextOutAlignsToItsPoint) {
    HFONT font = MakeFont(-16);
    struct Case {
        int line;
        UINT align;
        int x, y;
        bool inkAbove;  // whether ink lies above y
    } cases[] = {
        {__LINE__, TA_TOP | TA_LEFT, 10, 20, false},
        {__LINE__, TA_BASELINE | TA_LEFT, 10, 30, true},
        {__LINE__, TA_BOTTOM | TA_RIGHT, 150, 40, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Canvas canvas(200, 60);
        SelectObject(canvas.dc(), font);
        SetBkMode(canvas.dc(), TRANSPARENT);
        SetTextAlign(canvas.dc(), c.align);
        ASSERT_TRUE(ExtTextOutW(canvas.dc(), c.x, c.y, 0, nullptr, u"Hxg", 3, nullptr));
        RECT ink = canvas.InkBox(kWhite);
        if (c.inkAbove) {
            EXPECT_LT(ink.top, c.y);
        } else {
            EXPECT_GE(ink.top, c.y);
        }
        if (c.align & TA_RIGHT) {
            EXPECT_LE(ink.right, c.x);
        } else {
            EXPECT_GE(ink.left, c.x);
        }
        if ((c.align & TA_BASELINE) == TA_BASELINE) {
            EXPECT_GT(ink.bottom, c.y);  // the descender of "g"
        }
    }
    // ETO_OPAQUE fills its rectangle; ETO_CLIPPED keeps the text inside it.
    Canvas canvas(200, 60);
    SelectObject(canvas.dc(), font);
    SetBkColor(canvas.dc(), RGB(0, 200, 0));
    RECT box{0, 0, 30, 30};
    ExtTextOutW(canvas.dc(), 5, 5, ETO_OPAQUE | ETO_CLIPPED, &box, u"Wide text", 9, nullptr);
    EXPECT_EQ(canvas.at(29, 29), RGB(0, 200, 0));
    EXPECT_EQ(canvas.CountNot(kWhite, RECT{30, 0, 200, 60}), 0);
    DeleteObject(font);
}

}  // namespace
