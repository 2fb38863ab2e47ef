// Rectangle helpers; a rectangle is empty when it has no width or no height.
#include "platform/user/user.h"

using skyvane::RectEmpty;

BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc) return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
    if (!lprcDst || !lprcSrc) return FALSE;
    *lprcDst = *lprcSrc;
    return TRUE;
}

BOOL InflateRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) return FALSE;
    *lprc = RECT{lprc->left - dx, lprc->top - dy, lprc->right + dx, lprc->bottom + dy};
    return TRUE;
}

BOOL OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) return FALSE;
    *lprc = skyvane::RectOffset(*lprc, dx, dy);
    return TRUE;
}

BOOL IntersectRect(LPRECT lprcDst, const RECT* a, const RECT* b) {
    if (!lprcDst || !a || !b) return FALSE;
    *lprcDst = skyvane::RectIntersection(*a, *b);
    return !RectEmpty(*lprcDst);
}

BOOL UnionRect(LPRECT lprcDst, const RECT* a, const RECT* b) {
    if (!lprcDst || !a || !b) return FALSE;
    *lprcDst = skyvane::RectUnion(*a, *b);
    return !RectEmpty(*lprcDst);
}

BOOL IsRectEmpty(const RECT* lprc) { return !lprc || RectEmpty(*lprc); }

BOOL PtInRect(const RECT* lprc, POINT pt) { return lprc && skyvane::RectContains(*lprc, pt.x, pt.y); }

BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && skyvane::RectEqual(*a, *b); }
