// BUTTON: push buttons (the default one framed heavier), check boxes, radio
// buttons, group boxes and owner-drawn buttons.
//
// A press is taken on the left button or the space bar and becomes a click
// when released over the button: an automatic check box toggles, an
// automatic radio button checks itself and unchecks the automatic radio
// buttons of its group, and the parent gets BN_CLICKED.
#include "platform/base/wide_string.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/system_classes.h"

namespace skyvane::user {
namespace {

class Button : public Control {
public:
    Button(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_GETDLGCODE: return DialogCode();
        case WM_SETFOCUS:
            Redraw();
            if (Style() & BS_NOTIFY) Notify(BN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            if (pressed_) SetPressed(false);
            Redraw();
            if (Style() & BS_NOTIFY) Notify(BN_KILLFOCUS);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (Type() == BS_GROUPBOX) return 0;
            SetFocus(Hwnd());
            SetCapture(Hwnd());
            tracking_ = true;
            SetPressed(true);
            return 0;
        case WM_MOUSEMOVE:
            if (tracking_) SetPressed(Inside(lParam));
            return 0;
        case WM_LBUTTONUP:
            if (!tracking_) return 0;
            tracking_ = false;
            ReleaseCapture();
            SetPressed(false);
            if (Inside(lParam)) Click();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE && Type() != BS_GROUPBOX) SetPressed(true);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE && pressed_) {
                SetPressed(false);
                Click();
            }
            return 0;
        case BM_GETCHECK: return check_;
        case BM_SETCHECK:
            if (check_ != static_cast<UINT>(wParam)) {
                check_ = static_cast<UINT>(wParam);
                Redraw();
            }
            return 0;
        case BM_GETSTATE: return check_ | (pressed_ ? BST_PUSHED : 0) | (Focused() ? BST_FOCUS : 0);
        case BM_SETSTATE: SetPressed(wParam != 0); return 0;
        case BM_SETSTYLE:
            SetWindowLongPtrW(Hwnd(), GWL_STYLE, (Style() & ~0xFFFFu) | (wParam & 0xFFFF));
            if (LOWORD(lParam)) Redraw();
            return 0;
        case BM_CLICK: Click(); return 0;
        default: return std::nullopt;
        }
    }

private:
    DWORD Type() const { return Style() & BS_TYPEMASK; }
    bool IsCheck() const {
        DWORD t = Type();
        return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
    }
    bool IsRadio() const { return Type() == BS_RADIOBUTTON || Type() == BS_AUTORADIOBUTTON; }
    bool IsPush() const { return Type() == BS_PUSHBUTTON || Type() == BS_DEFPUSHBUTTON || Type() == BS_OWNERDRAW; }

    LRESULT DialogCode() const {
        switch (Type()) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
        }
    }

    bool Inside(LPARAM lParam) const {
        RECT c = Client();
        return RectContains(c, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    }

    void SetPressed(bool pressed) {
        if (pressed_ == pressed) return;
        pressed_ = pressed;
        Redraw();
    }

    void Click() {
        switch (Type()) {
        case BS_AUTOCHECKBOX: SendMessageW(Hwnd(), BM_SETCHECK, check_ == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0); break;
        case BS_AUTO3STATE: SendMessageW(Hwnd(), BM_SETCHECK, (check_ + 1) % 3, 0); break;
        case BS_AUTORADIOBUTTON: CheckInGroup(); break;
        default: break;
        }
        Notify(BN_CLICKED);
    }

    // Checks this button and unchecks the other automatic radio buttons of
    // its group (from the WS_GROUP control before it to the next one).
    void CheckInGroup() {
        HWND first = Hwnd();
        while (!(GetWindowLongPtrW(first, GWL_STYLE) & WS_GROUP)) {
            HWND prev = GetWindow(first, GW_HWNDPREV);
            if (!prev) break;
            first = prev;
        }
        for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
            if (h != first && (GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
            if (h != Hwnd() && (GetWindowLongPtrW(h, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        SendMessageW(Hwnd(), BM_SETCHECK, BST_CHECKED, 0);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        if (Type() == BS_OWNERDRAW) {
            DRAWITEMSTRUCT dis{ODT_BUTTON, static_cast<UINT>(Id()), 0, ODA_DRAWENTIRE, 0, Hwnd(), dc, c, 0};
            if (pressed_) dis.itemState |= ODS_SELECTED;
            if (Focused()) dis.itemState |= ODS_FOCUS;
            if (!Enabled()) dis.itemState |= ODS_DISABLED;
            if (check_ == BST_CHECKED) dis.itemState |= ODS_CHECKED;
            SendMessageW(Parent(), WM_DRAWITEM, static_cast<WPARAM>(Id()), reinterpret_cast<LPARAM>(&dis));
            EndPaint(Hwnd(), &ps);
            return;
        }
        HBRUSH brush = ParentColours(IsPush() ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC, dc);
        COLORREF textColour = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        WCHAR text[512];
        GetWindowTextW(Hwnd(), text, 512);
        if (IsPush() || (Style() & BS_PUSHLIKE)) {
            bool down = pressed_ || ((Style() & BS_PUSHLIKE) && check_ == BST_CHECKED);
            paint::ButtonFace(dc, c, down, Type() == BS_DEFPUSHBUTTON, Enabled());
            RECT t = c;
            if (down) OffsetRect(&t, 1, 1);
            paint::Text(dc, Font(), Enabled() ? GetSysColor(COLOR_BTNTEXT) : GetSysColor(COLOR_GRAYTEXT), text, t,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            if (Focused()) {
                RECT f{c.left + 3, c.top + 3, c.right - 3, c.bottom - 3};
                DrawFocusRect(dc, &f);
            }
        } else if (Type() == BS_GROUPBOX) {
            if (brush) FillRect(dc, &c, brush);
            PaintGroupBox(dc, c, text, textColour);
        } else {
            if (brush) FillRect(dc, &c, brush);
            int box = paint::Scaled(13);
            bool leftText = Style() & BS_LEFTTEXT;
            int top = (c.bottom - box) / 2;
            RECT boxRect = leftText ? RECT{c.right - box, top, c.right, top + box} : RECT{0, top, box, top + box};
            if (IsRadio()) paint::RadioButton(dc, boxRect, check_ == BST_CHECKED, Enabled());
            else paint::CheckBox(dc, boxRect, check_, Enabled());
            int gap = paint::Scaled(5);
            RECT t = leftText ? RECT{0, 0, c.right - box - gap, c.bottom} : RECT{box + gap, 0, c.right, c.bottom};
            UINT format = (Style() & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
            paint::Text(dc, Font(), textColour, text, t, format);
            if (Focused()) {
                RECT measured = t;
                HGDIOBJ old = SelectObject(dc, Font());
                DrawTextW(dc, text, -1, &measured, format | DT_CALCRECT);
                SelectObject(dc, old);
                int h = measured.bottom - measured.top;
                RECT f{t.left - 1, (c.bottom - h) / 2 - 1, measured.right + 1, (c.bottom + h) / 2 + 1};
                DrawFocusRect(dc, &f);
            }
        }
        EndPaint(Hwnd(), &ps);
    }

    void PaintGroupBox(HDC dc, const RECT& c, LPCWSTR text, COLORREF textColour) {
        TEXTMETRICW tm;
        HGDIOBJ old = SelectObject(dc, Font());
        GetTextMetricsW(dc, &tm);
        SIZE size{};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        SelectObject(dc, old);
        RECT frame{c.left, c.top + tm.tmHeight / 2, c.right, c.bottom};
        paint::Frame(dc, frame, GetSysColor(COLOR_BTNSHADOW));
        if (size.cx > 0) {
            RECT gap{8, c.top, 8 + size.cx + 4, c.top + tm.tmHeight};
            paint::Fill(dc, gap, GetBkColor(dc));
            paint::Text(dc, Font(), textColour, text, RECT{10, c.top, c.right, c.top + tm.tmHeight}, DT_SINGLELINE);
        }
    }

    UINT check_ = BST_UNCHECKED;
    bool pressed_ = false;
    bool tracking_ = false;
};

}  // namespace

void RegisterButtonClass() { RegisterControlClass(WC_BUTTON, ControlProc<Button>, CS_DBLCLKS); }

}  // namespace skyvane::user
