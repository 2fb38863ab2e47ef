// Window positions and sizes, client areas and coordinate conversions.
//
// A child with WS_BORDER or WS_EX_CLIENTEDGE has a 1-pixel frame around its
// client area. A top-level window's frame and caption belong to the desktop
// (the SDL2 back end's window manager), so its client area is the whole
// window.
#include <algorithm>

#include "platform/user/backend.h"
#include "platform/user/painting.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

int Border(const Window& w) {
    return w.IsChild() && ((w.style & WS_BORDER) || (w.exStyle & WS_EX_CLIENTEDGE)) ? 1 : 0;
}

}  // namespace

RECT ClientRect(const Window& w) {
    int b = Border(w);
    LONG width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
    return RECT{b, b, std::max<LONG>(b, width - b), std::max<LONG>(b, height - b)};
}

RECT WindowInSurface(const Window& w) {
    if (!w.IsChild()) return RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
    Window* p = FindQuiet(w.parent);
    RECT parent = p ? ClientInSurface(*p) : RECT{0, 0, 0, 0};
    return RectOffset(w.rect, parent.left, parent.top);
}

RECT ClientInSurface(const Window& w) {
    RECT outer = WindowInSurface(w);
    RECT client = ClientRect(w);
    return RectOffset(client, outer.left, outer.top);
}

RECT VisibleClientInSurface(const Window& w) {
    RECT r = ClientInSurface(w);
    for (Window* p = w.IsChild() ? FindQuiet(w.parent) : nullptr; p; p = p->IsChild() ? FindQuiet(p->parent) : nullptr)
        r = RectIntersection(r, ClientInSurface(*p));
    return r;
}

POINT ClientOrigin(const Window& w) {
    RECT client = ClientRect(w);
    if (!w.IsChild()) return POINT{w.rect.left + client.left, w.rect.top + client.top};
    Window* p = FindQuiet(w.parent);
    POINT o = p ? ClientOrigin(*p) : POINT{0, 0};
    return POINT{o.x + w.rect.left + client.left, o.y + w.rect.top + client.top};
}

HWND DeepestChildAt(HWND hwnd, POINT client, bool skipDisabled) {
    Window* w = FindQuiet(hwnd);
    if (!w) return nullptr;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Window* c = FindQuiet(*it);
        if (!c || !c->Visible() || !RectContains(c->rect, client.x, client.y)) continue;
        if (skipDisabled && !c->Enabled()) return nullptr;  // a disabled control swallows the input
        RECT inner = ClientRect(*c);
        POINT p{client.x - c->rect.left - inner.left, client.y - c->rect.top - inner.top};
        HWND deeper = DeepestChildAt(*it, p, skipDisabled);
        return deeper ? deeper : *it;
    }
    return nullptr;
}

}  // namespace skyvane::user

using namespace skyvane::user;
using skyvane::RectContains;
using skyvane::RectOffset;

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    if (!(uFlags & SWP_NOZORDER)) {
        if (hWndInsertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
        else if (hWndInsertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
        if (w->IsChild() && (hWndInsertAfter == HWND_TOP || hWndInsertAfter == HWND_BOTTOM)) {
            if (Window* p = FindQuiet(w->parent)) {
                std::erase(p->children, hWnd);
                if (hWndInsertAfter == HWND_TOP) p->children.push_back(hWnd);
                else p->children.insert(p->children.begin(), hWnd);
            }
        }
    }
    RECT old = w->rect;
    RECT r = old;
    if (!(uFlags & SWP_NOMOVE)) r = RectOffset(r, X - r.left, Y - r.top);
    if (!(uFlags & SWP_NOSIZE)) {
        r.right = r.left + std::max(cx, 0);
        r.bottom = r.top + std::max(cy, 0);
    }
    bool moved = r.left != old.left || r.top != old.top;
    bool sized = (r.right - r.left) != (old.right - old.left) || (r.bottom - r.top) != (old.bottom - old.top);
    w->rect = r;
    if (!w->IsChild()) {
        if (sized) EnsureSurface(*w);
        if (w->Visible() && (moved || sized)) TheBackend().Show(*w);
    }
    if (!(uFlags & SWP_NOREDRAW) && (moved || sized)) {
        if (w->IsChild()) InvalidateRect(w->parent, &old, TRUE);
        InvalidateRect(hWnd, nullptr, TRUE);
    }
    if (sized) {
        RECT client = ClientRect(*w);
        SendDirect(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    }
    if (moved && FindQuiet(hWnd)) SendDirect(hWnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
    if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hWnd) { return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    Window* w = Find(hWnd);
    if (!w || !lpRect) return FALSE;
    RECT c = ClientRect(*w);
    *lpRect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* w = Find(hWnd);
    if (!w || !lpRect) return FALSE;
    if (!w->IsChild()) {
        *lpRect = w->rect;
        return TRUE;
    }
    Window* p = FindQuiet(w->parent);
    POINT o = p ? ClientOrigin(*p) : POINT{0, 0};
    *lpRect = RectOffset(w->rect, o.x, o.y);
    return TRUE;
}

BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    Window* w = Find(hWnd);
    if (!w || !lpPoint) return FALSE;
    POINT o = ClientOrigin(*w);
    lpPoint->x += o.x;
    lpPoint->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    Window* w = Find(hWnd);
    if (!w || !lpPoint) return FALSE;
    POINT o = ClientOrigin(*w);
    lpPoint->x -= o.x;
    lpPoint->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
    POINT from{0, 0}, to{0, 0};
    if (hWndFrom) {
        Window* w = Find(hWndFrom);
        if (!w) return 0;
        from = ClientOrigin(*w);
    }
    if (hWndTo) {
        Window* w = Find(hWndTo);
        if (!w) return 0;
        to = ClientOrigin(*w);
    }
    LONG dx = from.x - to.x, dy = from.y - to.y;
    for (UINT i = 0; i < cPoints; ++i) {
        lpPoints[i].x += dx;
        lpPoints[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND WindowFromPoint(POINT Point) {
    std::vector<HWND> tops = TopLevelWindows();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* w = FindQuiet(*it);
        if (!w || !w->Visible() || !RectContains(w->rect, Point.x, Point.y)) continue;
        POINT o = ClientOrigin(*w);
        HWND child = DeepestChildAt(*it, POINT{Point.x - o.x, Point.y - o.y}, false);
        return child ? child : *it;
    }
    return nullptr;
}

HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    Window* w = Find(hWndParent);
    if (!w) return nullptr;
    RECT client = ClientRect(*w);
    if (!RectContains(RECT{0, 0, client.right - client.left, client.bottom - client.top}, Point.x, Point.y)) return nullptr;
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        Window* c = FindQuiet(*it);
        if (c && RectContains(c->rect, Point.x, Point.y)) return *it;
    }
    return hWndParent;
}
