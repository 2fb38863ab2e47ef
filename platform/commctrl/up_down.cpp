// msctls_updown32: two arrow buttons that step a number, usually shown in a
// buddy edit box beside them.
//
// Each step first asks the parent (UDN_DELTAPOS; a non-zero answer cancels
// it), then moves the position by one toward the upper limit (up) or the
// lower one (down), stopping at the range's ends unless UDS_WRAP, writes the
// number into the buddy with UDS_SETBUDDYINT, and sends WM_VSCROLL (WM_HSCROLL
// with UDS_HORZ) to the parent. With UDS_SETBUDDYINT the position is read back
// from the buddy's text, so a number typed there counts. UDS_AUTOBUDDY takes
// the control made just before as the buddy; UDS_ALIGNRIGHT and UDS_ALIGNLEFT
// put the arrows inside the buddy's edge; UDS_ARROWKEYS lets Up and Down in
// the buddy step too. The default range is 100 down to 0, as the platform's.
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/base/wide_format.h"
#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/common_classes.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"

namespace skyvane::commctrl {
namespace {

using user::Control;
namespace paint = user::paint;

// Buddies subclassed for UDS_ARROWKEYS: their own procedure and their up-down.
struct Subclass {
    WNDPROC original;
    HWND upDown;
};
std::mutex g_mutex;
std::map<HWND, Subclass>& Subclassed() {
    static auto* map = new std::map<HWND, Subclass>;
    return *map;
}

LRESULT BuddyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

class UpDown : public Control {
public:
    UpDown(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

    // One step up (+1) or down (-1) as a click on the arrows makes it.
    void Step(int direction) {
        bool error = false;
        int current = Current(error);
        int delta = (upper_ >= lower_ ? 1 : -1) * direction;
        NMUPDOWN nm{};
        nm.iPos = current;
        nm.iDelta = delta;
        if (NotifyParent(nm.hdr, UDN_DELTAPOS)) return;
        int lo = std::min(lower_, upper_), hi = std::max(lower_, upper_);
        int next = current + nm.iDelta;
        if (next > hi) next = (Style() & UDS_WRAP) ? lo : hi;
        if (next < lo) next = (Style() & UDS_WRAP) ? hi : lo;
        pos_ = next;
        ShowInBuddy();
        UINT scroll = (Style() & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
        SendMessageW(Parent(), scroll, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos_)), reinterpret_cast<LPARAM>(Hwnd()));
        SendMessageW(Parent(), scroll, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(pos_)), reinterpret_cast<LPARAM>(Hwnd()));
    }

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_CREATE:
            if (Style() & UDS_AUTOBUDDY) Attach(GetWindow(Hwnd(), GW_HWNDPREV));
            return 0;
        case WM_DESTROY: Detach(); return 0;
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            RECT c = Client();
            bool first = (Style() & UDS_HORZ) ? GET_X_LPARAM(lParam) < c.right / 2 : GET_Y_LPARAM(lParam) < c.bottom / 2;
            // Vertical: the top half is up; horizontal: the left half is down.
            pressed_ = first ? 1 : 2;
            Redraw();
            if (buddy_) SetFocus(buddy_);
            Step((Style() & UDS_HORZ) ? (first ? -1 : 1) : (first ? 1 : -1));
            return 0;
        }
        case WM_LBUTTONUP:
            pressed_ = 0;
            Redraw();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_UP || wParam == VK_RIGHT) Step(1);
            if (wParam == VK_DOWN || wParam == VK_LEFT) Step(-1);
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case UDM_SETRANGE:
            SetRange(static_cast<short>(HIWORD(lParam)), static_cast<short>(LOWORD(lParam)));
            return 0;
        case UDM_SETRANGE32: SetRange(static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
        case UDM_GETRANGE: return MAKELONG(static_cast<WORD>(upper_), static_cast<WORD>(lower_));
        case UDM_GETRANGE32:
            if (wParam) *reinterpret_cast<int*>(wParam) = lower_;
            if (lParam) *reinterpret_cast<int*>(lParam) = upper_;
            return 0;
        case UDM_SETPOS: return SetPos(static_cast<short>(LOWORD(lParam)));
        case UDM_SETPOS32: return SetPos(static_cast<int>(lParam));
        case UDM_GETPOS: {
            bool error = false;
            int p = Current(error);
            return MAKELONG(static_cast<WORD>(p), error ? 1 : 0);
        }
        case UDM_GETPOS32: {
            bool error = false;
            int p = Current(error);
            if (lParam) *reinterpret_cast<BOOL*>(lParam) = error ? TRUE : FALSE;
            return p;
        }
        case UDM_SETBUDDY: {
            HWND old = buddy_;
            Detach();
            Attach(reinterpret_cast<HWND>(wParam));
            return reinterpret_cast<LRESULT>(old);
        }
        case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(buddy_);
        default: return std::nullopt;
        }
    }

private:
    void SetRange(int lower, int upper) {
        lower_ = lower;
        upper_ = upper;
        int lo = std::min(lower_, upper_), hi = std::max(lower_, upper_);
        pos_ = std::clamp(pos_, lo, hi);
    }

    int SetPos(int p) {
        bool error = false;
        int old = Current(error);
        pos_ = std::clamp(p, std::min(lower_, upper_), std::max(lower_, upper_));
        ShowInBuddy();
        return old;
    }

    // The position: from the buddy's text when it holds a number in range.
    int Current(bool& error) {
        error = false;
        if (!(Style() & UDS_SETBUDDYINT) || !buddy_) return pos_;
        WCHAR text[32] = {0};
        GetWindowTextW(buddy_, text, 32);
        const WCHAR* p = text;
        while (*p == u' ') ++p;
        bool negative = *p == u'-';
        if (negative || *p == u'+') ++p;
        if (*p < u'0' || *p > u'9') {
            error = true;
            return pos_;
        }
        long long v = 0;
        while (*p >= u'0' && *p <= u'9' && v < 100000000) v = v * 10 + (*p++ - u'0');
        while (*p == u' ') ++p;
        if (negative) v = -v;
        if (*p || v < std::min(lower_, upper_) || v > std::max(lower_, upper_)) {
            error = true;
            return pos_;
        }
        pos_ = static_cast<int>(v);
        return pos_;
    }

    void ShowInBuddy() {
        if ((Style() & UDS_SETBUDDYINT) && buddy_) SetWindowTextW(buddy_, skyvane::FormatW(u"%d", pos_).c_str());
    }

    void Attach(HWND buddy) {
        if (!buddy || !IsWindow(buddy)) return;
        buddy_ = buddy;
        if (Style() & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) {
            RECT b, me;
            GetWindowRect(buddy, &b);
            GetWindowRect(Hwnd(), &me);
            HWND parent = GetParent(buddy);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&b), 2);
            int width = me.right - me.left;
            if (width <= 0) width = paint::Scaled(16);
            if (Style() & UDS_ALIGNRIGHT) {
                MoveWindow(buddy, b.left, b.top, b.right - b.left - width, b.bottom - b.top, TRUE);
                MoveWindow(Hwnd(), b.right - width, b.top, width, b.bottom - b.top, TRUE);
            } else {
                MoveWindow(buddy, b.left + width, b.top, b.right - b.left - width, b.bottom - b.top, TRUE);
                MoveWindow(Hwnd(), b.left, b.top, width, b.bottom - b.top, TRUE);
            }
        }
        if (Style() & UDS_ARROWKEYS) {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(buddy, GWLP_WNDPROC));
            Subclassed()[buddy] = Subclass{original, Hwnd()};
            SetWindowLongPtrW(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BuddyProc));
        }
        ShowInBuddy();
    }

    void Detach() {
        if (!buddy_) return;
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = Subclassed().find(buddy_);
        if (it != Subclassed().end()) {
            if (IsWindow(buddy_) && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(buddy_, GWLP_WNDPROC)) == BuddyProc)
                SetWindowLongPtrW(buddy_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.original));
            Subclassed().erase(it);
        }
        buddy_ = nullptr;
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        bool horizontal = Style() & UDS_HORZ;
        RECT first = horizontal ? RECT{0, 0, c.right / 2, c.bottom} : RECT{0, 0, c.right, c.bottom / 2};
        RECT second = horizontal ? RECT{c.right / 2, 0, c.right, c.bottom} : RECT{0, c.bottom / 2, c.right, c.bottom};
        COLORREF ink = GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        paint::ButtonFace(dc, first, pressed_ == 1, false, Enabled());
        paint::ButtonFace(dc, second, pressed_ == 2, false, Enabled());
        paint::Arrow(dc, first, horizontal ? paint::Direction::Left : paint::Direction::Up, ink);
        paint::Arrow(dc, second, horizontal ? paint::Direction::Right : paint::Direction::Down, ink);
        EndPaint(Hwnd(), &ps);
    }

    int lower_ = 100, upper_ = 0, pos_ = 0;
    HWND buddy_ = nullptr;
    int pressed_ = 0;
};

LRESULT BuddyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Subclass sub{};
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = Subclassed().find(hwnd);
        if (it == Subclassed().end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
        sub = it->second;
    }
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
        if (auto* upDown = dynamic_cast<UpDown*>(user::FindControl(sub.upDown))) upDown->Step(wParam == VK_UP ? 1 : -1);
        return 0;
    }
    return CallWindowProcW(sub.original, hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterUpDownClass() { user::RegisterControlClass(UPDOWN_CLASS, user::ControlProc<UpDown>, CS_DBLCLKS); }

}  // namespace skyvane::commctrl
