// Copies between device contexts, checked at chosen pixels against the
// platform's documented results.
#include <gtest/gtest.h>

#include "canvas.h"
#include "test_util/test_util.h"

namespace {

using skyvane::test::Canvas;

// A premultiplied pixel: the bytes a 32-bit DIB section holds.
std::uint32_t Premultiplied(int a, int r, int g, int b) {
    return (std::uint32_t(a) << 24) | (r << 16) | (g << 8) | b;
}

class BlitTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root_;
};

// AlphaBlend's documented blend, with AC_SRC_ALPHA:
//   Dst = Src × SCA/255 + Dst × (1 − Src.alpha × SCA/255)
// and without it the source counts as opaque (Src.alpha = 255).
TEST_F(BlitTest, AlphaBlendFollowsTheDocumentedFormula) {
    struct Case {
        int line;
        std::uint32_t source;  // premultiplied
        BYTE constantAlpha;
        BYTE format;
        COLORREF background;
        COLORREF expected;
    } cases[] = {
        // Half-transparent red over white: 128 + 255 × 127/255 = 255, 0 + 127 = 127.
        {__LINE__, Premultiplied(128, 128, 0, 0), 255, AC_SRC_ALPHA, RGB(255, 255, 255), RGB(255, 127, 127)},
        {__LINE__, Premultiplied(128, 128, 0, 0), 255, AC_SRC_ALPHA, RGB(0, 0, 0), RGB(128, 0, 0)},
        {__LINE__, Premultiplied(0, 0, 0, 0), 255, AC_SRC_ALPHA, RGB(10, 20, 30), RGB(10, 20, 30)},
        {__LINE__, Premultiplied(255, 0, 0, 255), 255, AC_SRC_ALPHA, RGB(255, 255, 255), RGB(0, 0, 255)},
        // Constant alpha alone, the source opaque: 255 × 128/255 + 255 × 127/255.
        {__LINE__, Premultiplied(0, 255, 0, 0), 128, 0, RGB(255, 255, 255), RGB(255, 127, 127)},
        {__LINE__, Premultiplied(255, 200, 0, 0), 128, AC_SRC_ALPHA, RGB(0, 0, 0), RGB(100, 0, 0)},
        // Both: the source scaled by 128/255 first (alpha 64, red 64), then over white.
        {__LINE__, Premultiplied(128, 128, 0, 0), 128, AC_SRC_ALPHA, RGB(255, 255, 255), RGB(255, 191, 191)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Canvas src(4, 4), dst(4, 4, c.background);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) src.raw(x, y) = c.source;
        BLENDFUNCTION bf{AC_SRC_OVER, 0, c.constantAlpha, c.format};
        ASSERT_TRUE(AlphaBlend(dst.dc(), 1, 1, 2, 2, src.dc(), 0, 0, 2, 2, bf));
        COLORREF got = dst.at(1, 1);
        EXPECT_NEAR(GetRValue(got), GetRValue(c.expected), 1);
        EXPECT_NEAR(GetGValue(got), GetGValue(c.expected), 1);
        EXPECT_NEAR(GetBValue(got), GetBValue(c.expected), 1);
        EXPECT_EQ(dst.at(0, 0), c.background);  // outside the destination rectangle
        EXPECT_EQ(dst.at(3, 3), c.background);
    }
}

TEST_F(BlitTest, AlphaBlendRefusesWhatThePlatformRefuses) {
    Canvas src(4, 4), dst(4, 4);
    BLENDFUNCTION ok{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BLENDFUNCTION badOp{1, 0, 255, AC_SRC_ALPHA};
    SetLastError(0);
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 4, src.dc(), 2, 2, 4, 4, ok));  // source rectangle past the bitmap
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, -4, 4, ok));
    EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 4, 4, src.dc(), 0, 0, 4, 4, badOp));
    EXPECT_TRUE(AlphaBlend(dst.dc(), 0, 0, 8, 8, src.dc(), 0, 0, 4, 4, ok));  // stretching is allowed
}

TEST_F(BlitTest, TransparentImageLeavesKeyColouredPixelsUntouched) {
    const COLORREF key = RGB(255, 0, 255), back = RGB(0, 128, 0), ink = RGB(10, 20, 200);
    Canvas src(4, 4, key);
    src.raw(1, 1) = 0xFF000000u | (10 << 16) | (20 << 8) | 200;
    src.raw(2, 3) = 0xFF000000u | (10 << 16) | (20 << 8) | 200;
    src.raw(3, 0) = 0xFFFE00FFu;  // one step from the key: not transparent
    struct Case {
        int line;
        bool byBitmap;
        int scale;  // destination size / source size
    } cases[] = {{__LINE__, false, 1}, {__LINE__, true, 1}, {__LINE__, false, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Canvas dst(10, 10, back);
        HANDLE source = c.byBitmap ? static_cast<HANDLE>(src.bitmap()) : static_cast<HANDLE>(src.dc());
        ASSERT_TRUE(TransparentImage(dst.dc(), 1, 1, 4 * c.scale, 4 * c.scale, source, 0, 0, 4, 4, key));
        int s = c.scale;
        EXPECT_EQ(dst.at(1 + 1 * s, 1 + 1 * s), ink);
        EXPECT_EQ(dst.at(1 + 2 * s + s - 1, 1 + 3 * s + s - 1), ink);
        EXPECT_EQ(dst.at(1 + 3 * s, 1), RGB(254, 0, 255));
        EXPECT_EQ(dst.at(1, 1), back);               // key pixel of the source
        EXPECT_EQ(dst.at(1 + 2 * s, 1 + 2 * s), back);
        EXPECT_EQ(dst.at(0, 0), back);               // outside
        EXPECT_EQ(dst.CountNot(back, RECT{0, 0, 10, 10}), 3 * s * s);
    }
}

TEST_F(BlitTest, BitBltAndStretchBltCopyWholePixels) {
    Canvas src(2, 2);
    src.raw(0, 0) = 0xFFFF0000u;  // red
    src.raw(1, 0) = 0xFF00FF00u;  // green
    src.raw(0, 1) = 0xFF0000FFu;  // blue
    src.raw(1, 1) = 0x00000000u;  // transparent black: a copy ignores alpha
    Canvas dst(8, 8, RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(dst.dc(), 3, 3, 2, 2, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.at(3, 3), RGB(255, 0, 0));
    EXPECT_EQ(dst.at(4, 3), RGB(0, 255, 0));
    EXPECT_EQ(dst.at(3, 4), RGB(0, 0, 255));
    EXPECT_EQ(dst.at(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(dst.at(5, 5), RGB(255, 255, 255));

    dst.Fill(RGB(255, 255, 255));
    ASSERT_TRUE(StretchBlt(dst.dc(), 0, 0, 8, 8, src.dc(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(dst.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(dst.at(3, 3), RGB(255, 0, 0));
    EXPECT_EQ(dst.at(4, 3), RGB(0, 255, 0));
    EXPECT_EQ(dst.at(7, 7), RGB(0, 0, 0));

    // A copy within one surface reads the source before it writes.
    dst.Fill(RGB(255, 255, 255));
    dst.raw(0, 0) = 0xFF112233u;
    dst.raw(1, 0) = 0xFF445566u;
    ASSERT_TRUE(BitBlt(dst.dc(), 1, 0, 2, 1, dst.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.at(1, 0), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(dst.at(2, 0), RGB(0x44, 0x55, 0x66));

    SetLastError(0);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 2, 2, src.dc(), 0, 0, 0x00EE0086u));  // SRCPAINT is not offered
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(BlitTest, BottomUpSectionsKeepTheirRowsInMemoryOrder) {
    // The first row in memory of a bottom-up section is the picture's bottom row.
    Canvas up(3, 3, RGB(255, 255, 255), /*bottomUp=*/true);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(up.bitmap(), sizeof bm, &bm), int(sizeof bm));
    auto* memory = static_cast<std::uint32_t*>(bm.bmBits);
    memory[0] = 0xFF0000FFu;  // memory row 0, column 0
    Canvas dst(3, 3, RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 3, 3, up.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dst.at(0, 2), RGB(0, 0, 255));
    EXPECT_EQ(dst.at(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(up.dc(), 0, 2), RGB(0, 0, 255));
    EXPECT_EQ(bm.bmWidthBytes, 12);
    EXPECT_EQ(bm.bmBitsPixel, 32);
}

TEST_F(BlitTest, CompatibleBitmapsFollowTheirContext) {
    HDC screen = CreateCompatibleDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 20, 10);
    ASSERT_NE(ddb, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(ddb, sizeof bm, &bm), int(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 20);
    EXPECT_EQ(bm.bmHeight, 10);
    EXPECT_EQ(bm.bmBits, nullptr);  // a device bitmap's pixels are not reachable
    HGDIOBJ old = SelectObject(screen, ddb);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{0, 0, 20, 10};
    FillRect(screen, &r, red);
    EXPECT_EQ(GetPixel(screen, 19, 9), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(screen, 20, 9), CLR_INVALID);
    Canvas dst(20, 10, RGB(0, 0, 0));
    BitBlt(dst.dc(), 0, 0, 20, 10, screen, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.at(10, 5), RGB(255, 0, 0));
    SelectObject(screen, old);
    DeleteObject(red);
    DeleteObject(ddb);
    DeleteDC(screen);

    // 24-bit bitmaps from bytes: blue-green-red, rows padded to 16 bits
    // (a 3-pixel row of 9 bytes takes 10).
    const BYTE rows[] = {0, 0, 255, 0, 255, 0, 1, 1, 1, 0,          // red, green, (1,1,1), padding
                         255, 0, 0, 255, 255, 255, 9, 9, 9, 0};     // blue, white, (9,9,9), padding
    HBITMAP fromBytes = CreateBitmap(3, 2, 1, 24, rows);
    ASSERT_NE(fromBytes, nullptr);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, fromBytes);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(mem, 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(mem, 0, 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(mem, 1, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mem, 2, 1), RGB(9, 9, 9));
    DeleteDC(mem);
    DeleteObject(fromBytes);
}

}  // namespace

namespace {

// Copies and raster operations beyond the plain copy, and the bitmap formats
// the platform's software hands over.
TEST_F(BlitTest, MirroringInversionAndFormats) {
    Canvas src(2, 1);
    src.raw(0, 0) = 0xFFFF0000u;
    src.raw(1, 0) = 0xFF0000FFu;
    Canvas dst(4, 2, RGB(255, 255, 255));
    // A negative destination width mirrors.
    ASSERT_TRUE(StretchBlt(dst.dc(), 2, 0, -2, 1, src.dc(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(dst.at(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(dst.at(1, 0), RGB(255, 0, 0));
    // DSTINVERT twice, and a focus rectangle twice, leave the pixels as they were.
    ASSERT_TRUE(PatBlt(dst.dc(), 0, 0, 4, 2, DSTINVERT));
    EXPECT_EQ(dst.at(0, 0), RGB(255, 255, 0));
    EXPECT_EQ(dst.at(3, 1), RGB(0, 0, 0));
    PatBlt(dst.dc(), 0, 0, 4, 2, DSTINVERT);
    EXPECT_EQ(dst.at(0, 0), RGB(0, 0, 255));
    RECT focus{0, 0, 4, 2};
    DrawFocusRect(dst.dc(), &focus);
    EXPECT_NE(dst.at(0, 0), RGB(0, 0, 255));
    DrawFocusRect(dst.dc(), &focus);
    EXPECT_EQ(dst.at(0, 0), RGB(0, 0, 255));
    EXPECT_FALSE(PatBlt(dst.dc(), 0, 0, 1, 1, SRCCOPY));  // a copy needs a source

    // A 16-bit 5-6-5 section and a 1-bit bitmap.
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), 2, -1, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP rgb565 = CreateDIBSection(mem, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(rgb565, nullptr);
    static_cast<std::uint16_t*>(bits)[0] = 0xF800;  // red
    static_cast<std::uint16_t*>(bits)[1] = 0x07E0;  // green
    HGDIOBJ old = SelectObject(mem, rgb565);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetDeviceCaps(mem, BITSPIXEL), 16);
    BitBlt(dst.dc(), 0, 1, 2, 1, mem, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.at(1, 1), RGB(0, 255, 0));
    const BYTE mono[] = {0xA0, 0x00};  // 1 0 1 0, a row padded to 16 bits
    HBITMAP bw = CreateBitmap(4, 1, 1, 1, mono);
    SelectObject(mem, bw);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mem, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(mem, 2, 0), RGB(255, 255, 255));
    // GetDIBits gives the rows in the order the caller's header asks.
    BITMAPINFO out{};
    out.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::uint32_t rows[8] = {};
    dst.raw(0, 0) = 0xFF123456u;
    EXPECT_EQ(GetDIBits(mem, dst.bitmap(), 0, 2, rows, &out, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows[4] & 0xFFFFFF, 0x123456u);  // bottom-up: the top row comes second
    SelectObject(mem, old);
    DeleteObject(rgb565);
    DeleteObject(bw);
    DeleteDC(mem);
}

}  // namespace
