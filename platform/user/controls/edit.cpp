// EDIT, single line: typing, the caret and a selection, moved with the
// arrows, Home and End (Shift extends), the mouse, and EM_SETSEL; the text
// scrolls sideways to keep the caret in view.
//
// Every change of the text, by the user or by WM_SETTEXT, sends EN_CHANGE.
// ES_NUMBER takes digits only; ES_READONLY takes no typing; ES_PASSWORD
// shows asterisks; ES_UPPERCASE and ES_LOWERCASE convert what is typed.
// Applications subclass the control to see keys first.
#include <algorithm>
#include <vector>

#include "platform/base/wide_string.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/system_classes.h"

namespace skyvane::user {
namespace {

class Edit : public Control {
public:
    Edit(HWND hwnd, const CREATESTRUCTW& cs) : Control(hwnd) {
        if (cs.lpszName) text_ = cs.lpszName;
    }

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SETTEXT:
            text_ = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
            if (text_.size() > limit_) text_.resize(limit_);
            caret_ = anchor_ = 0;
            scroll_ = 0;
            modified_ = false;
            Changed();
            return TRUE;
        case WM_GETTEXT: {
            auto out = reinterpret_cast<LPWSTR>(lParam);
            if (!out || wParam == 0) return 0;
            std::size_t n = std::min<std::size_t>(wParam - 1, text_.size());
            std::copy_n(text_.data(), n, out);
            out[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(text_.size());
        case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case WM_SETFOCUS: Redraw(); Notify(EN_SETFOCUS); return 0;
        case WM_KILLFOCUS: Redraw(); Notify(EN_KILLFOCUS); return 0;
        case WM_CHAR: Typed(static_cast<char16_t>(wParam)); return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetFocus(Hwnd());
            SetCapture(Hwnd());
            caret_ = IndexAt(GET_X_LPARAM(lParam));
            if (!(wParam & MK_SHIFT)) anchor_ = caret_;
            Redraw();
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == Hwnd()) {
                caret_ = IndexAt(GET_X_LPARAM(lParam));
                Redraw();
            }
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == Hwnd()) ReleaseCapture();
            return 0;
        case EM_GETSEL: {
            DWORD start = static_cast<DWORD>(std::min(caret_, anchor_)), end = static_cast<DWORD>(std::max(caret_, anchor_));
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = start;
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = end;
            return MAKELONG(start, end);
        }
        case EM_SETSEL: {
            int size = static_cast<int>(text_.size());
            int start = static_cast<int>(static_cast<LONG>(wParam)), end = static_cast<int>(static_cast<LONG>(lParam));
            if (start < 0) {
                anchor_ = caret_;  // -1 removes the selection
            } else {
                if (end < 0 || end > size) end = size;
                anchor_ = std::min(start, size);
                caret_ = end;
            }
            Redraw();
            return 0;
        }
        case EM_REPLACESEL: Replace(lParam ? reinterpret_cast<LPCWSTR>(lParam) : u""); return 0;
        case EM_LIMITTEXT: limit_ = wParam ? static_cast<std::size_t>(wParam) : 0x7FFFFFFE; return 0;
        case EM_GETLIMITTEXT: return static_cast<LRESULT>(limit_);
        case EM_SETREADONLY: {
            DWORD style = Style();
            SetWindowLongPtrW(Hwnd(), GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~ES_READONLY));
            Redraw();
            return TRUE;
        }
        case EM_GETMODIFY: return modified_;
        case EM_SETMODIFY: modified_ = wParam != 0; return 0;
        default: return std::nullopt;
        }
    }

private:
    bool ReadOnly() const { return (Style() & ES_READONLY) != 0; }
    int SelStart() const { return std::min(caret_, anchor_); }
    int SelEnd() const { return std::max(caret_, anchor_); }

    void Changed() {
        Redraw();
        Notify(EN_UPDATE);
        Notify(EN_CHANGE);
    }

    // Puts text in place of the selection, within the length limit.
    void Replace(std::u16string_view insert) {
        int start = SelStart(), end = SelEnd();
        std::size_t room = limit_ - std::min(limit_, text_.size() - (end - start));
        bool cut = insert.size() > room;
        if (cut) insert = insert.substr(0, room);
        if (insert.empty() && start == end) {
            // Nothing fits and nothing is replaced: the text stays as it is.
            if (cut) Notify(EN_MAXTEXT);
            return;
        }
        text_.replace(start, end - start, insert);
        caret_ = anchor_ = start + static_cast<int>(insert.size());
        modified_ = true;
        Changed();
        if (cut) Notify(EN_MAXTEXT);
    }

    void Typed(char16_t c) {
        if (ReadOnly()) return;
        if (c == u'\b') {
            if (SelStart() == SelEnd() && caret_ > 0) anchor_ = caret_ - 1;
            if (SelStart() != SelEnd()) Replace(u"");
            return;
        }
        if (c < 0x20) return;  // Enter, Escape and Tab belong to the dialog
        if ((Style() & ES_NUMBER) && (c < u'0' || c > u'9')) return;
        if (Style() & ES_UPPERCASE) c = FoldUpper(c);
        if (Style() & ES_LOWERCASE) c = FoldLower(c);
        Replace(std::u16string_view(&c, 1));
    }

    void Key(UINT vk) {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        int size = static_cast<int>(text_.size());
        switch (vk) {
        case VK_LEFT: caret_ = SelStart() != SelEnd() && !shift ? SelStart() : std::max(0, caret_ - 1); break;
        case VK_RIGHT: caret_ = SelStart() != SelEnd() && !shift ? SelEnd() : std::min(size, caret_ + 1); break;
        case VK_HOME: caret_ = 0; break;
        case VK_END: caret_ = size; break;
        case VK_DELETE:
            if (ReadOnly()) return;
            if (SelStart() == SelEnd() && caret_ < size) anchor_ = caret_ + 1;
            if (SelStart() != SelEnd()) Replace(u"");
            return;
        default: return;
        }
        if (!shift) anchor_ = caret_;
        Redraw();
    }

    std::u16string Shown() const {
        return (Style() & ES_PASSWORD) ? std::u16string(text_.size(), u'*') : text_;
    }

    // x of each character boundary of the shown text, from its start.
    std::vector<int> Positions(HDC dc, const std::u16string& shown) const {
        std::vector<int> x(shown.size() + 1, 0);
        if (shown.empty()) return x;
        SIZE size;
        GetTextExtentExPointW(dc, shown.data(), static_cast<int>(shown.size()), 0, nullptr, x.data() + 1, &size);
        return x;
    }

    int IndexAt(int clientX) {
        HDC dc = GetDC(Hwnd());
        HGDIOBJ old = SelectObject(dc, Font());
        std::u16string shown = Shown();
        std::vector<int> x = Positions(dc, shown);
        SelectObject(dc, old);
        ReleaseDC(Hwnd(), dc);
        int target = clientX - Margin() + scroll_;
        int best = 0;
        for (std::size_t i = 0; i < x.size(); ++i)
            if (std::abs(x[i] - target) < std::abs(x[best] - target)) best = static_cast<int>(i);
        return best;
    }

    int Margin() const { return paint::Scaled(2); }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        HBRUSH brush = ParentColours(ReadOnly() || !Enabled() ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, dc);
        COLORREF textColour = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
        if (brush) FillRect(dc, &c, brush);
        HGDIOBJ oldFont = SelectObject(dc, Font());
        std::u16string shown = Shown();
        std::vector<int> x = Positions(dc, shown);
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        int visible = c.right - 2 * Margin();
        int caretX = x[caret_];
        if (caretX - scroll_ > visible) scroll_ = caretX - visible;
        if (caretX < scroll_) scroll_ = caretX;
        if (x.back() - scroll_ < visible) scroll_ = std::max(0, x.back() - visible);
        int left = Margin() - scroll_;
        DWORD align = Style() & (ES_CENTER | ES_RIGHT);
        if (x.back() <= visible && align) left = align == ES_CENTER ? (c.right - x.back()) / 2 : c.right - Margin() - x.back();
        int top = (c.bottom - tm.tmHeight) / 2;
        RECT line{left, top, left + x.back() + 1, top + tm.tmHeight};
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, textColour);
        IntersectClipRect(dc, Margin() / 2, 0, c.right - Margin() / 2, c.bottom);
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &line, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        if (Focused() && SelStart() != SelEnd()) {
            RECT sel{left + x[SelStart()], top, left + x[SelEnd()], top + tm.tmHeight};
            paint::Fill(dc, sel, GetSysColor(COLOR_HIGHLIGHT));
            SaveDC(dc);
            IntersectClipRect(dc, sel.left, sel.top, sel.right, sel.bottom);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &line, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
            RestoreDC(dc, -1);
        }
        if (Focused() && !ReadOnly()) {
            RECT caret{left + caretX, top, left + caretX + 1, top + tm.tmHeight};
            paint::Fill(dc, caret, textColour);
        }
        SelectObject(dc, oldFont);
        EndPaint(Hwnd(), &ps);
    }

    std::u16string text_;
    int caret_ = 0, anchor_ = 0, scroll_ = 0;
    std::size_t limit_ = 30000;
    bool modified_ = false;
};

}  // namespace

void RegisterEditClass() { RegisterControlClass(WC_EDIT, ControlProc<Edit>, CS_DBLCLKS); }

}  // namespace skyvane::user
