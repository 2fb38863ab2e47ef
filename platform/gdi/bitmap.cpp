#include "platform/gdi/bitmap.h"

#include <cstdlib>
#include <cstring>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

namespace skyvane::gdi {

std::shared_ptr<Bitmap> Bitmap::Create(int width, int height, cairo_format_t format, int scale, int bitsPerPixel) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || scale < 1) return nullptr;
    std::shared_ptr<Bitmap> b(new Bitmap);
    b->surface_ = cairo_image_surface_create(format, width * scale, height * scale);
    if (cairo_surface_status(b->surface_) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_set_device_scale(b->surface_, scale, scale);
    b->width_ = width;
    b->height_ = height;
    b->scale_ = scale;
    b->bitsPerPixel_ = bitsPerPixel;
    return b;
}

std::shared_ptr<Bitmap> Bitmap::CreateDib(const BITMAPINFOHEADER& h, const DWORD* bitfields) {
    cairo_format_t format;
    if (h.biBitCount == 32 && (h.biCompression == BI_RGB ||
                               (h.biCompression == BI_BITFIELDS && bitfields && bitfields[0] == 0xFF0000 &&
                                bitfields[1] == 0xFF00 && bitfields[2] == 0xFF))) {
        format = CAIRO_FORMAT_ARGB32;
    } else if (h.biBitCount == 16 && h.biCompression == BI_BITFIELDS && bitfields && bitfields[0] == 0xF800 &&
               bitfields[1] == 0x07E0 && bitfields[2] == 0x001F) {
        format = CAIRO_FORMAT_RGB16_565;
    } else {
        return nullptr;
    }
    int width = h.biWidth;
    int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    int stride = cairo_format_stride_for_width(format, width);  // the platform's 4-byte row alignment
    std::shared_ptr<Bitmap> b(new Bitmap);
    std::size_t bytes = static_cast<std::size_t>(stride) * height;
    b->storage_ = static_cast<unsigned char*>(std::calloc(bytes, 1));
    if (!b->storage_) return nullptr;
    b->bits_ = b->storage_;
    // Bottom-up rows: the surface starts at the last row in memory and walks
    // backwards, so that surface row 0 is the top of the picture.
    bool bottomUp = h.biHeight > 0;
    unsigned char* first = bottomUp ? b->storage_ + static_cast<std::size_t>(stride) * (height - 1) : b->storage_;
    b->surface_ = cairo_image_surface_create_for_data(first, format, width, height, bottomUp ? -stride : stride);
    if (cairo_surface_status(b->surface_) != CAIRO_STATUS_SUCCESS) return nullptr;
    b->width_ = width;
    b->height_ = height;
    b->dib_ = true;
    b->bitsPerPixel_ = h.biBitCount;
    b->header_ = h;
    if (b->header_.biSizeImage == 0) b->header_.biSizeImage = static_cast<DWORD>(bytes);
    if (bitfields) std::memcpy(b->bitfields_, bitfields, sizeof b->bitfields_);
    return b;
}

Bitmap::~Bitmap() {
    if (opaque_) cairo_surface_destroy(opaque_);
    if (surface_) cairo_surface_destroy(surface_);
    std::free(storage_);
}

int Bitmap::Describe(int cbBuffer, void* out) const {
    BITMAP bm{0, width_, height_, cairo_image_surface_get_stride(surface_), 1, static_cast<WORD>(bitsPerPixel_), Bits()};
    if (bm.bmWidthBytes < 0) bm.bmWidthBytes = -bm.bmWidthBytes;
    if (!dib_) bm.bmWidthBytes = ((width_ * bitsPerPixel_ + 15) / 16) * 2;  // what CreateBitmap's rows take
    if (dib_ && cbBuffer >= static_cast<int>(sizeof(DIBSECTION))) {
        if (!out) return sizeof(DIBSECTION);
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = header_;
        std::memcpy(ds.dsBitfields, bitfields_, sizeof ds.dsBitfields);
        std::memcpy(out, &ds, sizeof ds);
        return sizeof(DIBSECTION);
    }
    if (!out) return sizeof(BITMAP);
    if (cbBuffer < static_cast<int>(sizeof(BITMAP))) return 0;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
}

cairo_surface_t* Bitmap::OpaqueView() {
    if (Format() != CAIRO_FORMAT_ARGB32) return surface_;
    if (!opaque_) {
        cairo_surface_flush(surface_);
        opaque_ = cairo_image_surface_create_for_data(cairo_image_surface_get_data(surface_), CAIRO_FORMAT_RGB24,
                                                      cairo_image_surface_get_width(surface_),
                                                      cairo_image_surface_get_height(surface_),
                                                      cairo_image_surface_get_stride(surface_));
        cairo_surface_set_device_scale(opaque_, scale_, scale_);
    }
    // The view shares the memory; Cairo must not keep stale copies of either.
    cairo_surface_mark_dirty(opaque_);
    return opaque_;
}

COLORREF ReadSurfacePixel(cairo_surface_t* surface, int px, int py) {
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + static_cast<std::ptrdiff_t>(py) * cairo_image_surface_get_stride(surface);
    if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB16_565) {
        std::uint16_t v;
        std::memcpy(&v, row + px * 2, 2);
        int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
    }
    std::uint32_t v;
    std::memcpy(&v, row + px * 4, 4);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

namespace {

// One pixel of CreateBitmap's input as 0x00RRGGBB.
std::uint32_t ReadPixel(const unsigned char* row, int x, int bpp) {
    switch (bpp) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFF : 0;
    case 16: {
        int v = row[x * 2] | (row[x * 2 + 1] << 8);
        int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
    }
    case 24: return row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
    default: return row[x * 4] | (row[x * 4 + 1] << 8) | (row[x * 4 + 2] << 16);
    }
}

}  // namespace
}  // namespace skyvane::gdi

using namespace skyvane::gdi;

HBITMAP CreateBitmap(int nWidth, int nHeight, UINT cPlanes, UINT cBitsPerPel, const void* lpvBits) {
    if (cPlanes != 1 || (cBitsPerPel != 1 && cBitsPerPel != 16 && cBitsPerPel != 24 && cBitsPerPel != 32)) {
        SKYVANE_LOG("gdi", "CreateBitmap: %u planes of %u bits are not supported", cPlanes, cBitsPerPel);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = Bitmap::Create(nWidth, nHeight, CAIRO_FORMAT_RGB24, 1, static_cast<int>(cBitsPerPel));
    if (!bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (lpvBits) {
        cairo_surface_t* s = bitmap->Surface();
        cairo_surface_flush(s);
        unsigned char* out = cairo_image_surface_get_data(s);
        int outStride = cairo_image_surface_get_stride(s);
        int inStride = ((nWidth * static_cast<int>(cBitsPerPel) + 15) / 16) * 2;
        const auto* in = static_cast<const unsigned char*>(lpvBits);
        for (int y = 0; y < nHeight; ++y) {
            auto* dst = reinterpret_cast<std::uint32_t*>(out + static_cast<std::ptrdiff_t>(y) * outStride);
            for (int x = 0; x < nWidth; ++x) dst[x] = ReadPixel(in + static_cast<std::ptrdiff_t>(y) * inStride, x, cBitsPerPel);
        }
        cairo_surface_mark_dirty(s);
    }
    return static_cast<HBITMAP>(AddObject(bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int nWidth, int nHeight) {
    DeviceContext* dc = FindDC(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    cairo_format_t format = dc->TargetFormat();
    if (format == CAIRO_FORMAT_RGB16_565) format = CAIRO_FORMAT_RGB24;
    auto bitmap = Bitmap::Create(nWidth, nHeight, format, dc->Scale(), 32);
    if (!bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HBITMAP>(AddObject(bitmap));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT iUsage, void** ppvBits, HANDLE hSection,
                         DWORD dwOffset) {
    if (ppvBits) *ppvBits = nullptr;
    if (!pbmi || iUsage != DIB_RGB_COLORS || hSection || pbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DWORD* bitfields = nullptr;
    if (pbmi->bmiHeader.biCompression == BI_BITFIELDS)
        bitfields = reinterpret_cast<const DWORD*>(reinterpret_cast<const unsigned char*>(pbmi) + pbmi->bmiHeader.biSize);
    auto bitmap = Bitmap::CreateDib(pbmi->bmiHeader, bitfields);
    if (!bitmap) {
        SKYVANE_LOG("gdi", "CreateDIBSection: %d-bit, compression %u, %dx%d is not supported", pbmi->bmiHeader.biBitCount,
                    pbmi->bmiHeader.biCompression, pbmi->bmiHeader.biWidth, pbmi->bmiHeader.biHeight);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (ppvBits) *ppvBits = bitmap->Bits();
    return static_cast<HBITMAP>(AddObject(bitmap));
}

int GetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, LPVOID lpvBits, BITMAPINFO* lpbi, UINT uUsage) {
    auto bitmap = FindObjectAs<Bitmap>(hbmp);
    if (!bitmap || !lpbi || uUsage != DIB_RGB_COLORS) {
        SetLastError(bitmap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    BITMAPINFOHEADER& h = lpbi->bmiHeader;
    if (!lpvBits) {
        h.biWidth = bitmap->Width();
        h.biHeight = bitmap->Height();
        h.biPlanes = 1;
        h.biBitCount = 32;
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(bitmap->Width()) * 4 * bitmap->Height();
        return bitmap->Height();
    }
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth != bitmap->Width()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int height = bitmap->Height();
    bool bottomUp = h.biHeight > 0;
    int copied = 0;
    auto* out = static_cast<std::uint32_t*>(lpvBits);
    int s = bitmap->Scale();
    for (UINT i = 0; i < cScanLines && uStartScan + i < static_cast<UINT>(height); ++i) {
        int row = static_cast<int>(uStartScan + i);       // scan line number in the caller's order
        int y = bottomUp ? height - 1 - row : row;        // picture row
        for (int x = 0; x < bitmap->Width(); ++x) {
            COLORREF c = ReadSurfacePixel(bitmap->Surface(), x * s, y * s);
            out[static_cast<std::size_t>(i) * bitmap->Width() + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
        ++copied;
    }
    return copied;
}
