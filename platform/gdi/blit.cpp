// Copies between device contexts: BitBlt, StretchBlt, PatBlt, the colour-keyed
// TransparentImage and the premultiplied AlphaBlend.
//
// Copies take whole source pixels (nearest neighbour) unless the destination
// asks for HALFTONE stretching; AlphaBlend filters when it stretches, so that
// scaled icons stay smooth. Surfaces of different pixel density (a 2× window
// and a 1× DIB section) are matched by Cairo's device scale.
#include <cstring>
#include <vector>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

using namespace skyvane::gdi;

namespace {

DeviceContext* DC(HDC hdc) { return ContextOf(hdc); }

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A source: a surface, the surface position of the source's logical (0, 0),
// its bounds, and the bitmap behind it when there is one.
struct Source {
    cairo_surface_t* surface = nullptr;
    POINT origin{0, 0};
    RECT bounds{0, 0, 0, 0};
    Bitmap* bitmap = nullptr;
    std::shared_ptr<Bitmap> held;  // keeps a bitmap given by handle alive
};

Source FromDC(DeviceContext& dc) {
    Source s;
    s.surface = dc.Target();
    s.origin = dc.Origin();
    s.bounds = dc.Bounds();
    s.bitmap = dc.TargetBitmap();
    return s;
}

// An opaque reading of the source: what a copy that ignores alpha sees.
cairo_surface_t* OpaqueSurface(const Source& s) { return s.bitmap ? s.bitmap->OpaqueView() : s.surface; }

// A copy of a surface region, for a copy whose source is its own destination.
struct Snapshot {
    cairo_surface_t* surface = nullptr;
    ~Snapshot() {
        if (surface) cairo_surface_destroy(surface);
    }
};

// Paints the source rectangle (surface coordinates) into the destination
// rectangle (logical), stretching or mirroring as the sizes say.
void PaintRect(cairo_t* cr, cairo_surface_t* source, double sx, double sy, double sw, double sh, int dx, int dy, int dw,
               int dh, cairo_filter_t filter, cairo_operator_t op, double alpha) {
    cairo_save(cr);
    cairo_rectangle(cr, std::min(dx, dx + dw), std::min(dy, dy + dh), std::abs(dw), std::abs(dh));
    cairo_clip(cr);
    cairo_translate(cr, dx, dy);
    bool stretched = sw != dw || sh != dh;
    if (stretched) cairo_scale(cr, dw / sw, dh / sh);
    cairo_set_source_surface(cr, source, -sx, -sy);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    cairo_pattern_set_filter(pattern, stretched ? filter : CAIRO_FILTER_NEAREST);
    if (stretched && filter != CAIRO_FILTER_NEAREST) cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, op);
    if (alpha < 1.0) {
        cairo_paint_with_alpha(cr, alpha);
    } else {
        cairo_paint(cr);
    }
    cairo_restore(cr);
}

// Raster operations that need no source.
bool PaintPattern(DeviceContext& dc, int x, int y, int w, int h, DWORD rop) {
    DeviceContext::Paint p(dc);
    if (!p) return true;
    cairo_rectangle(p.get(), std::min(x, x + w), std::min(y, y + h), std::abs(w), std::abs(h));
    switch (rop) {
    case PATCOPY: {
        auto brush = dc.Current().brush;
        if (!brush || brush->hollow) break;
        Rgb c = ToRgb(brush->colour);
        cairo_set_source_rgb(p.get(), c.r, c.g, c.b);
        cairo_fill(p.get());
        break;
    }
    case BLACKNESS: cairo_set_source_rgb(p.get(), 0, 0, 0); cairo_fill(p.get()); break;
    case WHITENESS: cairo_set_source_rgb(p.get(), 1, 1, 1); cairo_fill(p.get()); break;
    case DSTINVERT:
        cairo_set_operator(p.get(), CAIRO_OPERATOR_DIFFERENCE);
        cairo_set_source_rgb(p.get(), 1, 1, 1);
        cairo_fill(p.get());
        break;
    default: cairo_new_path(p.get()); return false;
    }
    cairo_new_path(p.get());
    return true;
}

bool NeedsSource(DWORD rop) { return rop == SRCCOPY; }

BOOL Copy(HDC hdcDest, int dx, int dy, int dw, int dh, HDC hdcSrc, int sx, int sy, int sw, int sh, DWORD rop) {
    DeviceContext* dst = DC(hdcDest);
    if (!dst) return FALSE;
    if (!NeedsSource(rop)) {
        if (!PaintPattern(*dst, dx, dy, dw, dh, rop)) {
            SKYVANE_LOG("gdi", "raster operation 0x%08X is not supported", rop);
            return Fail(ERROR_INVALID_PARAMETER);
        }
        return TRUE;
    }
    DeviceContext* src = DC(hdcSrc);
    if (!src) return FALSE;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return TRUE;
    Source s = FromDC(*src);
    cairo_surface_t* surface = OpaqueSurface(s);
    double ssx = sx + s.origin.x, ssy = sy + s.origin.y;
    Snapshot snapshot;
    if (s.surface == dst->Target()) {
        // Copying within one surface: read from a copy of the source part.
        int scale = src->Scale();
        int pw = std::abs(sw) * scale, ph = std::abs(sh) * scale;
        snapshot.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pw, ph);
        cairo_surface_set_device_scale(snapshot.surface, scale, scale);
        cairo_t* cr = cairo_create(snapshot.surface);
        cairo_set_source_surface(cr, surface, -std::min(ssx, ssx + sw), -std::min(ssy, ssy + sh));
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        surface = snapshot.surface;
        ssx -= std::min(ssx, ssx + sw);
        ssy -= std::min(ssy, ssy + sh);
    }
    DeviceContext::Paint p(*dst);
    if (!p) return TRUE;
    cairo_filter_t filter = dst->Current().stretchMode == HALFTONE ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST;
    PaintRect(p.get(), surface, ssx, ssy, sw, sh, dx, dy, dw, dh, filter, CAIRO_OPERATOR_SOURCE, 1.0);
    return TRUE;
}

// The source pixels as ARGB32 at their own density, with the key colour made
// fully transparent and every other pixel opaque.
cairo_surface_t* KeyedCopy(const Source& s, int scale, int sx, int sy, int sw, int sh, COLORREF key) {
    int pw = sw * scale, ph = sh * scale;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    cairo_surface_set_device_scale(out, scale, scale);
    cairo_surface_flush(s.surface);
    unsigned char* data = cairo_image_surface_get_data(out);
    int stride = cairo_image_surface_get_stride(out);
    int px0 = (sx + s.origin.x) * scale, py0 = (sy + s.origin.y) * scale;
    int maxX = cairo_image_surface_get_width(s.surface), maxY = cairo_image_surface_get_height(s.surface);
    bool wide = cairo_image_surface_get_format(s.surface) != CAIRO_FORMAT_RGB16_565;
    const unsigned char* in = cairo_image_surface_get_data(s.surface);
    int inStride = cairo_image_surface_get_stride(s.surface);
    std::uint32_t keyRgb = (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
    for (int y = 0; y < ph; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        int iy = py0 + y;
        for (int x = 0; x < pw; ++x) {
            int ix = px0 + x;
            if (ix < 0 || iy < 0 || ix >= maxX || iy >= maxY) {
                row[x] = 0;
                continue;
            }
            std::uint32_t rgb;
            if (wide) {
                std::memcpy(&rgb, in + static_cast<std::ptrdiff_t>(iy) * inStride + ix * 4, 4);
                rgb &= 0xFFFFFF;
            } else {
                COLORREF c = ReadSurfacePixel(s.surface, ix, iy);
                rgb = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
            row[x] = rgb == keyRgb ? 0 : (0xFF000000u | rgb);
        }
    }
    cairo_surface_mark_dirty(out);
    return out;
}

}  // namespace

BOOL BitBlt(HDC hdcDest, int nXDest, int nYDest, int nWidth, int nHeight, HDC hdcSrc, int nXSrc, int nYSrc,
            DWORD dwRop) {
    return Copy(hdcDest, nXDest, nYDest, nWidth, nHeight, hdcSrc, nXSrc, nYSrc, nWidth, nHeight, dwRop);
}

BOOL StretchBlt(HDC hdcDest, int nXOriginDest, int nYOriginDest, int nWidthDest, int nHeightDest, HDC hdcSrc,
                int nXOriginSrc, int nYOriginSrc, int nWidthSrc, int nHeightSrc, DWORD dwRop) {
    return Copy(hdcDest, nXOriginDest, nYOriginDest, nWidthDest, nHeightDest, hdcSrc, nXOriginSrc, nYOriginSrc,
                nWidthSrc, nHeightSrc, dwRop);
}

BOOL PatBlt(HDC hdc, int nXLeft, int nYLeft, int nWidth, int nHeight, DWORD dwRop) {
    if (dwRop == SRCCOPY) return Fail(ERROR_INVALID_PARAMETER);
    return Copy(hdc, nXLeft, nYLeft, nWidth, nHeight, nullptr, 0, 0, 0, 0, dwRop);
}

BOOL TransparentImage(HDC hdcDest, LONG DstX, LONG DstY, LONG DstCx, LONG DstCy, HANDLE hSrc, LONG SrcX, LONG SrcY,
                      LONG SrcCx, LONG SrcCy, COLORREF TransparentColor) {
    DeviceContext* dst = DC(hdcDest);
    if (!dst) return FALSE;
    if (DstCx <= 0 || DstCy <= 0 || SrcCx <= 0 || SrcCy <= 0) return Fail(ERROR_INVALID_PARAMETER);
    Source s;
    int scale = 1;
    if (DeviceContext* src = FindDC(static_cast<HDC>(hSrc))) {
        s = FromDC(*src);
        scale = src->Scale();
    } else if (auto bitmap = FindObjectAs<Bitmap>(hSrc)) {
        s.surface = bitmap->Surface();
        s.bounds = RECT{0, 0, bitmap->Width(), bitmap->Height()};
        s.bitmap = bitmap.get();
        s.held = bitmap;
        scale = bitmap->Scale();
    } else {
        return Fail(ERROR_INVALID_HANDLE);
    }
    cairo_surface_t* keyed = KeyedCopy(s, scale, SrcX, SrcY, SrcCx, SrcCy, TransparentColor & 0xFFFFFF);
    {
        DeviceContext::Paint p(*dst);
        if (p) PaintRect(p.get(), keyed, 0, 0, SrcCx, SrcCy, DstX, DstY, DstCx, DstCy, CAIRO_FILTER_NEAREST,
                         CAIRO_OPERATOR_OVER, 1.0);
    }
    cairo_surface_destroy(keyed);
    return TRUE;
}

BOOL TransparentBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc, int wSrc,
                    int hSrc, UINT crTransparent) {
    return TransparentImage(hdcDest, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, crTransparent);
}

BOOL AlphaBlend(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest, HDC hdcSrc, int xoriginSrc,
                int yoriginSrc, int wSrc, int hSrc, BLENDFUNCTION ftn) {
    DeviceContext* dst = DC(hdcDest);
    if (!dst) return FALSE;
    DeviceContext* src = DC(hdcSrc);
    if (!src) return FALSE;
    if (ftn.BlendOp != AC_SRC_OVER || wDest < 0 || hDest < 0 || wSrc < 0 || hSrc < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    Source s = FromDC(*src);
    RECT wanted{xoriginSrc + s.origin.x, yoriginSrc + s.origin.y, xoriginSrc + s.origin.x + wSrc,
                yoriginSrc + s.origin.y + hSrc};
    if (wanted.left < s.bounds.left || wanted.top < s.bounds.top || wanted.right > s.bounds.right ||
        wanted.bottom > s.bounds.bottom)
        return Fail(ERROR_INVALID_PARAMETER);
    if (wDest == 0 || hDest == 0 || wSrc == 0 || hSrc == 0 || ftn.SourceConstantAlpha == 0) return TRUE;
    cairo_surface_t* surface = (ftn.AlphaFormat & AC_SRC_ALPHA) ? s.surface : OpaqueSurface(s);
    if (s.bitmap && surface == s.surface) cairo_surface_mark_dirty(surface);  // the caller may have written the bits
    DeviceContext::Paint p(*dst);
    if (p) PaintRect(p.get(), surface, wanted.left, wanted.top, wSrc, hSrc, xoriginDest, yoriginDest, wDest, hDest,
                     CAIRO_FILTER_GOOD, CAIRO_OPERATOR_OVER, ftn.SourceConstantAlpha / 255.0);
    return TRUE;
}
