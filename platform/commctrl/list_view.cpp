// SysListView32 in report view: rows of columns, or with LVS_OWNERDATA only
// a row count whose texts the parent gives (LVN_GETDISPINFOW) or draws itself
// (LVS_OWNERDRAWFIXED, WM_DRAWITEM with CtlType ODT_LISTVIEW).
//
// Selection and focus are kept apart from the rows, so an owner-data list of
// any length costs only its count. The arrows, Page Up and Down, Home and End
// move the focus and (with LVS_SINGLESEL) the selection; each key first goes
// to the parent as LVN_KEYDOWN. A click selects (LVN_ITEMCHANGED), then
// NM_CLICK follows on release; Enter sends NM_RETURN.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/common_classes.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/scroll_bar.h"

namespace skyvane::commctrl {
namespace {

using user::Control;
using user::VScrollBar;
namespace paint = user::paint;

class ListView : public Control {
public:
    ListView(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {}

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_CREATE: Measure(); return 0;
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SIZE: ScrollTo(top_); return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETFOCUS: {
            Redraw();
            NMHDR h{};
            NotifyParent(h, NM_SETFOCUS);
            return 0;
        }
        case WM_KILLFOCUS: {
            Redraw();
            NMHDR h{};
            NotifyParent(h, NM_KILLFOCUS);
            return 0;
        }
        case WM_LBUTTONDOWN: MouseDown(lParam, false); return 0;
        case WM_LBUTTONDBLCLK: MouseDown(lParam, true); return 0;
        case WM_MOUSEMOVE:
            if (thumbGrab_ >= 0) ScrollTo(Bar().FirstForThumbTop(GET_Y_LPARAM(lParam) - thumbGrab_));
            return 0;
        case WM_LBUTTONUP: MouseUp(lParam); return 0;
        case WM_MOUSEWHEEL: ScrollTo(top_ + user::WheelRows(wheel_, wParam)); return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;

        case LVM_GETITEMCOUNT: return count_;
        case LVM_SETITEMCOUNT: SetCount(static_cast<int>(wParam)); return TRUE;
        case LVM_INSERTITEMW: return InsertItem(reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_DELETEITEM: return DeleteItem(static_cast<int>(wParam));
        case LVM_DELETEALLITEMS: {
            NMLISTVIEW nm{};
            nm.iItem = -1;
            NotifyParent(nm.hdr, LVN_DELETEALLITEMS);
            rows_.clear();
            SetCount(0);
            top_ = 0;
            return TRUE;
        }
        case LVM_SETITEMW: return SetItem(reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMW: return GetItem(reinterpret_cast<LVITEMW*>(lParam));
        case LVM_SETITEMTEXTW: {
            auto* item = reinterpret_cast<const LVITEMW*>(lParam);
            if (!item || !Stored(static_cast<int>(wParam))) return FALSE;
            SetText(static_cast<int>(wParam), item->iSubItem, item->pszText);
            return TRUE;
        }
        case LVM_GETITEMTEXTW: {
            auto* item = reinterpret_cast<LVITEMW*>(lParam);
            if (!item) return 0;
            return CopyText(Text(static_cast<int>(wParam), item->iSubItem), item->pszText, item->cchTextMax);
        }
        case LVM_SETITEMSTATE: {
            auto* item = reinterpret_cast<const LVITEMW*>(lParam);
            if (!item) return FALSE;
            int i = static_cast<int>(static_cast<LONG>(wParam));
            if (i == -1) {
                SetStateAll(item->state, item->stateMask);
            } else {
                if (!Valid(i)) return FALSE;
                SetState(i, item->state, item->stateMask);
            }
            return TRUE;
        }
        case LVM_GETITEMSTATE: return Valid(static_cast<int>(wParam)) ? State(static_cast<int>(wParam)) & static_cast<UINT>(lParam) : 0;
        case LVM_GETNEXTITEM: return NextItem(static_cast<int>(static_cast<LONG>(wParam)), static_cast<UINT>(lParam));
        case LVM_GETSELECTEDCOUNT: return static_cast<LRESULT>(selected_.size());
        case LVM_ENSUREVISIBLE: EnsureVisible(static_cast<int>(wParam)); return TRUE;
        case LVM_GETTOPINDEX: return top_;
        case LVM_GETCOUNTPERPAGE: return PerPage();
        case LVM_SCROLL: ScrollTo(top_ + static_cast<int>(lParam) / rowHeight_); return TRUE;
        case LVM_REDRAWITEMS: {
            int first = std::max(0, static_cast<int>(wParam)), last = std::min(count_ - 1, static_cast<int>(lParam));
            for (int i = first; i <= last; ++i) RedrawRow(i);
            return TRUE;
        }
        case LVM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            if (!r || !Valid(static_cast<int>(wParam))) return FALSE;
            *r = RowRect(static_cast<int>(wParam));
            return TRUE;
        }
        case LVM_HITTEST: {
            auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
            if (!info) return -1;
            info->iItem = RowAt(info->pt);
            info->iSubItem = 0;
            info->flags = info->iItem >= 0 ? LVHT_ONITEM : LVHT_NOWHERE;
            return info->iItem;
        }
        case LVM_INSERTCOLUMNW: return InsertColumn(static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
        case LVM_SETCOLUMNW: {
            auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
            int i = static_cast<int>(wParam);
            if (!c || i < 0 || i >= static_cast<int>(columns_.size())) return FALSE;
            if (c->mask & LVCF_WIDTH) columns_[i].width = c->cx;
            if ((c->mask & LVCF_TEXT) && c->pszText) columns_[i].title = c->pszText;
            if (c->mask & LVCF_FMT) columns_[i].format = c->fmt;
            Redraw();
            return TRUE;
        }
        case LVM_DELETECOLUMN: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= static_cast<int>(columns_.size())) return FALSE;
            columns_.erase(columns_.begin() + i);
            Redraw();
            return TRUE;
        }
        case LVM_SETCOLUMNWIDTH: {
            int i = static_cast<int>(wParam);
            if (i < 0 || i >= static_cast<int>(columns_.size())) return FALSE;
            int cx = static_cast<int>(static_cast<short>(LOWORD(lParam)));
            if (cx == LVSCW_AUTOSIZE_USEHEADER) cx = std::max(0, RowsRight() - ColumnLeft(i));
            columns_[i].width = std::max(0, cx);
            Redraw();
            return TRUE;
        }
        case LVM_GETCOLUMNWIDTH: {
            int i = static_cast<int>(wParam);
            return i >= 0 && i < static_cast<int>(columns_.size()) ? columns_[i].width : 0;
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD old = exStyle_;
            DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            exStyle_ = (exStyle_ & ~mask) | (static_cast<DWORD>(lParam) & mask);
            Redraw();
            return old;
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE: return exStyle_;
        case LVM_SETBKCOLOR: background_ = static_cast<COLORREF>(lParam); Redraw(); return TRUE;
        case LVM_GETBKCOLOR: return background_;
        case LVM_SETTEXTCOLOR: textColour_ = static_cast<COLORREF>(lParam); Redraw(); return TRUE;
        case LVM_SETTEXTBKCOLOR: return TRUE;
        default: return std::nullopt;
        }
    }

    void FontChanged() override { Measure(); }

private:
    struct Column {
        std::u16string title;
        int width = 60;
        int format = LVCFMT_LEFT;
    };
    struct Row {
        std::vector<std::u16string> texts;
        LPARAM param = 0;
    };

    bool OwnerData() const { return (Style() & LVS_OWNERDATA) != 0; }
    bool OwnerDraw() const { return (Style() & LVS_OWNERDRAWFIXED) != 0; }
    bool Valid(int i) const { return i >= 0 && i < count_; }
    bool Stored(int i) const { return !OwnerData() && i >= 0 && i < static_cast<int>(rows_.size()); }
    int HeaderHeight() const { return (Style() & LVS_NOCOLUMNHEADER) ? 0 : rowHeight_ + 2; }
    int PerPage() const { return std::max(1, (Client().bottom - HeaderHeight()) / rowHeight_); }
    bool HasBar() const { return !(Style() & LVS_NOSCROLL) && count_ > PerPage(); }
    int RowsRight() const { return Client().right - (HasBar() ? VScrollBar::Width() : 0); }
    RECT BarRect() const {
        RECT c = Client();
        return RECT{c.right - VScrollBar::Width(), HeaderHeight(), c.right, c.bottom};
    }
    VScrollBar Bar() const { return VScrollBar(BarRect(), top_, PerPage(), count_); }
    int ColumnLeft(int i) const {
        int x = 0;
        for (int k = 0; k < i && k < static_cast<int>(columns_.size()); ++k) x += columns_[k].width;
        return x;
    }
    RECT RowRect(int i) const {
        int y = HeaderHeight() + (i - top_) * rowHeight_;
        return RECT{0, y, RowsRight(), y + rowHeight_};
    }
    int RowAt(POINT p) const {
        if (p.y < HeaderHeight() || p.x >= RowsRight() || p.x < 0) return -1;
        int i = top_ + (p.y - HeaderHeight()) / rowHeight_;
        return Valid(i) ? i : -1;
    }
    UINT State(int i) const {
        return (selected_.count(i) ? LVIS_SELECTED : 0) | (i == focus_ ? LVIS_FOCUSED : 0);
    }

    void Measure() { rowHeight_ = ItemHeight(OwnerDraw(), ODT_LISTVIEW); }

    void RedrawRow(int i) {
        RECT r = RowRect(i);
        InvalidateRect(Hwnd(), &r, TRUE);
    }

    void ScrollTo(int top) {
        int old = top_;
        top_ = std::clamp(top, 0, std::max(0, count_ - PerPage()));
        if (top_ != old) Redraw();
    }

    void EnsureVisible(int i) {
        if (!Valid(i)) return;
        if (i < top_) ScrollTo(i);
        else if (i >= top_ + PerPage()) ScrollTo(i - PerPage() + 1);
    }

    // The scroll position stays where it was (LVSICF_NOSCROLL is how the
    // platform is asked for that; here it is always so).
    void SetCount(int count) {
        count_ = std::max(0, count);
        for (auto it = selected_.lower_bound(count_); it != selected_.end();) it = selected_.erase(it);
        if (focus_ >= count_) focus_ = -1;
        top_ = std::clamp(top_, 0, std::max(0, count_ - PerPage()));
        Redraw();
    }

    // Changes one row's state and tells the parent.
    void SetState(int i, UINT state, UINT mask) {
        UINT old = State(i);
        UINT now = (old & ~mask) | (state & mask);
        if ((mask & LVIS_SELECTED) && (now & LVIS_SELECTED) && (Style() & LVS_SINGLESEL)) {
            // One selection: the others lose theirs first.
            std::vector<int> others(selected_.begin(), selected_.end());
            for (int k : others)
                if (k != i) SetState(k, 0, LVIS_SELECTED);
        }
        if (mask & LVIS_SELECTED) {
            if (now & LVIS_SELECTED) selected_.insert(i);
            else selected_.erase(i);
        }
        if (mask & LVIS_FOCUSED) {
            if (now & LVIS_FOCUSED) {
                if (focus_ >= 0 && focus_ != i) RedrawRow(focus_);
                focus_ = i;
            } else if (focus_ == i) {
                focus_ = -1;
            }
        }
        if (old == now) return;
        RedrawRow(i);
        NMLISTVIEW nm{};
        nm.iItem = i;
        nm.uNewState = now;
        nm.uOldState = old;
        nm.uChanged = LVIF_STATE;
        nm.lParam = Stored(i) ? rows_[i].param : 0;
        NotifyParent(nm.hdr, LVN_ITEMCHANGED);
    }

    // Every row at once: one notification for item -1, as the platform sends.
    void SetStateAll(UINT state, UINT mask) {
        bool changed = false;
        if (mask & LVIS_SELECTED) {
            if (state & LVIS_SELECTED) {
                if (!(Style() & LVS_SINGLESEL))
                    for (int i = 0; i < count_; ++i) changed |= selected_.insert(i).second;
            } else {
                changed = !selected_.empty();
                selected_.clear();
            }
        }
        if ((mask & LVIS_FOCUSED) && !(state & LVIS_FOCUSED) && focus_ >= 0) {
            focus_ = -1;
            changed = true;
        }
        if (!changed) return;
        Redraw();
        NMLISTVIEW nm{};
        nm.iItem = -1;
        nm.uNewState = state & mask;
        nm.uChanged = LVIF_STATE;
        NotifyParent(nm.hdr, LVN_ITEMCHANGED);
    }

    int NextItem(int start, UINT flags) const {
        if (flags & LVNI_BELOW) return Valid(start + 1) ? start + 1 : -1;
        if (flags & LVNI_ABOVE) return Valid(start - 1) ? start - 1 : -1;
        if (flags & LVNI_FOCUSED) return focus_ > start && (!(flags & LVNI_SELECTED) || selected_.count(focus_)) ? focus_ : -1;
        if (flags & LVNI_SELECTED) {
            auto it = selected_.upper_bound(start);
            return it == selected_.end() ? -1 : *it;
        }
        return Valid(start + 1) ? start + 1 : -1;
    }

    // A user moves to a row: focus there, selected alone, scrolled into view.
    void MoveTo(int i) {
        if (!Valid(i)) return;
        std::vector<int> others(selected_.begin(), selected_.end());
        for (int k : others)
            if (k != i) SetState(k, 0, LVIS_SELECTED);
        SetState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EnsureVisible(i);
    }

    void Key(UINT vk) {
        NMLVKEYDOWN kd{};
        kd.wVKey = static_cast<WORD>(vk);
        NotifyParent(kd.hdr, LVN_KEYDOWN);
        if (!IsWindow(Hwnd()) || count_ == 0) return;
        int from = focus_ >= 0 ? focus_ : -1;
        int page = std::max(1, PerPage() - 1);
        switch (vk) {
        case VK_UP: MoveTo(from < 0 ? 0 : std::max(0, from - 1)); break;
        case VK_DOWN: MoveTo(from < 0 ? 0 : std::min(count_ - 1, from + 1)); break;
        case VK_PRIOR: MoveTo(std::max(0, from - page)); break;
        case VK_NEXT: MoveTo(std::min(count_ - 1, std::max(0, from) + page)); break;
        case VK_HOME: MoveTo(0); break;
        case VK_END: MoveTo(count_ - 1); break;
        case VK_RETURN: {
            NMHDR h{};
            NotifyParent(h, NM_RETURN);
            break;
        }
        default: break;
        }
    }

    void MouseDown(LPARAM lParam, bool twice) {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (HasBar()) {
            if (auto rows = Bar().Press(p, PerPage(), Hwnd(), thumbGrab_)) {
                ScrollTo(top_ + *rows);
                return;
            }
        }
        SetFocus(Hwnd());
        int row = RowAt(p);
        if (row >= 0) MoveTo(row);
        pressedRow_ = row;
        if (twice && row >= 0) {
            NMITEMACTIVATE nm{};
            nm.iItem = row;
            nm.ptAction = p;
            NotifyParent(nm.hdr, NM_DBLCLK);
            NotifyParent(nm.hdr, LVN_ITEMACTIVATE);
            pressedRow_ = -2;
        }
    }

    void MouseUp(LPARAM lParam) {
        if (thumbGrab_ >= 0) {
            thumbGrab_ = -1;
            ReleaseCapture();
            return;
        }
        if (pressedRow_ == -2) return;
        NMITEMACTIVATE nm{};
        nm.iItem = pressedRow_;
        nm.ptAction = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        pressedRow_ = -2;
        NotifyParent(nm.hdr, NM_CLICK);
    }

    int InsertItem(const LVITEMW* item) {
        if (!item) return -1;
        if (OwnerData()) return -1;  // an owner-data list has only a count
        int at = std::clamp(item->iItem, 0, static_cast<int>(rows_.size()));
        Row row;
        if ((item->mask & LVIF_TEXT) && item->pszText) row.texts.push_back(item->pszText);
        if (item->mask & LVIF_PARAM) row.param = item->lParam;
        rows_.insert(rows_.begin() + at, std::move(row));
        ShiftStates(at, +1);
        count_ = static_cast<int>(rows_.size());
        if (item->mask & LVIF_STATE) SetState(at, item->state, item->stateMask);
        Redraw();
        return at;
    }

    LRESULT DeleteItem(int i) {
        if (!Valid(i)) return FALSE;
        if (Stored(i)) rows_.erase(rows_.begin() + i);
        selected_.erase(i);
        if (focus_ == i) focus_ = -1;
        ShiftStates(i + 1, -1);
        count_ = OwnerData() ? count_ - 1 : static_cast<int>(rows_.size());
        ScrollTo(top_);
        Redraw();
        return TRUE;
    }

    // Moves the states of rows from `from` on by delta, after an insertion or removal.
    void ShiftStates(int from, int delta) {
        std::set<int> moved;
        for (int k : selected_) moved.insert(k >= from ? k + delta : k);
        selected_ = std::move(moved);
        if (focus_ >= from) focus_ += delta;
    }

    LRESULT SetItem(const LVITEMW* item) {
        if (!item || !Valid(item->iItem)) return FALSE;
        if ((item->mask & LVIF_TEXT) && Stored(item->iItem)) SetText(item->iItem, item->iSubItem, item->pszText);
        if ((item->mask & LVIF_PARAM) && Stored(item->iItem)) rows_[item->iItem].param = item->lParam;
        if (item->mask & LVIF_STATE) SetState(item->iItem, item->state, item->stateMask);
        return TRUE;
    }

    LRESULT GetItem(LVITEMW* item) const {
        if (!item || !Valid(item->iItem)) return FALSE;
        if (item->mask & LVIF_TEXT) CopyText(Text(item->iItem, item->iSubItem), item->pszText, item->cchTextMax);
        if (item->mask & LVIF_PARAM) item->lParam = Stored(item->iItem) ? rows_[item->iItem].param : 0;
        if (item->mask & LVIF_STATE) item->state = State(item->iItem) & item->stateMask;
        return TRUE;
    }

    void SetText(int i, int sub, LPCWSTR text) {
        if (!Stored(i) || sub < 0) return;
        auto& texts = rows_[i].texts;
        if (static_cast<int>(texts.size()) <= sub) texts.resize(sub + 1);
        texts[sub] = text ? text : u"";
        RedrawRow(i);
    }

    // A row's text: stored, or asked of the parent for owner data.
    std::u16string Text(int i, int sub) const {
        if (Stored(i)) return sub >= 0 && sub < static_cast<int>(rows_[i].texts.size()) ? rows_[i].texts[sub] : u"";
        if (!Valid(i)) return u"";
        WCHAR buffer[260] = {0};
        NMLVDISPINFOW info{};
        info.item.mask = LVIF_TEXT;
        info.item.iItem = i;
        info.item.iSubItem = sub;
        info.item.pszText = buffer;
        info.item.cchTextMax = 260;
        NotifyParent(info.hdr, LVN_GETDISPINFOW);
        return info.item.pszText ? std::u16string(info.item.pszText) : u"";
    }

    static int CopyText(const std::u16string& text, LPWSTR out, int max) {
        if (!out || max <= 0) return 0;
        int n = std::min<int>(max - 1, static_cast<int>(text.size()));
        std::copy_n(text.data(), n, out);
        out[n] = 0;
        return n;
    }

    int InsertColumn(int at, const LVCOLUMNW* c) {
        if (!c) return -1;
        Column column;
        if (c->mask & LVCF_WIDTH) column.width = c->cx;
        if ((c->mask & LVCF_TEXT) && c->pszText) column.title = c->pszText;
        if (c->mask & LVCF_FMT) column.format = c->fmt;
        at = std::clamp(at, 0, static_cast<int>(columns_.size()));
        columns_.insert(columns_.begin() + at, std::move(column));
        Redraw();
        return at;
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        COLORREF background = background_ == CLR_INVALID ? GetSysColor(COLOR_WINDOW) : background_;
        paint::Fill(dc, c, background);
        if (HeaderHeight() > 0) PaintHeader(dc);
        bool focused = Focused();
        for (int i = top_; i < count_ && i <= top_ + PerPage(); ++i) {
            RECT r = RowRect(i);
            if (r.top >= c.bottom) break;
            bool selected = selected_.count(i) != 0;
            if (OwnerDraw()) {
                UINT state = (selected ? ODS_SELECTED : 0) | (focused && i == focus_ ? ODS_FOCUS : 0);
                DRAWITEMSTRUCT dis{ODT_LISTVIEW, static_cast<UINT>(Id()), static_cast<UINT>(i), ODA_DRAWENTIRE, state, Hwnd(),
                                   dc, r, static_cast<ULONG_PTR>(Stored(i) ? rows_[i].param : 0)};
                SaveDC(dc);
                IntersectClipRect(dc, r.left, std::max<LONG>(r.top, HeaderHeight()), r.right, r.bottom);
                SendMessageW(Parent(), WM_DRAWITEM, Id(), reinterpret_cast<LPARAM>(&dis));
                RestoreDC(dc, -1);
                continue;
            }
            bool showSelection = selected && (focused || (Style() & LVS_SHOWSELALWAYS));
            COLORREF fill = !showSelection ? background : focused ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
            if (showSelection) paint::Fill(dc, r, fill);
            COLORREF ink = showSelection && focused ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                           : textColour_ == CLR_INVALID ? GetSysColor(COLOR_WINDOWTEXT) : textColour_;
            int columns = std::max(1, static_cast<int>(columns_.size()));
            for (int k = 0; k < columns; ++k) {
                int left = ColumnLeft(k), width = columns_.empty() ? r.right : columns_[k].width;
                RECT t{left + paint::Scaled(3), r.top, std::min<LONG>(left + width, r.right) - paint::Scaled(2), r.bottom};
                UINT align = columns_.empty() ? 0 : columns_[k].format == LVCFMT_RIGHT ? DT_RIGHT : columns_[k].format == LVCFMT_CENTER ? DT_CENTER : 0;
                std::u16string text = Text(i, k);
                paint::Text(dc, Font(), ink, text.c_str(), t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | align);
            }
            if (focused && i == focus_) DrawFocusRect(dc, &r);
        }
        if (HasBar()) Bar().Draw(dc);
        EndPaint(Hwnd(), &ps);
    }

    void PaintHeader(HDC dc) {
        RECT header{0, 0, Client().right, HeaderHeight()};
        paint::Fill(dc, header, GetSysColor(COLOR_BTNFACE));
        RECT line{0, header.bottom - 1, header.right, header.bottom};
        paint::Fill(dc, line, GetSysColor(COLOR_BTNSHADOW));
        for (int k = 0; k < static_cast<int>(columns_.size()); ++k) {
            int left = ColumnLeft(k);
            RECT t{left + paint::Scaled(3), 0, left + columns_[k].width - 1, header.bottom - 1};
            paint::Text(dc, Font(), GetSysColor(COLOR_BTNTEXT), columns_[k].title.c_str(), t,
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            RECT divider{left + columns_[k].width - 1, 2, left + columns_[k].width, header.bottom - 3};
            paint::Fill(dc, divider, GetSysColor(COLOR_BTNSHADOW));
        }
    }

    std::vector<Column> columns_;
    std::vector<Row> rows_;  // empty for owner data
    int count_ = 0;
    std::set<int> selected_;
    int focus_ = -1, top_ = 0, rowHeight_ = 16;
    int wheel_ = 0, thumbGrab_ = -1, pressedRow_ = -2;
    DWORD exStyle_ = 0;
    COLORREF background_ = CLR_INVALID, textColour_ = CLR_INVALID;
};

}  // namespace

void RegisterListViewClass() { user::RegisterControlClass(WC_LISTVIEW, user::ControlProc<ListView>, CS_DBLCLKS); }

}  // namespace skyvane::commctrl
