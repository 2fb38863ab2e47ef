// Bitmaps: Cairo image surfaces behind HBITMAP.
//
// A device-dependent bitmap may be denser than its logical size (a bitmap
// compatible with a window shown at 2× has twice the pixels each way); a DIB
// section always has exactly its logical pixels, in memory laid out as the
// platform lays it out (bottom-up rows when biHeight > 0).
#pragma once

#include <cairo.h>

#include <memory>

#include "platform/gdi/objects.h"

namespace skyvane::gdi {

class Bitmap : public GdiObject {
public:
    // A device-dependent bitmap, cleared to black (RGB24) or transparent (ARGB32).
    static std::shared_ptr<Bitmap> Create(int width, int height, cairo_format_t format, int scale, int bitsPerPixel);
    // A DIB section over memory it owns; nullptr for an unsupported header.
    static std::shared_ptr<Bitmap> CreateDib(const BITMAPINFOHEADER& header, const DWORD* bitfields);
    ~Bitmap() override;

    DWORD Type() const override { return OBJ_BITMAP; }
    int Describe(int cbBuffer, void* out) const override;

    cairo_surface_t* Surface() const { return surface_; }
    // The same pixels read as opaque: what copies that ignore alpha read.
    cairo_surface_t* OpaqueView();
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Scale() const { return scale_; }
    bool IsDib() const { return dib_; }
    void* Bits() const { return dib_ ? bits_ : nullptr; }
    cairo_format_t Format() const { return cairo_image_surface_get_format(surface_); }
    int BitsPerPixel() const { return bitsPerPixel_; }

private:
    Bitmap() = default;
    cairo_surface_t* surface_ = nullptr;
    cairo_surface_t* opaque_ = nullptr;
    void* bits_ = nullptr;           // DIB section memory, in the platform's row order
    unsigned char* storage_ = nullptr;  // owned allocation behind bits_
    int width_ = 0, height_ = 0, scale_ = 1, bitsPerPixel_ = 32;
    bool dib_ = false;
    BITMAPINFOHEADER header_{};
    DWORD bitfields_[3] = {};
};

// One surface pixel (logical × scale) as COLORREF, from the raw bytes: a
// 32-bit pixel's colour bytes are returned as stored, alpha ignored.
COLORREF ReadSurfacePixel(cairo_surface_t* surface, int px, int py);

}  // namespace skyvane::gdi
