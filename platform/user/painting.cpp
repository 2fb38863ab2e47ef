#include "platform/user/painting.h"

#include <mutex>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/device_profile.h"
#include "platform/user/backend.h"
#include "platform/user/user.h"

namespace skyvane::user {
namespace {

void MarkDirty(Window& w) {
    if (Window* top = TopLevelOf(&w); top && top->surface) top->surface->dirty = true;
}

// Adds a client rectangle to a window's update region and the parts of its
// visible children beneath it.
void Invalidate(Window& w, RECT area, bool erase) {
    RECT c = ClientRect(w);
    area = RectIntersection(area, RECT{0, 0, c.right - c.left, c.bottom - c.top});
    if (RectEmpty(area)) return;
    w.update = RectUnion(w.update, area);
    w.erase = w.erase || erase;
    for (HWND child : w.children) {
        Window* k = FindQuiet(child);
        if (!k || !k->Visible()) continue;
        RECT inner = ClientRect(*k);
        RECT inChild = RectOffset(area, -(k->rect.left + inner.left), -(k->rect.top + inner.top));
        Invalidate(*k, inChild, erase);
    }
}

HWND FirstNeedingPaint(HWND hwnd) {
    Window* w = FindQuiet(hwnd);
    if (!w || !w->Visible() || w->destroying) return nullptr;
    if (!RectEmpty(w->update)) return hwnd;
    for (HWND child : w->children)
        if (HWND found = FirstNeedingPaint(child)) return found;
    return nullptr;
}

// A context on the window's part of its top-level surface: the client area,
// or with whole the frame as well.
HDC SurfaceDC(Window& w, bool whole) {
    Window* top = TopLevelOf(&w);
    if (!top || !top->surface) return nullptr;
    RECT bounds = whole ? WindowInSurface(w) : ClientInSurface(w);
    RECT visible = bounds;
    if (w.IsChild())
        if (Window* p = FindQuiet(w.parent)) visible = RectIntersection(bounds, VisibleClientInSurface(*p));
    return skyvane::gdi::CreateSurfaceDC(top->surface->surface, top->surface->scale, POINT{bounds.left, bounds.top},
                                          visible);
}

// The 1-pixel frame of a bordered child.
void DrawFrame(Window& w) {
    RECT client = ClientRect(w);
    if (client.left == 0) return;
    HDC dc = SurfaceDC(w, true);
    if (!dc) return;
    RECT r{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    DeleteDC(dc);
}

}  // namespace

void EnsureSurface(Window& top) {
    int scale = TheBackend().Scale();
    int width = std::max<LONG>(1, top.rect.right - top.rect.left), height = std::max<LONG>(1, top.rect.bottom - top.rect.top);
    if (top.surface && top.surface->scale == scale &&
        cairo_image_surface_get_width(top.surface->surface) == width * scale &&
        cairo_image_surface_get_height(top.surface->surface) == height * scale)
        return;
    auto surface = std::make_unique<Surface>();
    surface->scale = scale;
    surface->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width * scale, height * scale);
    cairo_surface_set_device_scale(surface->surface, scale, scale);
    surface->dirty = true;
    top.surface = std::move(surface);
    Invalidate(top, RECT{0, 0, width, height}, true);
}

HWND WindowNeedingPaint(ThreadQueue& queue, HWND filter) {
    for (HWND top : TopLevelWindows()) {
        Window* w = FindQuiet(top);
        if (!w || w->queue.get() != &queue) continue;
        HWND found = FirstNeedingPaint(top);
        if (found && (!filter || found == filter || IsChild(filter, found))) return found;
    }
    return nullptr;
}

void PresentDirty(ThreadQueue& queue) {
    for (HWND top : TopLevelWindows()) {
        Window* w = FindQuiet(top);
        if (w && w->queue.get() == &queue && w->Visible() && w->surface && w->surface->dirty) TheBackend().Present(*w);
    }
}

void PaintTree(HWND hwnd) {
    Window* w = FindQuiet(hwnd);
    if (!w || !w->Visible()) return;
    if (!RectEmpty(w->update)) SendDirect(hwnd, WM_PAINT, 0, 0);
    if ((w = FindQuiet(hwnd)) && !RectEmpty(w->update)) ValidateRect(hwnd, nullptr);
    if (!(w = FindQuiet(hwnd))) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) PaintTree(child);
}

}  // namespace skyvane::user

using namespace skyvane::user;
using skyvane::RectEmpty;
using skyvane::RectEqual;
using skyvane::RectIntersection;

BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    if (!hWnd) {
        for (HWND top : TopLevelWindows()) InvalidateRect(top, nullptr, bErase);
        return TRUE;
    }
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    RECT c = ClientRect(*w);
    Invalidate(*w, lpRect ? *lpRect : RECT{0, 0, c.right - c.left, c.bottom - c.top}, bErase != FALSE);
    if (w->queue && !w->queue->IsCurrentThread()) w->queue->Wake();
    return TRUE;
}

BOOL ValidateRect(HWND hWnd, const RECT* lpRect) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    // The region is one rectangle: a part validated inside it leaves it whole.
    if (!lpRect || RectEqual(RectIntersection(*lpRect, w->update), w->update)) {
        w->update = RECT{0, 0, 0, 0};
        w->erase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    if (lpRect) *lpRect = w->update;
    return !RectEmpty(w->update);
}

BOOL UpdateWindow(HWND hWnd) {
    if (!Find(hWnd)) return FALSE;
    PaintTree(hWnd);
    return TRUE;
}

BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags) {
    if (flags & RDW_INVALIDATE) InvalidateRect(hWnd, lprcUpdate, (flags & RDW_ERASE) != 0);
    if (flags & RDW_UPDATENOW) UpdateWindow(hWnd);
    return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT lpPaint) {
    Window* w = Find(hwnd);
    if (!w || !lpPaint) return nullptr;
    RECT update = w->update;
    bool erase = w->erase;
    w->update = RECT{0, 0, 0, 0};
    w->erase = false;
    DrawFrame(*w);
    HDC dc = SurfaceDC(*w, false);
    if (!dc) return nullptr;
    IntersectClipRect(dc, update.left, update.top, update.right, update.bottom);
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = dc;
    lpPaint->rcPaint = update;
    lpPaint->fErase = erase ? !SendDirect(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) : FALSE;
    if ((w = FindQuiet(hwnd))) MarkDirty(*w);
    return dc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    if (!lpPaint) return FALSE;
    if (Window* w = FindQuiet(hWnd)) MarkDirty(*w);
    DeleteDC(lpPaint->hdc);
    return TRUE;
}

HDC GetDC(HWND hWnd) {
    if (!hWnd) {
        // The screen: a surface of the device's size that nothing shows.
        static std::mutex mutex;
        static cairo_surface_t* screen = nullptr;
        std::lock_guard<std::mutex> lock(mutex);
        skyvane::DeviceProfile p = skyvane::ReadDeviceProfile();
        int scale = skyvane::gdi::ScreenScale();
        if (!screen) {
            screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, p.screenWidth * scale, p.screenHeight * scale);
            cairo_surface_set_device_scale(screen, scale, scale);
        }
        RECT all{0, 0, static_cast<LONG>(p.screenWidth), static_cast<LONG>(p.screenHeight)};
        return skyvane::gdi::CreateSurfaceDC(screen, scale, POINT{0, 0}, all);
    }
    Window* w = Find(hWnd);
    if (!w) return nullptr;
    MarkDirty(*w);
    return SurfaceDC(*w, false);
}

HDC GetWindowDC(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) return nullptr;
    MarkDirty(*w);
    return SurfaceDC(*w, true);
}

int ReleaseDC(HWND hWnd, HDC hDC) {
    if (Window* w = FindQuiet(hWnd)) MarkDirty(*w);
    return DeleteDC(hDC) ? 1 : 0;
}
