// Device contexts: a drawing target (a window's part of its top-level
// surface, or the bitmap selected into a memory context), the selected objects
// and the drawing state, with its save stack.
//
// Coordinates: a context's logical (0, 0) lies at its origin on the target
// surface, moved by the viewport origin. The clip is kept in surface
// coordinates, as the platform keeps it in device coordinates.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/font.h"
#include "platform/gdi/objects.h"

namespace skyvane::gdi {

class DeviceContext {
public:
    struct State {
        HGDIOBJ brushHandle = nullptr, penHandle = nullptr, fontHandle = nullptr, bitmapHandle = nullptr;
        std::shared_ptr<Brush> brush;
        std::shared_ptr<Pen> pen;
        std::shared_ptr<Font> font;
        std::shared_ptr<Bitmap> bitmap;  // memory contexts only
        COLORREF textColour = RGB(0, 0, 0);
        COLORREF bkColour = RGB(255, 255, 255);
        int bkMode = OPAQUE;
        int stretchMode = BLACKONWHITE;
        int fillMode = ALTERNATE;
        UINT textAlign = TA_TOP | TA_LEFT;
        POINT position{0, 0};
        POINT viewport{0, 0};
        std::optional<RECT> clip;  // surface coordinates; none: the whole bounds
    };

    // A memory context of the given pixel density, holding the stock 1×1 bitmap.
    explicit DeviceContext(int scale);
    // A context on part of a surface: bounds are the surface rectangle the
    // context may draw in (logical surface units), origin where its (0, 0) is.
    DeviceContext(cairo_surface_t* surface, int scale, POINT origin, RECT bounds);
    ~DeviceContext();
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    State& Current() { return state_; }
    int Save();
    bool Restore(int level);
    // Selects a bitmap into a memory context; false for a window context.
    bool SelectBitmap(HGDIOBJ handle, std::shared_ptr<Bitmap> bitmap);

    bool IsMemory() const { return memory_; }
    cairo_surface_t* Target() const;
    cairo_format_t TargetFormat() const { return cairo_image_surface_get_format(Target()); }
    int Scale() const;
    // The target bitmap of a memory context, else nullptr.
    Bitmap* TargetBitmap() const { return memory_ ? state_.bitmap.get() : nullptr; }
    // Where logical (0, 0) is on the target surface.
    POINT Origin() const { return POINT{origin_.x + state_.viewport.x, origin_.y + state_.viewport.y}; }
    // The drawable part of the surface: bounds within the clip.
    RECT Visible() const;
    RECT Bounds() const;

    // A Cairo context on the target, translated to logical coordinates and
    // clipped to what is visible; null when nothing is.
    class Paint {
    public:
        explicit Paint(DeviceContext& dc);
        ~Paint();
        Paint(const Paint&) = delete;
        Paint& operator=(const Paint&) = delete;
        explicit operator bool() const { return cr_ != nullptr; }
        cairo_t* operator->() const { return cr_; }
        cairo_t* get() const { return cr_; }

    private:
        cairo_t* cr_ = nullptr;
    };

private:
    cairo_t* Context();
    bool memory_;
    cairo_surface_t* surface_ = nullptr;  // window contexts: a reference to the target
    int scale_ = 1;
    POINT origin_{0, 0};
    RECT bounds_{0, 0, 0, 0};
    State state_;
    std::vector<State> saved_;
    cairo_t* cr_ = nullptr;  // cached for the current target
    cairo_surface_t* crTarget_ = nullptr;
};

DeviceContext* FindDC(HDC hdc);
// FindDC for the drawing functions: ERROR_INVALID_HANDLE when there is none.
DeviceContext* ContextOf(HDC hdc);
// Makes a context on a window's surface; the window manager's GetDC and
// BeginPaint hand these out and DeleteDC removes them.
HDC CreateSurfaceDC(cairo_surface_t* surface, int scale, POINT origin, RECT bounds);
// Pixel density of the screen: what CreateCompatibleDC(NULL) gets.
void SetScreenScale(int scale);
int ScreenScale();

}  // namespace skyvane::gdi
