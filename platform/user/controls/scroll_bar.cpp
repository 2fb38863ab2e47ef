#include "platform/user/controls/scroll_bar.h"

#include <algorithm>

#include "platform/kernel/system_info.h"
#include "platform/user/controls/control_paint.h"

namespace skyvane::user {

int VScrollBar::Width() { return GetSystemMetrics(SM_CXVSCROLL); }

int VScrollBar::ArrowHeight() const {
    return std::min<int>(bar_.right - bar_.left, (bar_.bottom - bar_.top) / 3);
}

RECT VScrollBar::Thumb() const {
    int arrow = ArrowHeight();
    int track = bar_.bottom - bar_.top - 2 * arrow;
    if (total_ <= visible_ || total_ <= 0 || track <= 0) return RECT{0, 0, 0, 0};
    int length = std::max(paint::Scaled(8), static_cast<int>(static_cast<long long>(track) * visible_ / total_));
    length = std::min(length, track);
    int range = total_ - visible_;
    int top = bar_.top + arrow + static_cast<int>(static_cast<long long>(track - length) * std::clamp(first_, 0, range) / range);
    return RECT{bar_.left, top, bar_.right, top + length};
}

void VScrollBar::Draw(HDC dc) const {
    paint::Fill(dc, bar_, GetSysColor(COLOR_SCROLLBAR));
    int arrow = ArrowHeight();
    bool active = total_ > visible_;
    COLORREF ink = GetSysColor(active ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    RECT up{bar_.left, bar_.top, bar_.right, bar_.top + arrow};
    RECT down{bar_.left, bar_.bottom - arrow, bar_.right, bar_.bottom};
    paint::Fill(dc, up, GetSysColor(COLOR_BTNFACE));
    paint::Fill(dc, down, GetSysColor(COLOR_BTNFACE));
    paint::Arrow(dc, up, paint::Direction::Up, ink);
    paint::Arrow(dc, down, paint::Direction::Down, ink);
    RECT thumb = Thumb();
    if (!IsRectEmpty(&thumb)) {
        RECT inner{thumb.left + 2, thumb.top + 1, thumb.right - 2, thumb.bottom - 1};
        paint::Fill(dc, inner, GetSysColor(COLOR_BTNSHADOW));
    }
}

VScrollBar::Part VScrollBar::HitTest(POINT p) const {
    if (!PtInRect(&bar_, p)) return Part::None;
    int arrow = ArrowHeight();
    if (p.y < bar_.top + arrow) return Part::LineUp;
    if (p.y >= bar_.bottom - arrow) return Part::LineDown;
    RECT thumb = Thumb();
    if (IsRectEmpty(&thumb)) return Part::None;
    if (p.y < thumb.top) return Part::PageUp;
    if (p.y >= thumb.bottom) return Part::PageDown;
    return Part::Thumb;
}

int VScrollBar::Delta(Part part, int page) {
    switch (part) {
    case Part::LineUp: return -1;
    case Part::LineDown: return 1;
    case Part::PageUp: return -page;
    case Part::PageDown: return page;
    default: return 0;
    }
}

std::optional<int> VScrollBar::Press(POINT p, int page, HWND owner, int& thumbGrab) const {
    Part part = HitTest(p);
    if (part == Part::None) return std::nullopt;
    if (part == Part::Thumb) {
        thumbGrab = p.y - Thumb().top;
        SetCapture(owner);
        return 0;
    }
    return Delta(part, page);
}

int WheelRows(int& accumulated, WPARAM wParam) {
    accumulated += GET_WHEEL_DELTA_WPARAM(wParam);
    int rows = -(accumulated / WHEEL_DELTA) * 3;
    accumulated %= WHEEL_DELTA;
    return rows;
}

int VScrollBar::FirstForThumbTop(int y) const {
    RECT thumb = Thumb();
    int arrow = ArrowHeight();
    int travel = (bar_.bottom - bar_.top - 2 * arrow) - (thumb.bottom - thumb.top);
    if (travel <= 0) return 0;
    int range = total_ - visible_;
    int offset = std::clamp(y - (bar_.top + arrow), 0, travel);
    return static_cast<int>((static_cast<long long>(offset) * range + travel / 2) / travel);
}

}  // namespace skyvane::user
