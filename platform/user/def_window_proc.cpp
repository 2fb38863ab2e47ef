// What a window does with a message its procedure passes on.
#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/user/backend.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

using namespace skyvane::user;

namespace {

// The class background: a brush, or a system colour index + 1.
HBRUSH ClassBrush(const Window& w) {
    HBRUSH b = w.cls->wc.hbrBackground;
    auto value = reinterpret_cast<std::uintptr_t>(b);
    if (value > 0 && value <= COLOR_STATICTEXT + 1) return GetSysColorBrush(static_cast<int>(value - 1));
    return b;
}

}  // namespace

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FindQuiet(hWnd);
    if (!w) return 0;
    switch (Msg) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT: {
        auto text = reinterpret_cast<LPCWSTR>(lParam);
        w->text = text ? std::u16string(text) : std::u16string();
        if (!w->IsChild() && w->Visible()) TheBackend().Show(*w);
        return TRUE;
    }
    case WM_GETTEXT: {
        auto out = reinterpret_cast<LPWSTR>(lParam);
        if (!out || wParam == 0) return 0;
        std::size_t n = std::min<std::size_t>(wParam - 1, w->text.size());
        std::copy_n(w->text.data(), n, out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HBRUSH brush = ClassBrush(*w);
        if (!brush) return 0;
        RECT r;
        GetClientRect(hWnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != hWnd && !IsChild(hWnd, focus)) SetFocus(hWnd);
        }
        return 0;
    case WM_MOUSEWHEEL:
        // Unhandled wheel turns go up to the parent, which may scroll.
        if (w->IsChild()) return SendMessageW(w->parent, Msg, wParam, lParam);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_STATIC));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_STATIC));
    default: return 0;
    }
}
