#include "canvas.h"

#include <algorithm>

namespace skyvane::test {

Canvas::Canvas(int width, int height, COLORREF fill, bool bottomUp) : width_(width), height_(height), bottomUp_(bottomUp) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = bottomUp ? height : -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    Fill(fill);
}

Canvas::~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

std::uint32_t& Canvas::raw(int x, int y) {
    int row = bottomUp_ ? height_ - 1 - y : y;
    return bits_[static_cast<std::size_t>(row) * width_ + x];
}

void Canvas::Fill(COLORREF c) {
    std::uint32_t v = 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    std::fill(bits_, bits_ + static_cast<std::size_t>(width_) * height_, v);
}

int Canvas::CountNot(COLORREF c, RECT r) {
    int n = 0;
    for (int y = std::max<LONG>(0, r.top); y < std::min<LONG>(height_, r.bottom); ++y)
        for (int x = std::max<LONG>(0, r.left); x < std::min<LONG>(width_, r.right); ++x)
            if (at(x, y) != c) ++n;
    return n;
}

RECT Canvas::InkBox(COLORREF c) {
    RECT box{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (at(x, y) != c) box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                                          std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
    return box.right == 0 ? RECT{0, 0, 0, 0} : box;
}

}  // namespace skyvane::test
