// A memory device context over a top-down 32-bit DIB section, for tests that
// check pixels at chosen coordinates.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

namespace skyvane::test {

class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255), bool bottomUp = false);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The raw pixel at picture position (x, y): 0xAARRGGBB.
    std::uint32_t& raw(int x, int y);
    // The colour at (x, y), alpha ignored.
    COLORREF at(int x, int y) {
        std::uint32_t v = raw(x, y);
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    void Fill(COLORREF c);
    // Pixels in the rectangle whose colour differs from c.
    int CountNot(COLORREF c, RECT r);
    // The bounding box of the pixels whose colour differs from c (empty when none).
    RECT InkBox(COLORREF c);

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    std::uint32_t* bits_ = nullptr;
    int width_, height_;
    bool bottomUp_;
};

}  // namespace skyvane::test
