// Device contexts, objects and shapes: the state stack, selection, pixel rules
// of outlines and lines, clipping and the device's capabilities.
#include <gtest/gtest.h>

#include "canvas.h"
#include "platform/registry/registry.h"
#include "test_util/test_util.h"

namespace {

using skyvane::test::Canvas;
const COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0), kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

class DcTest : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root_;
};

TEST_F(DcTest, SaveAndRestoreBringBackObjectsAndColours) {
    Canvas c(10, 10);
    HBRUSH red = CreateSolidBrush(kRed), blue = CreateSolidBrush(kBlue);
    HGDIOBJ original = SelectObject(c.dc(), red);
    EXPECT_EQ(original, GetStockObject(WHITE_BRUSH));
    SetTextColor(c.dc(), kRed);
    int level = SaveDC(c.dc());
    EXPECT_EQ(level, 1);
    EXPECT_EQ(SelectObject(c.dc(), blue), static_cast<HGDIOBJ>(red));
    SetTextColor(c.dc(), kBlue);
    EXPECT_EQ(SaveDC(c.dc()), 2);
    SetBkMode(c.dc(), TRANSPARENT);
    ASSERT_TRUE(RestoreDC(c.dc(), -1));
    EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);
    EXPECT_EQ(GetTextColor(c.dc()), kBlue);
    ASSERT_TRUE(RestoreDC(c.dc(), 1));
    EXPECT_EQ(GetTextColor(c.dc()), kRed);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_BRUSH), static_cast<HGDIOBJ>(red));
    EXPECT_FALSE(RestoreDC(c.dc(), 1));  // that save is gone
    EXPECT_FALSE(RestoreDC(c.dc(), -1));
    SelectObject(c.dc(), original);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST_F(DcTest, ObjectsAndStockObjects) {
    Canvas c(6, 6);
    HBRUSH red = CreateSolidBrush(kRed);
    SelectObject(c.dc(), red);
    EXPECT_TRUE(DeleteObject(red));  // still selected: the context keeps it
    EXPECT_EQ(GetObjectType(red), 0u);
    EXPECT_TRUE(Rectangle(c.dc(), 0, 0, 6, 6));
    EXPECT_EQ(c.at(3, 3), kRed);
    EXPECT_FALSE(DeleteObject(red));
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));

    HGDIOBJ stock = GetStockObject(BLACK_BRUSH);
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(GetObjectType(stock), DWORD(OBJ_BRUSH));  // stock objects stay
    LOGBRUSH lb{};
    EXPECT_EQ(GetObjectW(GetStockObject(LTGRAY_BRUSH), sizeof lb, &lb), int(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(192, 192, 192));
    EXPECT_EQ(GetObjectW(stock, 2, &lb), 0);  // too small
    EXPECT_EQ(SelectObject(c.dc(), reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);

    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = reinterpret_cast<void*>(0xdeadbeef);
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(c.dc(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DcTest, OutlinesAndLinesFollowThePixelRules) {
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    struct Case {
        int line;
        void (*draw)(HDC);
        std::vector<Probe> probes;
    } cases[] = {
        {__LINE__, [](HDC dc) { Rectangle(dc, 2, 2, 8, 6); },
         {{2, 2, kBlack}, {7, 5, kBlack}, {7, 2, kBlack}, {4, 4, kRed}, {8, 6, kWhite}, {8, 2, kWhite}, {2, 6, kWhite}}},
        {__LINE__, [](HDC dc) { SelectObject(dc, GetStockObject(NULL_PEN)); Rectangle(dc, 2, 2, 8, 6); },
         {{2, 2, kRed}, {6, 4, kRed}, {7, 4, kWhite}, {4, 5, kWhite}}},  // one pixel less without a pen
        {__LINE__, [](HDC dc) { MoveToEx(dc, 2, 5, nullptr); LineTo(dc, 8, 5); },
         {{2, 5, kBlack}, {7, 5, kBlack}, {8, 5, kWhite}, {1, 5, kWhite}, {4, 4, kWhite}}},
        {__LINE__, [](HDC dc) { MoveToEx(dc, 8, 5, nullptr); LineTo(dc, 2, 5); },
         {{8, 5, kBlack}, {3, 5, kBlack}, {2, 5, kWhite}}},
        {__LINE__, [](HDC dc) { MoveToEx(dc, 4, 1, nullptr); LineTo(dc, 4, 7); },
         {{4, 1, kBlack}, {4, 6, kBlack}, {4, 7, kWhite}}},
        {__LINE__, [](HDC dc) { MoveToEx(dc, 1, 1, nullptr); LineTo(dc, 5, 5); },
         {{1, 1, kBlack}, {3, 3, kBlack}, {4, 4, kBlack}, {5, 5, kWhite}, {1, 3, kWhite}}},
        {__LINE__, [](HDC dc) { Ellipse(dc, 0, 0, 10, 10); },
         {{5, 5, kRed}, {0, 0, kWhite}, {9, 9, kWhite}, {0, 5, kBlack}, {5, 0, kBlack}}},
        {__LINE__, [](HDC dc) { POINT p[] = {{1, 1}, {8, 1}, {1, 8}}; Polygon(dc, p, 3); },
         {{2, 2, kRed}, {8, 8, kWhite}, {1, 1, kBlack}}},
        {__LINE__, [](HDC dc) { POINT p[] = {{1, 1}, {6, 1}, {6, 6}}; Polyline(dc, p, 3); },
         {{1, 1, kBlack}, {6, 1, kBlack}, {6, 5, kBlack}, {6, 6, kWhite}, {3, 3, kWhite}}},
        {__LINE__, [](HDC dc) { RoundRect(dc, 0, 0, 10, 10, 6, 6); },
         {{5, 5, kRed}, {0, 0, kWhite}, {5, 0, kBlack}, {0, 5, kBlack}}},
        {__LINE__, [](HDC dc) { IntersectClipRect(dc, 3, 3, 6, 6); RECT r{0, 0, 10, 10}; FillRect(dc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH)); },
         {{3, 3, kBlack}, {5, 5, kBlack}, {6, 6, kWhite}, {2, 2, kWhite}}},
        {__LINE__, [](HDC dc) { SetViewportOrgEx(dc, 2, 3, nullptr); SetPixel(dc, 0, 0, RGB(1, 2, 3)); },
         {{2, 3, RGB(1, 2, 3)}, {0, 0, kWhite}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        Canvas c(10, 10);
        HBRUSH red = CreateSolidBrush(kRed);
        SelectObject(c.dc(), red);
        k.draw(c.dc());
        for (const Probe& p : k.probes) EXPECT_EQ(c.at(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
        SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
        DeleteObject(red);
    }
}

TEST_F(DcTest, ClipBoxAndDeviceCaps) {
    Canvas c(40, 30);
    RECT box{-1, -1, -1, -1};
    EXPECT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 40);
    EXPECT_EQ(box.bottom, 30);
    IntersectClipRect(c.dc(), 5, 5, 100, 100);
    ExcludeClipRect(c.dc(), 0, 0, 100, 10);  // cuts a band off the top
    GetClipBox(c.dc(), &box);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 40);
    EXPECT_EQ(SelectClipRgn(c.dc(), nullptr), SIMPLEREGION);
    GetClipBox(c.dc(), &box);
    EXPECT_EQ(box.top, 0);

    EXPECT_EQ(GetDeviceCaps(c.dc(), LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(c.dc(), HORZRES), 40);
    EXPECT_NE(GetDeviceCaps(c.dc(), SHADEBLENDCAPS) & SB_PIXEL_ALPHA, 0);
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Skyvane\\Device", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    DWORD dpi = 192;
    RegSetValueExW(key, u"ScreenDpi", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), 4);
    RegCloseKey(key);
    EXPECT_EQ(GetDeviceCaps(c.dc(), LOGPIXELSX), 192);
    EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(0x99), LOGPIXELSX), 0);
}

}  // namespace
