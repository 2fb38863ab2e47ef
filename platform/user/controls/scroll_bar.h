// The vertical scroll bar that list controls draw along their right edge:
// arrows at both ends, a thumb sized to the visible share of the rows.
#pragma once

#include <optional>

#include "platform/user/user.h"

namespace skyvane::user {

class VScrollBar {
public:
    enum class Part { None, LineUp, LineDown, PageUp, PageDown, Thumb };

    // The bar's width: GetSystemMetrics(SM_CXVSCROLL).
    static int Width();
    // The bar for rows [first, first + visible) of total, in the rectangle.
    VScrollBar(RECT bar, int first, int visible, int total) : bar_(bar), first_(first), visible_(visible), total_(total) {}

    void Draw(HDC dc) const;
    Part HitTest(POINT p) const;
    // How many rows a click on a part moves (Page Up and Down by a page).
    static int Delta(Part part, int page);
    // A press at p: nothing when p is off the bar; else the rows to move, or
    // 0 with the capture taken and thumbGrab set when the thumb was pressed.
    std::optional<int> Press(POINT p, int page, HWND owner, int& thumbGrab) const;
    // The first row that puts the thumb's top at y (for dragging the thumb).
    int FirstForThumbTop(int y) const;
    RECT Thumb() const;

private:
    int ArrowHeight() const;
    RECT bar_;
    int first_, visible_, total_;
};

// Rows to scroll for a WM_MOUSEWHEEL: three a notch, up for a positive
// delta; parts of a notch add up in accumulated.
int WheelRows(int& accumulated, WPARAM wParam);

}  // namespace skyvane::user
