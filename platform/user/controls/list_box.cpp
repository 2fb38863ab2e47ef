// LISTBOX with one selection: rows of text (or owner-drawn rows), arrows,
// Page Up and Down, Home and End, the wheel and a scroll bar; also the
// drop-down list of a combo box.
#include <algorithm>
#include <vector>

#include "platform/base/wide_string.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/internal_messages.h"
#include "platform/user/controls/scroll_bar.h"
#include "platform/user/controls/system_classes.h"

namespace skyvane::user {
namespace {

class ListBox : public Control {
public:
    ListBox(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_CREATE: Measure(); return 0;
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SIZE: Scroll(top_); return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS: Redraw(); NotifyIf(LBN_SETFOCUS); return 0;
        case WM_KILLFOCUS: Redraw(); NotifyIf(LBN_KILLFOCUS); return 0;
        case WM_LBUTTONDOWN: MouseDown(lParam); return 0;
        case WM_LBUTTONDBLCLK:
            MouseDown(lParam);
            NotifyIf(LBN_DBLCLK);
            return 0;
        case WM_MOUSEMOVE: MouseMove(lParam); return 0;
        case WM_LBUTTONUP: MouseUp(lParam); return 0;
        case WM_MOUSEWHEEL: Scroll(top_ + WheelRows(wheel_, wParam)); return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;
        case kLbSetDropOwner: dropOwner_ = reinterpret_cast<HWND>(wParam); return 0;
        case kLbKey: Key(static_cast<UINT>(wParam)); return 0;
        case LB_ADDSTRING:
        case LB_INSERTSTRING: return Insert(msg == LB_ADDSTRING ? -1 : static_cast<int>(wParam), reinterpret_cast<LPCWSTR>(lParam));
        case LB_DELETESTRING: {
            int i = static_cast<int>(wParam);
            if (!Valid(i)) return LB_ERR;
            items_.erase(items_.begin() + i);
            if (sel_ == i) sel_ = -1;
            else if (sel_ > i) --sel_;
            Scroll(top_);
            Redraw();
            return static_cast<LRESULT>(items_.size());
        }
        case LB_RESETCONTENT:
            items_.clear();
            sel_ = -1;
            top_ = 0;
            Redraw();
            return 0;
        case LB_GETCOUNT: return static_cast<LRESULT>(items_.size());
        case LB_GETCURSEL: return sel_;
        case LB_SETCURSEL: {
            int i = static_cast<int>(wParam);
            Select(Valid(i) ? i : -1);
            return Valid(i) ? i : LB_ERR;
        }
        case LB_GETSEL: return Valid(static_cast<int>(wParam)) ? static_cast<int>(wParam) == sel_ : LB_ERR;
        case LB_GETTEXT: {
            int i = static_cast<int>(wParam);
            if (!Valid(i) || !lParam) return LB_ERR;
            const std::u16string& t = items_[i].text;
            std::copy(t.begin(), t.end(), reinterpret_cast<LPWSTR>(lParam));
            reinterpret_cast<LPWSTR>(lParam)[t.size()] = 0;
            return static_cast<LRESULT>(t.size());
        }
        case LB_GETTEXTLEN: return Valid(static_cast<int>(wParam)) ? static_cast<LRESULT>(items_[wParam].text.size()) : LB_ERR;
        case LB_GETITEMDATA: return Valid(static_cast<int>(wParam)) ? static_cast<LRESULT>(items_[wParam].data) : LB_ERR;
        case LB_SETITEMDATA:
            if (!Valid(static_cast<int>(wParam))) return LB_ERR;
            items_[wParam].data = static_cast<ULONG_PTR>(lParam);
            return 0;
        case LB_FINDSTRING:
        case LB_FINDSTRINGEXACT:
        case LB_SELECTSTRING: {
            int found = Find(static_cast<int>(static_cast<LONG>(wParam)), reinterpret_cast<LPCWSTR>(lParam), msg == LB_FINDSTRINGEXACT);
            if (msg == LB_SELECTSTRING && found >= 0) Select(found);
            return found;
        }
        case LB_GETTOPINDEX: return top_;
        case LB_SETTOPINDEX: Scroll(static_cast<int>(wParam)); return 0;
        case LB_GETITEMHEIGHT: return itemHeight_;
        case LB_SETITEMHEIGHT:
            itemHeight_ = std::max(1, static_cast<int>(LOWORD(lParam)));
            Redraw();
            return 0;
        case LB_GETITEMRECT: {
            int i = static_cast<int>(wParam);
            if (!Valid(i) || !lParam) return LB_ERR;
            *reinterpret_cast<RECT*>(lParam) = RowRect(i);
            return 0;
        }
        default: return std::nullopt;
        }
    }

private:
    struct Item {
        std::u16string text;
        ULONG_PTR data = 0;
    };

    bool Valid(int i) const { return i >= 0 && i < static_cast<int>(items_.size()); }
    int Count() const { return static_cast<int>(items_.size()); }
    int Visible() const { return std::max(1, static_cast<int>(Client().bottom / itemHeight_)); }
    bool HasBar() const { return (Style() & WS_VSCROLL) && Count() > Visible(); }
    RECT BarRect() const {
        RECT c = Client();
        return RECT{c.right - VScrollBar::Width(), 0, c.right, c.bottom};
    }
    VScrollBar Bar() const { return VScrollBar(BarRect(), top_, Visible(), Count()); }
    RECT RowRect(int i) const {
        RECT c = Client();
        int right = HasBar() ? c.right - VScrollBar::Width() : c.right;
        int y = (i - top_) * itemHeight_;
        return RECT{0, y, right, y + itemHeight_};
    }

    void FontChanged() override { Measure(); }

    void NotifyIf(WORD code) const {
        if (dropOwner_) return;
        if ((Style() & LBS_NOTIFY) || code == LBN_SETFOCUS || code == LBN_KILLFOCUS) Notify(code);
    }

    void Measure() { itemHeight_ = ItemHeight((Style() & LBS_OWNERDRAWFIXED) != 0, ODT_LISTBOX); }

    int Insert(int at, LPCWSTR text) {
        Item item{text ? std::u16string(text) : std::u16string(), 0};
        if (at < 0 || at > Count()) at = Count();
        if (Style() & LBS_SORT)
            at = static_cast<int>(std::upper_bound(items_.begin(), items_.end(), item, [](const Item& a, const Item& b) {
                                      return CompareNoCase(a.text, b.text) < 0;
                                  }) - items_.begin());
        items_.insert(items_.begin() + at, std::move(item));
        if (sel_ >= at) ++sel_;
        Redraw();
        return at;
    }

    int Find(int after, LPCWSTR text, bool exact) const {
        if (!text) return LB_ERR;
        std::u16string_view wanted(text);
        for (int n = 0; n < Count(); ++n) {
            int i = (after + 1 + n) % Count();
            const std::u16string& t = items_[i].text;
            bool match = exact ? EqualsNoCase(t, wanted)
                               : t.size() >= wanted.size() && EqualsNoCase(std::u16string_view(t).substr(0, wanted.size()), wanted);
            if (match) return i;
        }
        return LB_ERR;
    }

    void Scroll(int top) {
        int old = top_;
        top_ = std::clamp(top, 0, std::max(0, Count() - Visible()));
        if (top_ != old) Redraw();
    }

    void EnsureVisible(int i) {
        if (i < top_) Scroll(i);
        else if (i >= top_ + Visible()) Scroll(i - Visible() + 1);
    }

    void Select(int i) {
        if (sel_ == i) return;
        sel_ = i;
        if (Valid(i)) EnsureVisible(i);
        Redraw();
    }

    // A user's choice of row: selects it and tells the parent.
    void Choose(int i) {
        if (!Valid(i) || i == sel_) return;
        Select(i);
        NotifyIf(LBN_SELCHANGE);
    }

    void Key(UINT vk) {
        if (items_.empty()) return;
        int page = std::max(1, Visible() - 1);
        int target = sel_;
        switch (vk) {
        case VK_UP: target = sel_ < 0 ? 0 : sel_ - 1; break;
        case VK_DOWN: target = sel_ < 0 ? 0 : sel_ + 1; break;
        case VK_PRIOR: target = sel_ - page; break;
        case VK_NEXT: target = sel_ + page; break;
        case VK_HOME: target = 0; break;
        case VK_END: target = Count() - 1; break;
        default: return;
        }
        Choose(std::clamp(target, 0, Count() - 1));
    }

    int RowAt(int y) const { return y < 0 ? -1 : top_ + y / itemHeight_; }

    void MouseDown(LPARAM lParam) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT c = Client();
        if (dropOwner_ && !PtInRect(&c, p)) {
            SendMessageW(dropOwner_, kComboListDone, FALSE, 0);  // a click outside the list closes it
            return;
        }
        if (HasBar()) {
            if (auto rows = Bar().Press(p, Visible(), Hwnd(), thumbGrab_)) {
                Scroll(top_ + *rows);
                return;
            }
        }
        if (!dropOwner_) SetFocus(Hwnd());
        SetCapture(Hwnd());
        tracking_ = true;
        int row = RowAt(p.y);
        if (Valid(row)) Choose(row);
    }

    void MouseMove(LPARAM lParam) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (thumbGrab_ >= 0) {
            Scroll(Bar().FirstForThumbTop(p.y - thumbGrab_));
            return;
        }
        if (tracking_ || dropOwner_) {
            int row = RowAt(std::clamp<int>(p.y, 0, Client().bottom - 1));
            RECT rowRect = Valid(row) ? RowRect(row) : RECT{0, 0, 0, 0};
            if (Valid(row) && (tracking_ || PtInRect(&rowRect, p))) Choose(row);
        }
    }

    void MouseUp(LPARAM lParam) {
        bool wasTracking = tracking_;
        tracking_ = false;
        thumbGrab_ = -1;
        if (GetCapture() == Hwnd() && !dropOwner_) ReleaseCapture();
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT c = Client();
        if (dropOwner_ && wasTracking && PtInRect(&c, p)) SendMessageW(dropOwner_, kComboListDone, TRUE, 0);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        HBRUSH brush = ParentColours(WM_CTLCOLORLISTBOX, dc);
        COLORREF textColour = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        if (brush) FillRect(dc, &c, brush);
        for (int i = top_; i < Count() && i < top_ + Visible() + 1; ++i) {
            RECT r = RowRect(i);
            bool selected = i == sel_;
            if (Style() & LBS_OWNERDRAWFIXED) {
                DRAWITEMSTRUCT dis{ODT_LISTBOX, static_cast<UINT>(Id()), static_cast<UINT>(i), ODA_DRAWENTIRE,
                                   static_cast<UINT>((selected ? ODS_SELECTED : 0) | (selected && Focused() ? ODS_FOCUS : 0)),
                                   Hwnd(), dc, r, items_[i].data};
                SendMessageW(Parent(), WM_DRAWITEM, Id(), reinterpret_cast<LPARAM>(&dis));
                continue;
            }
            if (selected) paint::Fill(dc, r, GetSysColor(COLOR_HIGHLIGHT));
            RECT t{r.left + paint::Scaled(3), r.top, r.right - paint::Scaled(2), r.bottom};
            paint::Text(dc, Font(), selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColour, items_[i].text.c_str(), t,
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            if (selected && Focused() && !dropOwner_) DrawFocusRect(dc, &r);
        }
        if (HasBar()) Bar().Draw(dc);
        EndPaint(Hwnd(), &ps);
    }

    std::vector<Item> items_;
    int sel_ = -1, top_ = 0, itemHeight_ = 16;
    int wheel_ = 0, thumbGrab_ = -1;
    bool tracking_ = false;
    HWND dropOwner_ = nullptr;
};

}  // namespace

void RegisterListBoxClass() { RegisterControlClass(WC_LISTBOX, ControlProc<ListBox>, CS_DBLCLKS); }

}  // namespace skyvane::user
