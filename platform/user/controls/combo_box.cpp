// COMBOBOX as a drop-down list: the chosen entry with an arrow button; the
// list drops below it (above when the screen ends) as a popup list box.
//
// As on the platform, the height given at creation is the height with the
// list dropped; the closed box takes the height of one line. Up and Down
// change the choice in place (CBN_SELCHANGE); F4, a click or
// CB_SHOWDROPDOWN drops the list, where Enter or a click takes the entry
// (CBN_SELENDOK, CBN_SELCHANGE when it changed) and Escape or a click
// elsewhere leaves it (CBN_SELENDCANCEL); CBN_CLOSEUP follows either.
#include <algorithm>

#include "platform/base/log.h"
#include "platform/kernel/system_info.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/internal_messages.h"
#include "platform/user/controls/scroll_bar.h"
#include "platform/user/controls/system_classes.h"

namespace skyvane::user {
namespace {

class ComboBox : public Control {
public:
    ComboBox(HWND hwnd, const CREATESTRUCTW& cs) : Control(hwnd), droppedHeight_(cs.cy) {
        if ((cs.style & 3) != CBS_DROPDOWNLIST) SKYVANE_LOG("user", "combo box %p: only drop-down lists are offered", (void*)hwnd);
    }

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_CREATE:
            list_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, WC_LISTBOX, u"",
                                    WS_POPUP | WS_BORDER | WS_VSCROLL | ((Style() & CBS_SORT) ? LBS_SORT : 0), 0, 0, 10, 10,
                                    Hwnd(), nullptr, nullptr, nullptr);
            if (!list_) return -1;
            SendMessageW(list_, kLbSetDropOwner, reinterpret_cast<WPARAM>(Hwnd()), 0);
            FitClosedHeight();
            return 0;
        case WM_DESTROY:
            if (list_) DestroyWindow(list_);
            list_ = nullptr;
            return 0;
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | (dropped_ ? DLGC_WANTALLKEYS : 0);
        case WM_SETFOCUS: Redraw(); Notify(CBN_SETFOCUS); return 0;
        case WM_KILLFOCUS:
            if (dropped_) Close(false);
            Redraw();
            Notify(CBN_KILLFOCUS);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetFocus(Hwnd());
            if (dropped_) Close(false);
            else Drop();
            return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;
        case WM_MOUSEWHEEL:
            if (!dropped_) Step(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? VK_UP : VK_DOWN);
            return 0;
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH: {
            int sel = Cur();
            if (sel < 0) {
                if (msg == WM_GETTEXT && lParam && wParam) reinterpret_cast<LPWSTR>(lParam)[0] = 0;
                return 0;
            }
            int length = static_cast<int>(SendMessageW(list_, LB_GETTEXTLEN, sel, 0));
            if (msg == WM_GETTEXTLENGTH) return length;
            std::u16string text(length, u'\0');
            SendMessageW(list_, LB_GETTEXT, sel, reinterpret_cast<LPARAM>(text.data()));
            std::size_t n = std::min<std::size_t>(wParam ? wParam - 1 : 0, text.size());
            if (lParam && wParam) {
                std::copy_n(text.data(), n, reinterpret_cast<LPWSTR>(lParam));
                reinterpret_cast<LPWSTR>(lParam)[n] = 0;
            }
            return static_cast<LRESULT>(n);
        }
        case kComboListDone: Close(wParam != 0); return 0;
        case CB_ADDSTRING: return Forward(LB_ADDSTRING, wParam, lParam);
        case CB_INSERTSTRING: return Forward(LB_INSERTSTRING, wParam, lParam);
        case CB_DELETESTRING: return Changed(Forward(LB_DELETESTRING, wParam, lParam));
        case CB_RESETCONTENT: return Changed(Forward(LB_RESETCONTENT, wParam, lParam));
        case CB_GETCOUNT: return Forward(LB_GETCOUNT, wParam, lParam);
        case CB_GETCURSEL: return Forward(LB_GETCURSEL, wParam, lParam);
        case CB_SETCURSEL: return Changed(Forward(LB_SETCURSEL, wParam, lParam));
        case CB_GETLBTEXT: return Forward(LB_GETTEXT, wParam, lParam);
        case CB_GETLBTEXTLEN: return Forward(LB_GETTEXTLEN, wParam, lParam);
        case CB_FINDSTRING: return Forward(LB_FINDSTRING, wParam, lParam);
        case CB_FINDSTRINGEXACT: return Forward(LB_FINDSTRINGEXACT, wParam, lParam);
        case CB_SELECTSTRING: return Changed(Forward(LB_SELECTSTRING, wParam, lParam));
        case CB_GETITEMDATA: return Forward(LB_GETITEMDATA, wParam, lParam);
        case CB_SETITEMDATA: return Forward(LB_SETITEMDATA, wParam, lParam);
        case CB_SHOWDROPDOWN:
            if (wParam && !dropped_) Drop();
            else if (!wParam && dropped_) Close(false);
            return TRUE;
        case CB_GETDROPPEDSTATE: return dropped_;
        default: return std::nullopt;
        }
    }

    void FontChanged() override {
        if (list_) SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
        FitClosedHeight();
    }

private:
    LRESULT Forward(UINT msg, WPARAM wParam, LPARAM lParam) const { return list_ ? SendMessageW(list_, msg, wParam, lParam) : CB_ERR; }
    LRESULT Changed(LRESULT r) const {
        Redraw();
        return r;
    }
    int Cur() const { return static_cast<int>(Forward(LB_GETCURSEL, 0, 0)); }
    int Count() const { return static_cast<int>(Forward(LB_GETCOUNT, 0, 0)); }

    int LineHeight() const { return paint::LineHeight(Font()) + paint::Scaled(8); }

    void FitClosedHeight() {
        RECT r;
        GetWindowRect(Hwnd(), &r);
        int height = LineHeight();
        if (r.bottom - r.top != height) SetWindowPos(Hwnd(), nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER);
    }

    void Step(UINT vk) {
        int count = Count();
        if (count == 0) return;
        int sel = Cur();
        int target = sel;
        switch (vk) {
        case VK_UP: target = sel - 1; break;
        case VK_DOWN: target = sel + 1; break;
        case VK_HOME: target = 0; break;
        case VK_END: target = count - 1; break;
        case VK_PRIOR: target = sel - 8; break;
        case VK_NEXT: target = sel + 8; break;
        default: return;
        }
        target = std::clamp(target, 0, count - 1);
        if (target == sel) return;
        Forward(LB_SETCURSEL, target, 0);
        Redraw();
        Notify(CBN_SELCHANGE);
    }

    void Key(UINT vk) {
        if (vk == VK_F4) {
            if (dropped_) Close(true);
            else Drop();
            return;
        }
        if (!dropped_) {
            Step(vk);
            return;
        }
        if (vk == VK_RETURN) Close(true);
        else if (vk == VK_ESCAPE) Close(false);
        else SendMessageW(list_, kLbKey, vk, 0);
    }

    void Drop() {
        if (dropped_ || !list_) return;
        Notify(CBN_DROPDOWN);
        committed_ = Cur();
        RECT r;
        GetWindowRect(Hwnd(), &r);
        int rowHeight = static_cast<int>(Forward(LB_GETITEMHEIGHT, 0, 0));
        int rows = std::clamp(Count(), 1, 8);
        int wanted = std::max(droppedHeight_ - (r.bottom - r.top), rowHeight);
        int height = std::min(wanted, rows * rowHeight) + 2;
        if (height < rowHeight + 2) height = rowHeight + 2;
        int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        int y = r.bottom;
        if (y + height > screenHeight && r.top - height >= 0) y = r.top - height;
        SetWindowPos(list_, HWND_TOPMOST, r.left, y, r.right - r.left, height, SWP_NOACTIVATE);
        if (committed_ >= 0) Forward(LB_SETTOPINDEX, std::max(0, committed_ - rows + 1), 0);
        ShowWindow(list_, SW_SHOWNA);
        SetCapture(list_);
        dropped_ = true;
        Redraw();
    }

    void Close(bool accept) {
        if (!dropped_) return;
        dropped_ = false;
        if (GetCapture() == list_) ReleaseCapture();
        ShowWindow(list_, SW_HIDE);
        int sel = Cur();
        if (accept) {
            Notify(CBN_SELENDOK);
            if (sel != committed_) Notify(CBN_SELCHANGE);
        } else {
            Forward(LB_SETCURSEL, committed_, 0);
            Notify(CBN_SELENDCANCEL);
        }
        Notify(CBN_CLOSEUP);
        Redraw();
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        COLORREF textColour = PaintField(dc);
        int button = VScrollBar::Width() + paint::Scaled(3);
        RECT arrow{c.right - button, 1, c.right - 1, c.bottom - 1};
        paint::Fill(dc, arrow, GetSysColor(COLOR_BTNFACE));
        paint::Arrow(dc, arrow, paint::Direction::Down, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        RECT text{2, 2, arrow.left - 1, c.bottom - 2};
        bool highlight = Focused() && !dropped_;
        if (highlight) paint::Fill(dc, text, GetSysColor(COLOR_HIGHLIGHT));
        WCHAR buffer[512];
        SendMessageW(Hwnd(), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
        RECT inner{text.left + paint::Scaled(2), text.top, text.right - 1, text.bottom};
        paint::Text(dc, Font(), highlight ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColour, buffer, inner,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        EndPaint(Hwnd(), &ps);
    }

    HWND list_ = nullptr;
    int droppedHeight_;
    bool dropped_ = false;
    int committed_ = -1;
};

}  // namespace

void RegisterComboBoxClass() { RegisterControlClass(WC_COMBOBOX, ControlProc<ComboBox>, CS_DBLCLKS); }

}  // namespace skyvane::user
