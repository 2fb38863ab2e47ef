#include "platform/gdi/dc.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

#include "platform/base/log.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/device_profile.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/system_info.h"

namespace skyvane::gdi {
namespace {

std::atomic<int> g_screenScale{1};

struct DcTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::unique_ptr<DeviceContext>> entries;
    std::uintptr_t next = 0x7D0000;
};

DcTable& TheDcTable() {
    static DcTable* table = new DcTable;
    return *table;
}

HDC AddDC(std::unique_ptr<DeviceContext> dc) {
    DcTable& t = TheDcTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::uintptr_t id = t.next;
    t.next += 4;
    t.entries.emplace(id, std::move(dc));
    return reinterpret_cast<HDC>(id);
}

// The 1×1 bitmap every memory context starts with.
HGDIOBJ DefaultBitmapHandle() {
    static HGDIOBJ handle = AddObject(Bitmap::Create(1, 1, CAIRO_FORMAT_RGB24, 1, 1), true);
    return handle;
}

void SelectDefaults(DeviceContext::State& s) {
    s.brushHandle = GetStockObject(WHITE_BRUSH);
    s.brush = FindObjectAs<Brush>(s.brushHandle);
    s.penHandle = GetStockObject(BLACK_PEN);
    s.pen = FindObjectAs<Pen>(s.penHandle);
    s.fontHandle = GetStockObject(SYSTEM_FONT);
    s.font = FindObjectAs<Font>(s.fontHandle);
}

}  // namespace

DeviceContext::DeviceContext(int scale) : memory_(true), scale_(scale) {
    SelectDefaults(state_);
    state_.bitmapHandle = DefaultBitmapHandle();
    state_.bitmap = FindObjectAs<Bitmap>(state_.bitmapHandle);
}

DeviceContext::DeviceContext(cairo_surface_t* surface, int scale, POINT origin, RECT bounds)
    : memory_(false), surface_(cairo_surface_reference(surface)), scale_(scale), origin_(origin), bounds_(bounds) {
    SelectDefaults(state_);
}

DeviceContext::~DeviceContext() {
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

int DeviceContext::Save() {
    saved_.push_back(state_);
    return static_cast<int>(saved_.size());
}

bool DeviceContext::Restore(int level) {
    int count = static_cast<int>(saved_.size());
    int target = level < 0 ? count + level + 1 : level;  // the save to go back to, counted from 1
    if (target < 1 || target > count) return false;
    state_ = saved_[target - 1];
    saved_.resize(target - 1);
    return true;
}

bool DeviceContext::SelectBitmap(HGDIOBJ handle, std::shared_ptr<Bitmap> bitmap) {
    if (!memory_) return false;
    state_.bitmapHandle = handle;
    state_.bitmap = std::move(bitmap);
    return true;
}

cairo_surface_t* DeviceContext::Target() const { return memory_ ? state_.bitmap->Surface() : surface_; }

int DeviceContext::Scale() const { return memory_ ? state_.bitmap->Scale() : scale_; }

RECT DeviceContext::Bounds() const {
    if (memory_) return RECT{0, 0, state_.bitmap->Width(), state_.bitmap->Height()};
    return bounds_;
}

RECT DeviceContext::Visible() const {
    RECT r = Bounds();
    return state_.clip ? RectIntersection(r, *state_.clip) : r;
}

cairo_t* DeviceContext::Context() {
    cairo_surface_t* target = Target();
    if (cr_ && crTarget_ == target) return cr_;
    if (cr_) cairo_destroy(cr_);
    cr_ = cairo_create(target);
    crTarget_ = target;
    return cr_;
}

DeviceContext::Paint::Paint(DeviceContext& dc) {
    RECT visible = dc.Visible();
    if (RectEmpty(visible)) return;
    cr_ = dc.Context();
    cairo_save(cr_);
    cairo_rectangle(cr_, visible.left, visible.top, visible.right - visible.left, visible.bottom - visible.top);
    cairo_clip(cr_);
    POINT o = dc.Origin();
    cairo_translate(cr_, o.x, o.y);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
}

DeviceContext::Paint::~Paint() {
    if (!cr_) return;
    cairo_restore(cr_);
    cairo_surface_flush(cairo_get_target(cr_));
}

DeviceContext* FindDC(HDC hdc) {
    DcTable& t = TheDcTable();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(hdc));
    return it == t.entries.end() ? nullptr : it->second.get();
}

DeviceContext* ContextOf(HDC hdc) {
    DeviceContext* dc = FindDC(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

HDC CreateSurfaceDC(cairo_surface_t* surface, int scale, POINT origin, RECT bounds) {
    return AddDC(std::make_unique<DeviceContext>(surface, scale, origin, bounds));
}

void SetScreenScale(int scale) { g_screenScale = scale < 1 ? 1 : scale; }
int ScreenScale() { return g_screenScale; }

}  // namespace skyvane::gdi

using namespace skyvane::gdi;
using skyvane::RectEmpty;
using skyvane::RectIntersection;
using skyvane::RectOffset;

namespace {
DeviceContext* DC(HDC hdc) { return ContextOf(hdc); }

// Sets one field of the drawing state; the value before, or failure for an
// unknown context.
template <class T>
T Exchange(HDC hdc, T DeviceContext::State::*field, T value, T failure) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return failure;
    T old = dc->Current().*field;
    dc->Current().*field = value;
    return old;
}
}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
    int scale = ScreenScale();
    if (hdc) {
        DeviceContext* other = DC(hdc);
        if (!other) return nullptr;
        scale = other->Scale();
    }
    return AddDC(std::make_unique<DeviceContext>(scale));
}

BOOL DeleteDC(HDC hdc) {
    std::unique_ptr<DeviceContext> doomed;
    DcTable& t = TheDcTable();
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.entries.find(reinterpret_cast<std::uintptr_t>(hdc));
        if (it == t.entries.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        doomed = std::move(it->second);
        t.entries.erase(it);
    }
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ hgdiobj) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return nullptr;
    auto object = FindObject(hgdiobj);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DeviceContext::State& s = dc->Current();
    HGDIOBJ old = nullptr;
    switch (object->Type()) {
    case OBJ_BRUSH:
        old = s.brushHandle;
        s.brushHandle = hgdiobj;
        s.brush = std::static_pointer_cast<Brush>(object);
        break;
    case OBJ_PEN:
        old = s.penHandle;
        s.penHandle = hgdiobj;
        s.pen = std::static_pointer_cast<Pen>(object);
        break;
    case OBJ_FONT:
        old = s.fontHandle;
        s.fontHandle = hgdiobj;
        s.font = std::static_pointer_cast<Font>(object);
        break;
    case OBJ_BITMAP:
        old = s.bitmapHandle;
        if (!dc->SelectBitmap(hgdiobj, std::static_pointer_cast<Bitmap>(object))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        break;
    default: return nullptr;
    }
    return old;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT uObjectType) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return nullptr;
    const DeviceContext::State& s = dc->Current();
    switch (uObjectType) {
    case OBJ_BRUSH: return s.brushHandle;
    case OBJ_PEN: return s.penHandle;
    case OBJ_FONT: return s.fontHandle;
    case OBJ_BITMAP: return s.bitmapHandle;
    default: return nullptr;
    }
}

int SaveDC(HDC hdc) {
    DeviceContext* dc = DC(hdc);
    return dc ? dc->Save() : 0;
}

BOOL RestoreDC(HDC hdc, int nSavedDC) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    if (!dc->Restore(nSavedDC)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF crColor) {
    return Exchange(hdc, &DeviceContext::State::textColour, crColor & 0xFFFFFF, CLR_INVALID);
}

COLORREF SetBkColor(HDC hdc, COLORREF crColor) {
    return Exchange(hdc, &DeviceContext::State::bkColour, crColor & 0xFFFFFF, CLR_INVALID);
}

COLORREF GetTextColor(HDC hdc) {
    DeviceContext* dc = DC(hdc);
    return dc ? dc->Current().textColour : CLR_INVALID;
}
COLORREF GetBkColor(HDC hdc) {
    DeviceContext* dc = DC(hdc);
    return dc ? dc->Current().bkColour : CLR_INVALID;
}

int SetBkMode(HDC hdc, int iBkMode) {
    if (iBkMode != OPAQUE && iBkMode != TRANSPARENT) return 0;
    return Exchange(hdc, &DeviceContext::State::bkMode, iBkMode, 0);
}

int GetBkMode(HDC hdc) {
    DeviceContext* dc = DC(hdc);
    return dc ? dc->Current().bkMode : 0;
}

int SetStretchBltMode(HDC hdc, int iStretchMode) {
    if (iStretchMode < BLACKONWHITE || iStretchMode > HALFTONE) return 0;
    return Exchange(hdc, &DeviceContext::State::stretchMode, iStretchMode, 0);
}

int SetPolyFillMode(HDC hdc, int iPolyFillMode) {
    if (iPolyFillMode != ALTERNATE && iPolyFillMode != WINDING) return 0;
    return Exchange(hdc, &DeviceContext::State::fillMode, iPolyFillMode, 0);
}

UINT SetTextAlign(HDC hdc, UINT fMode) { return Exchange(hdc, &DeviceContext::State::textAlign, fMode, UINT(GDI_ERROR)); }

BOOL SetViewportOrgEx(HDC hdc, int X, int Y, LPPOINT lpPoint) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return FALSE;
    if (lpPoint) *lpPoint = dc->Current().viewport;
    dc->Current().viewport = POINT{X, Y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT lpPoint) {
    DeviceContext* dc = DC(hdc);
    if (!dc || !lpPoint) return FALSE;
    *lpPoint = dc->Current().viewport;
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int nIndex) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return 0;
    switch (nIndex) {
    case TECHNOLOGY: return DT_RASDISPLAY;
    case LOGPIXELSX:
    case LOGPIXELSY: return skyvane::ScreenDpi();
    case HORZRES:
        if (Bitmap* b = dc->TargetBitmap(); b && b->Width() > 1) return b->Width();
        return static_cast<int>(skyvane::ReadDeviceProfile().screenWidth);
    case VERTRES:
        if (Bitmap* b = dc->TargetBitmap(); b && b->Height() > 1) return b->Height();
        return static_cast<int>(skyvane::ReadDeviceProfile().screenHeight);
    case BITSPIXEL: return dc->TargetFormat() == CAIRO_FORMAT_RGB16_565 ? 16 : 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT;
    case SHADEBLENDCAPS: return SB_CONST_ALPHA | SB_PIXEL_ALPHA | SB_PREMULT_ALPHA;
    default: return 0;
    }
}

namespace {
// A logical rectangle in surface coordinates.
RECT ToSurface(DeviceContext& dc, int l, int t, int r, int b) {
    POINT o = dc.Origin();
    return RECT{l + o.x, t + o.y, r + o.x, b + o.y};
}

int Complexity(DeviceContext& dc) { return RectEmpty(dc.Visible()) ? NULLREGION : SIMPLEREGION; }
}  // namespace

int IntersectClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return ERROR;
    RECT r = ToSurface(*dc, nLeftRect, nTopRect, nRightRect, nBottomRect);
    auto& clip = dc->Current().clip;
    clip = clip ? RectIntersection(*clip, r) : RectIntersection(dc->Bounds(), r);
    return Complexity(*dc);
}

int ExcludeClipRect(HDC hdc, int nLeftRect, int nTopRect, int nRightRect, int nBottomRect) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return ERROR;
    // The clip stays one rectangle: a band is cut off only when the excluded
    // rectangle spans the clip's whole width or height.
    RECT cut = ToSurface(*dc, nLeftRect, nTopRect, nRightRect, nBottomRect);
    RECT c = dc->Visible();
    if (cut.left <= c.left && cut.right >= c.right) {
        if (cut.top <= c.top) c.top = std::max(c.top, cut.bottom);
        else if (cut.bottom >= c.bottom) c.bottom = std::min(c.bottom, cut.top);
    } else if (cut.top <= c.top && cut.bottom >= c.bottom) {
        if (cut.left <= c.left) c.left = std::max(c.left, cut.right);
        else if (cut.right >= c.right) c.right = std::min(c.right, cut.left);
    } else if (!RectEmpty(RectIntersection(cut, c))) {
        SKYVANE_LOG("gdi", "ExcludeClipRect: a hole inside the clip is not cut out");
        return COMPLEXREGION;
    }
    dc->Current().clip = RectEmpty(c) ? RECT{0, 0, 0, 0} : c;
    return Complexity(*dc);
}

int GetClipBox(HDC hdc, LPRECT lprc) {
    DeviceContext* dc = DC(hdc);
    if (!dc || !lprc) return ERROR;
    RECT v = dc->Visible();
    POINT o = dc->Origin();
    *lprc = RectEmpty(v) ? RECT{0, 0, 0, 0} : RectOffset(v, -o.x, -o.y);
    return Complexity(*dc);
}

int SelectClipRgn(HDC hdc, HRGN hrgn) {
    DeviceContext* dc = DC(hdc);
    if (!dc) return ERROR;
    if (hrgn) {
        SKYVANE_LOG("gdi", "SelectClipRgn: regions are not supported");
        return ERROR;
    }
    dc->Current().clip.reset();
    return Complexity(*dc);
}
