// STATIC: a text (wrapped, or on one line with SS_LEFTNOWORDWRAP) or a
// bitmap, in the colours the parent gives for WM_CTLCOLORSTATIC.
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/system_classes.h"

namespace skyvane::user {
namespace {

class StaticControl : public Control {
public:
    StaticControl(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (Style() & SS_NOTIFY) Notify(STN_CLICKED);
            return 0;
        case WM_GETDLGCODE: return DLGC_STATIC;
        case STM_SETIMAGE: {
            HBITMAP old = image_;
            image_ = reinterpret_cast<HBITMAP>(lParam);
            Redraw();
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETIMAGE: return reinterpret_cast<LRESULT>(image_);
        default: return std::nullopt;
        }
    }

private:
    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT client = Client();
        HBRUSH brush = ParentColours(WM_CTLCOLORSTATIC, dc);
        if (brush) FillRect(dc, &client, brush);
        DWORD type = Style() & SS_TYPEMASK;
        if (type == SS_BITMAP) {
            DrawImage(dc, client);
        } else {
            WCHAR text[1024];
            GetWindowTextW(Hwnd(), text, 1024);
            UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
            format |= type == SS_LEFTNOWORDWRAP ? DT_EXPANDTABS : DT_WORDBREAK;
            if (Style() & SS_NOPREFIX) format |= DT_NOPREFIX;
            if (Style() & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
            COLORREF colour = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
            paint::Text(dc, Font(), colour, text, client, format);
        }
        EndPaint(Hwnd(), &ps);
    }

    void DrawImage(HDC dc, const RECT& client) {
        BITMAP bm{};
        if (!image_ || !GetObjectW(image_, sizeof bm, &bm)) return;
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, image_);
        int x = 0, y = 0;
        if (Style() & SS_CENTERIMAGE) {
            x = (client.right - bm.bmWidth) / 2;
            y = (client.bottom - bm.bmHeight) / 2;
        }
        BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    }

    HBITMAP image_ = nullptr;
};

}  // namespace

void RegisterStaticClass() { RegisterControlClass(WC_STATIC, ControlProc<StaticControl>); }

}  // namespace skyvane::user
