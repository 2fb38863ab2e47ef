// The vertical scroll bar that list controls draw along their right edge:
// arrows at both ends, a thumb sized to the visible share of the rows.
#pragma once

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
    // The first row that puts the thumb's top at y (for dragging the thumb).
    int FirstForThumbTop(int y) const;
    RECT Thumb() const;

private:
    int ArrowHeight() const;
    RECT bar_;
    int first_, visible_, total_;
};

}  // namespace skyvane::user
