// Windows at twice the pixel density, as the SDL2 back end shows them on a
// high-dpi desktop: drawing stays in logical coordinates, text gets the finer
// pixels, a 1× bitmap is copied as whole pixels, and the saved PNG has every
// pixel of the surface.
#include <cairo.h>

#include "platform/gdi/gdi.h"
#include "platform/user/backend.h"
#include "ui_fixture.h"

namespace {

class ScaledWindow : public skyvane::test::UiTest {};

TEST_F(ScaledWindow, DrawsInLogicalCoordinatesWithTwiceThePixels) {
    {
        skyvane::test::ScopedEnv scale("SKYVANE_SCALE", "2");  // read when the back end is made
        ASSERT_TRUE(skyvane::user::UseBackend("headless"));
    }
    ASSERT_EQ(skyvane::user::TheBackend().Scale(), 2);
    HWND w = MakeWindow(
        [](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg != WM_PAINT) return std::nullopt;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            RECT r{10, 10, 20, 20};
            FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            // A 2×2 DIB of four colours, copied to (30, 10): each pixel a 2×2 block.
            BITMAPINFO bi{};
            bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            void* bits = nullptr;
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
            auto* px = static_cast<std::uint32_t*>(bits);
            px[0] = 0xFF0000;
            px[1] = 0x00FF00;
            px[2] = 0x0000FF;
            px[3] = 0xFFFF00;
            HGDIOBJ old = SelectObject(mem, dib);
            BitBlt(dc, 30, 10, 2, 2, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteObject(dib);
            DeleteDC(mem);
            // A memory bitmap compatible with the window has its density.
            HDC frame = CreateCompatibleDC(dc);
            HBITMAP ddb = CreateCompatibleBitmap(dc, 8, 8);
            BITMAP bm{};
            GetObjectW(ddb, sizeof bm, &bm);
            EXPECT_EQ(bm.bmWidth, 8);  // its size is logical
            SelectObject(frame, ddb);
            EXPECT_EQ(GetDeviceCaps(frame, HORZRES), 8);
            DeleteDC(frame);
            DeleteObject(ddb);
            EXPECT_EQ(GetPixel(dc, 15, 15), RGB(0, 0, 0));
            EXPECT_EQ(GetPixel(dc, 31, 10), RGB(0, 255, 0));
            EXPECT_EQ(GetPixel(dc, 31, 11), RGB(255, 255, 0));
            EndPaint(h, &ps);
            return 0;
        },
        WS_POPUP | WS_VISIBLE, RECT{0, 0, 60, 30});
    std::string path = TempPath("scaled.png");
    ASSERT_TRUE(skyvane::user::SaveWindowPng(w, path));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_image_surface_get_width(png), 120);
    ASSERT_EQ(cairo_image_surface_get_height(png), 60);
    auto at = [&](int x, int y) {
        return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png))[x] & 0xFFFFFF;
    };
    EXPECT_EQ(at(20, 20), 0u);          // the logical (10, 10) corner
    EXPECT_EQ(at(39, 39), 0u);
    EXPECT_EQ(at(40, 40), 0xFFFFFFu);
    EXPECT_EQ(at(60, 20), 0xFF0000u);   // the DIB, pixel doubled without blur
    EXPECT_EQ(at(61, 21), 0xFF0000u);
    EXPECT_EQ(at(62, 20), 0x00FF00u);
    EXPECT_EQ(at(63, 23), 0xFFFF00u);
    cairo_surface_destroy(png);
    DestroyWindow(w);
    ASSERT_TRUE(skyvane::user::UseBackend("headless"));  // back to 1× for the other tests
}

}  // namespace
