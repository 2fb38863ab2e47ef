// Rectangles, ellipses, lines and polygons with the selected pen and brush,
// and single pixels.
//
// Pixel rules, as the platform draws: a 1-pixel pen's path runs through pixel
// centres; an outline lies inside the bounding rectangle, which covers left to
// right - 1 and top to bottom - 1; a line leaves out its last pixel. With the
// null pen, Rectangle fills one pixel less to the right and bottom.
#include <cmath>

#include "platform/base/log.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"

using namespace skyvane::gdi;

namespace {

DeviceContext* DC(HDC hdc) { return ContextOf(hdc); }

void SetColour(cairo_t* cr, COLORREF c) {
    Rgb rgb = ToRgb(c);
    cairo_set_source_rgb(cr, rgb.r, rgb.g, rgb.b);
}

bool HasPen(const DeviceContext::State& s) { return s.pen && s.pen->style != PS_NULL; }
bool HasBrush(const DeviceContext::State& s) { return s.brush && !s.brush->hollow; }

void UsePen(cairo_t* cr, const Pen& pen) {
    SetColour(cr, pen.colour);
    cairo_set_line_width(cr, pen.width);
    if (pen.style == PS_DASH) {
        static const double dashes[] = {18.0, 6.0};
        cairo_set_dash(cr, dashes, 2, 0);
    } else {
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    bool thin = pen.width <= 1;
    cairo_set_line_cap(cr, thin ? CAIRO_LINE_CAP_BUTT : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, thin ? CAIRO_LINE_JOIN_MITER : CAIRO_LINE_JOIN_ROUND);
}

// Fills the current path with the brush (keeping the path), then strokes it
// with the pen.
void FillAndStroke(cairo_t* cr, const DeviceContext::State& s) {
    if (HasBrush(s)) {
        SetColour(cr, s.brush->colour);
        cairo_set_fill_rule(cr, s.fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill_preserve(cr);
    }
    if (HasPen(s)) {
        UsePen(cr, *s.pen);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

void EllipsePath(cairo_t* cr, double cx, double cy, double rx, double ry) {
    if (rx <= 0 || ry <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
}

// A rectangle with corners rounded by quarter ellipses of w × h.
void RoundRectPath(cairo_t* cr, double l, double t, double r, double b, double w, double h) {
    double rx = std::min(w / 2, (r - l) / 2), ry = std::min(h / 2, (b - t) / 2);
    if (rx <= 0 || ry <= 0) {
        cairo_rectangle(cr, l, t, r - l, b - t);
        return;
    }
    auto corner = [&](double cx, double cy, double from) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, from, from + M_PI / 2);
        cairo_restore(cr);
    };
    cairo_new_sub_path(cr);
    corner(r - rx, t + ry, -M_PI / 2);
    corner(r - rx, b - ry, 0);
    corner(l + rx, b - ry, M_PI / 2);
    corner(l + rx, t + ry, M_PI);
    cairo_close_path(cr);
}

// A 1-pixel segment from pixel a to pixel b, leaving out b: the path runs
// through pixel centres and stops half a pixel (along the major axis) short.
void ThinSegment(cairo_t* cr, POINT a, POINT b, bool leaveOutEnd) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double major = std::max(std::fabs(dx), std::fabs(dy));
    if (major == 0) return;
    double ux = dx / major * 0.5, uy = dy / major * 0.5;
    cairo_move_to(cr, a.x + 0.5 - ux, a.y + 0.5 - uy);
    if (leaveOutEnd) cairo_line_to(cr, b.x + 0.5 - ux, b.y + 0.5 - uy);
    else cairo_line_to(cr, b.x + 0.5 + ux, b.y + 0.5 + uy);
}

void StrokeLines(DeviceContext& dc, const POINT* pts, int n) {
    DeviceContext::Paint p(dc);
    const auto& s = dc.Current();
    if (!p || !HasPen(s) || n < 2) return;
    UsePen(p.get(), *s.pen);
    if (s.pen->width <= 1) {
        for (int i = 0; i + 1 < n; ++i) ThinSegment(p.get(), pts[i], pts[i + 1], true);
    } else {
        cairo_move_to(p.get(), pts[0].x + 0.5, pts[0].y + 0.5);
        for (int i = 1; i < n; ++i) cairo_line_to(p.get(), pts[i].x + 0.5, pts[i].y + 0.5);
    }
    cairo_stroke(p.get());
}

}  // namespace

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    DeviceContext* dc = DC(hDC);
    // A system colour index plus one stands for that colour's brush.
    auto brush = FindObjectAs<Brush>(hbr);
    if (!dc || !lprc || !brush) {
        if (dc) SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (brush->hollow || skyvane::RectEmpty(*lprc)) return 1;
    DeviceContext::Paint p(*dc);
    if (!p) return 1;
    SetColour(p.get(), brush->colour);
    cairo_rectangle(p.get(), lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top);
    cairo_fill(p.get());
    return 1;
}

int FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    DeviceContext* dc = DC(hDC);
    auto brush = FindObjectAs<Brush>(hbr);
    if (!dc || !lprc || !brush) return 0;
    if (brush->hollow || skyvane::RectEmpty(*lprc)) return 1;
    DeviceContext::Paint p(*dc);
    if (!p) return 1;
    SetColour(p.get(), brush->colour);
    cairo_set_line_width(p.get(), 1);
    cairo_rectangle(p.get(), lprc->left + 0.5, lprc->top + 0.5, lprc->right - lprc->left - 1, lprc->bottom - lprc->top - 1);
    cairo_stroke(p.get());
    return 1;
}

BOOL DrawFocusRect(HDC hDC, const RECT* lprc) {
    DeviceContext* dc = DC(hDC);
    if (!dc || !lprc) return FALSE;
    DeviceContext::Paint p(*dc);
    if (!p || skyvane::RectEmpty(*lprc)) return TRUE;
    // A dotted outline that inverts what is under it, so a second call removes it.
    cairo_set_operator(p.get(), CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(p.get(), 1, 1, 1);
    static const double dots[] = {1.0, 1.0};
    cairo_set_dash(p.get(), dots, 2, 0);
    cairo_set_line_width(p.get(), 1);
    cairo_rectangle(p.get(), lprc->left + 0.5, lprc->top + 0.5, lprc->right - lprc->left - 1, lprc->bottom - lprc->top - 1);
    cairo_stroke(p.get());
    return TRUE;
}

BOOL Rectangle(HDC hdc, int l, int t, int r, int b) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    DeviceContext::Paint p(*dc);
    if (!p) return TRUE;
    const auto& s = dc->Current();
    if (!HasPen(s)) {
        if (HasBrush(s)) {
            SetColour(p.get(), s.brush->colour);
            cairo_rectangle(p.get(), l, t, r - l - 1, b - t - 1);
            cairo_fill(p.get());
        }
        return TRUE;
    }
    double inset = s.pen->width / 2.0;
    if (HasBrush(s)) {
        SetColour(p.get(), s.brush->colour);
        cairo_rectangle(p.get(), l, t, r - l, b - t);
        cairo_fill(p.get());
    }
    UsePen(p.get(), *s.pen);
    cairo_rectangle(p.get(), l + inset, t + inset, r - l - 2 * inset, b - t - 2 * inset);
    cairo_stroke(p.get());
    return TRUE;
}

namespace {
// A closed shape inside a bounding box: the path is made inset by half the
// pen, then filled with the brush and stroked with the pen.
template <class MakePath>
BOOL ClosedShape(HDC hdc, MakePath makePath) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    DeviceContext::Paint p(*dc);
    if (!p) return TRUE;
    const auto& s = dc->Current();
    makePath(p.get(), HasPen(s) ? s.pen->width / 2.0 : 0.0);
    FillAndStroke(p.get(), s);
    return TRUE;
}
}  // namespace

BOOL RoundRect(HDC hdc, int l, int t, int r, int b, int nWidth, int nHeight) {
    return ClosedShape(hdc, [&](cairo_t* cr, double inset) {
        RoundRectPath(cr, l + inset, t + inset, r - inset, b - inset, nWidth, nHeight);
    });
}

BOOL Ellipse(HDC hdc, int l, int t, int r, int b) {
    return ClosedShape(hdc, [&](cairo_t* cr, double inset) {
        EllipsePath(cr, (l + r) / 2.0, (t + b) / 2.0, (r - l) / 2.0 - inset, (b - t) / 2.0 - inset);
    });
}

namespace {
// The context for a list of at least two points, or nullptr with the error set.
DeviceContext* PointsContext(HDC hdc, const POINT* points, int count) {
    DeviceContext* dc = DC(hdc);
    if (dc && (!points || count < 2)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return dc;
}
}  // namespace

BOOL Polyline(HDC hdc, const POINT* lppt, int cPoints) {
    DeviceContext* dc = PointsContext(hdc, lppt, cPoints);
    if (!dc) return FALSE;
    StrokeLines(*dc, lppt, cPoints);
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* lpPoints, int nCount) {
    DeviceContext* dc = PointsContext(hdc, lpPoints, nCount);
    if (!dc) return FALSE;
    DeviceContext::Paint p(*dc);
    if (!p) return TRUE;
    cairo_move_to(p.get(), lpPoints[0].x + 0.5, lpPoints[0].y + 0.5);
    for (int i = 1; i < nCount; ++i) cairo_line_to(p.get(), lpPoints[i].x + 0.5, lpPoints[i].y + 0.5);
    cairo_close_path(p.get());
    FillAndStroke(p.get(), dc->Current());
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int X, int Y, LPPOINT lpPoint) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    if (lpPoint) *lpPoint = dc->Current().position;
    dc->Current().position = POINT{X, Y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int nXEnd, int nYEnd) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    POINT pts[2] = {dc->Current().position, POINT{nXEnd, nYEnd}};
    StrokeLines(*dc, pts, 2);
    dc->Current().position = pts[1];
    return TRUE;
}

namespace {
// The surface pixel under a logical point, if it is visible.
bool SurfacePixel(DeviceContext& dc, int x, int y, int& px, int& py) {
    POINT o = dc.Origin();
    if (!skyvane::RectContains(dc.Visible(), x + o.x, y + o.y)) return false;
    px = (x + o.x) * dc.Scale();
    py = (y + o.y) * dc.Scale();
    return px < cairo_image_surface_get_width(dc.Target()) && py < cairo_image_surface_get_height(dc.Target());
}
}  // namespace

COLORREF GetPixel(HDC hdc, int nXPos, int nYPos) {
    DeviceContext* dc = DC(hdc);
    int px, py;
    if (!dc || !SurfacePixel(*dc, nXPos, nYPos, px, py)) return CLR_INVALID;
    return ReadSurfacePixel(dc->Target(), px, py);
}

COLORREF SetPixel(HDC hdc, int X, int Y, COLORREF crColor) {
    DeviceContext* dc = DC(hdc);
    int px, py;
    if (!dc || !SurfacePixel(*dc, X, Y, px, py)) return CLR_INVALID;
    DeviceContext::Paint p(*dc);
    if (!p) return CLR_INVALID;
    SetColour(p.get(), crColor);
    cairo_rectangle(p.get(), X, Y, 1, 1);
    cairo_fill(p.get());
    return crColor & 0xFFFFFF;
}
