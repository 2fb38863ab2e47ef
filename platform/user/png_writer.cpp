// Saving a window's pixels as PNG through libpng.
#include <png.h>

#include <cstdio>
#include <vector>

#include "platform/base/log.h"
#include "platform/user/backend.h"
#include "platform/user/painting.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

struct File {
    FILE* f;
    ~File() {
        if (f) std::fclose(f);
    }
};

// Writes a part of an RGB24 surface (in surface pixels) as an 8-bit RGB PNG.
bool WritePng(cairo_surface_t* surface, RECT part, const std::string& path) {
    cairo_surface_flush(surface);
    int width = part.right - part.left, height = part.bottom - part.top;
    if (width <= 0 || height <= 0) return false;
    File file{std::fopen(path.c_str(), "wb")};
    if (!file.f) {
        SKYVANE_LOG("user", "cannot write %s", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        SKYVANE_LOG("user", "libpng failed while writing %s", path.c_str());
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.f);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = part.top; y < part.bottom; ++y) {
        auto* in = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = in[part.left + x];
            row[x * 3] = (p >> 16) & 0xFF;
            row[x * 3 + 1] = (p >> 8) & 0xFF;
            row[x * 3 + 2] = p & 0xFF;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool SaveWindowPng(HWND hwnd, const std::string& path) {
    Window* w = FindQuiet(hwnd);
    Window* top = TopLevelOf(w);
    if (!w || !top || !top->surface) {
        SKYVANE_LOG("user", "SaveWindowPng: %p is not a window", (void*)hwnd);
        return false;
    }
    if (top->queue->IsCurrentThread()) PaintTree(top->handle);
    if (!(w = FindQuiet(hwnd)) || !(top = TopLevelOf(w)) || !top->surface) return false;
    int s = top->surface->scale;
    RECT r = WindowInSurface(*w);
    RECT pixels{r.left * s, r.top * s, r.right * s, r.bottom * s};
    cairo_surface_t* surface = top->surface->surface;
    pixels = RectIntersection(pixels, RECT{0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)});
    return WritePng(surface, pixels, path);
}

}  // namespace skyvane::user
