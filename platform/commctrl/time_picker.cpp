// SysDateTimePick32 as a time picker (DTS_TIMEFORMAT): hours and minutes in
// fields, with spin arrows at the right.
//
// Left and Right (or a tap) choose a field; Up and Down (or the arrows) step
// it round its range; digits type it, moving on once two digits are in.
// Every change the user makes sends DTN_DATETIMECHANGE. The format is
// "HH:mm" unless DTM_SETFORMATW gives another of "HH", "H", "hh", "h",
// "mm", "m", "tt" and literal text.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/base/wide_format.h"
#include "platform/commctrl/commctrl.h"
#include "platform/commctrl/common_classes.h"
#include "platform/kernel/win_time.h"
#include "platform/user/controls/control.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/scroll_bar.h"

namespace skyvane::commctrl {
namespace {

using user::Control;
namespace paint = user::paint;

enum class Part { Hour24, Hour12, Minute, AmPm, Literal };

struct Segment {
    Part part;
    bool twoDigits = false;
    std::u16string literal;
};

std::vector<Segment> ParseFormat(std::u16string_view f) {
    std::vector<Segment> out;
    for (std::size_t i = 0; i < f.size();) {
        char16_t c = f[i];
        std::size_t run = 1;
        while (i + run < f.size() && f[i + run] == c) ++run;
        if (c == u'H' || c == u'h' || c == u'm') {
            out.push_back(Segment{c == u'H' ? Part::Hour24 : c == u'h' ? Part::Hour12 : Part::Minute, run >= 2, {}});
        } else if (c == u't') {
            out.push_back(Segment{Part::AmPm, false, {}});
        } else {
            if (out.empty() || out.back().part != Part::Literal) out.push_back(Segment{Part::Literal, false, {}});
            out.back().literal.append(run, c);
        }
        i += run;
    }
    return out;
}

class TimePicker : public Control {
public:
    TimePicker(HWND hwnd, const CREATESTRUCTW&) : Control(hwnd) {
        GetLocalTime(&time_);
        time_.wSecond = 0;
        time_.wMilliseconds = 0;
        segments_ = ParseFormat(u"HH:mm");
    }

protected:
    std::optional<LRESULT> Handle(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_PAINT: Paint(); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            typed_ = 0;
            Redraw();
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: Click(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
        case WM_KEYDOWN: Key(static_cast<UINT>(wParam)); return 0;
        case WM_CHAR:
            if (wParam >= u'0' && wParam <= u'9') Digit(static_cast<int>(wParam - u'0'));
            return 0;
        case DTM_GETSYSTEMTIME:
            if (!lParam) return GDT_ERROR;
            *reinterpret_cast<SYSTEMTIME*>(lParam) = time_;
            return GDT_VALID;
        case DTM_SETSYSTEMTIME: {
            auto* st = reinterpret_cast<const SYSTEMTIME*>(lParam);
            if (wParam != GDT_VALID || !st || st->wHour > 23 || st->wMinute > 59) return FALSE;
            time_ = *st;
            Redraw();
            return TRUE;
        }
        case DTM_SETFORMATW: {
            auto* format = reinterpret_cast<LPCWSTR>(lParam);
            segments_ = ParseFormat(format && *format ? format : u"HH:mm");
            field_ = 0;
            Redraw();
            return TRUE;
        }
        default: return std::nullopt;
        }
    }

private:
    std::vector<int> Fields() const {
        std::vector<int> f;
        for (int i = 0; i < static_cast<int>(segments_.size()); ++i)
            if (segments_[i].part != Part::Literal) f.push_back(i);
        return f;
    }
    const Segment* Current() const {
        std::vector<int> f = Fields();
        return f.empty() ? nullptr : &segments_[f[std::clamp(field_, 0, static_cast<int>(f.size()) - 1)]];
    }

    std::u16string Show(const Segment& s) const {
        switch (s.part) {
        case Part::Hour24: return FormatW(s.twoDigits ? u"%02d" : u"%d", time_.wHour);
        case Part::Hour12: return FormatW(s.twoDigits ? u"%02d" : u"%d", time_.wHour % 12 == 0 ? 12 : time_.wHour % 12);
        case Part::Minute: return FormatW(s.twoDigits ? u"%02d" : u"%d", time_.wMinute);
        case Part::AmPm: return time_.wHour < 12 ? u"AM" : u"PM";
        case Part::Literal: return s.literal;
        }
        return u"";
    }

    void Changed() {
        Redraw();
        NMDATETIMECHANGE nm{};
        nm.dwFlags = GDT_VALID;
        nm.st = time_;
        NotifyParent(nm.nmhdr, DTN_DATETIMECHANGE);
    }

    // Steps the chosen field round its range.
    void Step(int delta) {
        const Segment* s = Current();
        if (!s) return;
        switch (s->part) {
        case Part::Hour24:
        case Part::Hour12: time_.wHour = static_cast<WORD>((time_.wHour + 24 + delta) % 24); break;
        case Part::Minute: time_.wMinute = static_cast<WORD>((time_.wMinute + 60 + delta) % 60); break;
        case Part::AmPm: time_.wHour = static_cast<WORD>((time_.wHour + 12) % 24); break;
        case Part::Literal: return;
        }
        typed_ = 0;
        Changed();
    }

    void Digit(int d) {
        const Segment* s = Current();
        if (!s || s->part == Part::AmPm) return;
        int value = typed_ == 1 ? typedValue_ * 10 + d : d;
        bool hours = s->part != Part::Minute;
        int limit = s->part == Part::Hour24 ? 23 : s->part == Part::Hour12 ? 12 : 59;
        if (value > limit) value = d;  // a second digit that makes no time starts anew
        if (hours) {
            int h = value;
            if (s->part == Part::Hour12) h = (value % 12) + (time_.wHour >= 12 ? 12 : 0);
            time_.wHour = static_cast<WORD>(std::min(h, 23));
        } else {
            time_.wMinute = static_cast<WORD>(value);
        }
        typedValue_ = value;
        typed_ = typed_ == 1 || value * 10 > limit ? 0 : 1;
        if (typed_ == 0) field_ = std::min(field_ + 1, static_cast<int>(Fields().size()) - 1);
        Changed();
    }

    void Key(UINT vk) {
        int fields = static_cast<int>(Fields().size());
        switch (vk) {
        case VK_LEFT: field_ = std::max(0, field_ - 1); typed_ = 0; Redraw(); break;
        case VK_RIGHT: field_ = std::min(fields - 1, field_ + 1); typed_ = 0; Redraw(); break;
        case VK_UP: Step(1); break;
        case VK_DOWN: Step(-1); break;
        default: break;
        }
    }

    int SpinWidth() const { return user::VScrollBar::Width() + paint::Scaled(2); }

    // Where each field's text lies, for taps and for the highlight.
    std::vector<RECT> Layout(HDC dc) const {
        std::vector<RECT> boxes;
        int x = paint::Scaled(3);
        RECT c = Client();
        for (const Segment& s : segments_) {
            std::u16string text = Show(s);
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            boxes.push_back(RECT{x, 2, x + size.cx, c.bottom - 2});
            x += size.cx;
        }
        return boxes;
    }

    void Click(POINT p) {
        SetFocus(Hwnd());
        RECT c = Client();
        if (p.x >= c.right - SpinWidth()) {
            Step(p.y < c.bottom / 2 ? 1 : -1);
            return;
        }
        HDC dc = GetDC(Hwnd());
        HGDIOBJ old = SelectObject(dc, Font());
        std::vector<RECT> boxes = Layout(dc);
        SelectObject(dc, old);
        ReleaseDC(Hwnd(), dc);
        std::vector<int> fields = Fields();
        for (int k = 0; k < static_cast<int>(fields.size()); ++k)
            if (p.x < boxes[fields[k]].right + paint::Scaled(3) || k + 1 == static_cast<int>(fields.size())) {
                field_ = k;
                break;
            }
        typed_ = 0;
        Redraw();
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        RECT c = Client();
        COLORREF ink = PaintField(dc);
        HGDIOBJ old = SelectObject(dc, Font());
        std::vector<RECT> boxes = Layout(dc);
        std::vector<int> fields = Fields();
        int chosen = fields.empty() ? -1 : fields[std::clamp(field_, 0, static_cast<int>(fields.size()) - 1)];
        for (int i = 0; i < static_cast<int>(segments_.size()); ++i) {
            bool highlight = Focused() && i == chosen;
            if (highlight) paint::Fill(dc, boxes[i], GetSysColor(COLOR_HIGHLIGHT));
            std::u16string text = Show(segments_[i]);
            paint::Text(dc, Font(), highlight ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ink, text.c_str(), boxes[i],
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        SelectObject(dc, old);
        RECT up{c.right - SpinWidth(), 1, c.right - 1, c.bottom / 2};
        RECT down{c.right - SpinWidth(), c.bottom / 2, c.right - 1, c.bottom - 1};
        paint::ButtonFace(dc, up, false, false, Enabled());
        paint::ButtonFace(dc, down, false, false, Enabled());
        COLORREF arrows = GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        paint::Arrow(dc, up, paint::Direction::Up, arrows);
        paint::Arrow(dc, down, paint::Direction::Down, arrows);
        EndPaint(Hwnd(), &ps);
    }

    SYSTEMTIME time_{};
    std::vector<Segment> segments_;
    int field_ = 0;
    int typed_ = 0, typedValue_ = 0;
};

}  // namespace

void RegisterTimePickerClass() { user::RegisterControlClass(DATETIMEPICK_CLASS, user::ControlProc<TimePicker>, CS_DBLCLKS); }

}  // namespace skyvane::commctrl
