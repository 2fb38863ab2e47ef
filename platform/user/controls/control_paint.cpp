#include "platform/user/controls/control_paint.h"

#include "platform/kernel/system_info.h"
#include "platform/user/controls/controls.h"

namespace skyvane::user::paint {

int Scaled(int pixels96) { return (pixels96 * skyvane::ScreenDpi() + 48) / 96; }

int LineHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight;
}

void Field(HDC dc, const RECT& r, bool enabled) {
    Fill(dc, r, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    Frame(dc, r, GetSysColor(COLOR_BTNSHADOW));
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
}

void ButtonFace(HDC dc, const RECT& r, bool pressed, bool isDefault, bool enabled) {
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (pressed) face = RGB(GetRValue(face) * 4 / 5, GetGValue(face) * 4 / 5, GetBValue(face) * 4 / 5);
    Fill(dc, r, face);
    COLORREF frame = enabled ? GetSysColor(isDefault ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW) : GetSysColor(COLOR_GRAYTEXT);
    Frame(dc, r, frame);
    if (isDefault) {
        RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        Frame(dc, inner, frame);
    }
}

void CheckBox(HDC dc, const RECT& box, UINT state, bool enabled) {
    Fill(dc, box, enabled ? GetSysColor(COLOR_WINDOW) : GetSysColor(COLOR_BTNFACE));
    Frame(dc, box, GetSysColor(enabled ? COLOR_3DDKSHADOW : COLOR_GRAYTEXT));
    int w = box.right - box.left;
    COLORREF ink = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    if (state & BST_CHECKED) {
        // A tick: down from the left third to the bottom middle, then up to the right.
        HPEN pen = CreatePen(PS_SOLID, std::max(1, w / 7), ink);
        HGDIOBJ old = SelectObject(dc, pen);
        POINT tick[] = {{box.left + w / 5, box.top + w / 2}, {box.left + w * 2 / 5, box.top + w * 7 / 10},
                        {box.left + w * 4 / 5, box.top + w * 3 / 10}};
        Polyline(dc, tick, 3);
        SelectObject(dc, old);
        DeleteObject(pen);
    } else if (state & BST_INDETERMINATE) {
        RECT inner{box.left + 3, box.top + 3, box.right - 3, box.bottom - 3};
        Fill(dc, inner, GetSysColor(COLOR_GRAYTEXT));
    }
}

void RadioButton(HDC dc, const RECT& box, bool checked, bool enabled) {
    HBRUSH face = CreateSolidBrush(enabled ? GetSysColor(COLOR_WINDOW) : GetSysColor(COLOR_BTNFACE));
    HPEN edge = CreatePen(PS_SOLID, 1, GetSysColor(enabled ? COLOR_3DDKSHADOW : COLOR_GRAYTEXT));
    HGDIOBJ oldBrush = SelectObject(dc, face), oldPen = SelectObject(dc, edge);
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
    if (checked) {
        int inset = (box.right - box.left) / 4 + 1;
        HBRUSH dot = CreateSolidBrush(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        SelectObject(dc, dot);
        SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, box.left + inset, box.top + inset, box.right - inset + 1, box.bottom - inset + 1);
        SelectObject(dc, face);
        DeleteObject(dot);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(face);
    DeleteObject(edge);
}

void Arrow(HDC dc, const RECT& r, Direction direction, COLORREF colour) {
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int size = std::max(2, std::min(r.right - r.left, r.bottom - r.top) / 4);
    POINT p[3];
    switch (direction) {
    case Direction::Up: p[0] = {cx - size, cy + size / 2}; p[1] = {cx + size, cy + size / 2}; p[2] = {cx, cy - size / 2 - 1}; break;
    case Direction::Down: p[0] = {cx - size, cy - size / 2}; p[1] = {cx + size, cy - size / 2}; p[2] = {cx, cy + size / 2 + 1}; break;
    case Direction::Left: p[0] = {cx + size / 2, cy - size}; p[1] = {cx + size / 2, cy + size}; p[2] = {cx - size / 2 - 1, cy}; break;
    case Direction::Right: p[0] = {cx - size / 2, cy - size}; p[1] = {cx - size / 2, cy + size}; p[2] = {cx + size / 2 + 1, cy}; break;
    }
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
    Polygon(dc, p, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void Text(HDC dc, HFONT font, COLORREF colour, LPCWSTR text, RECT r, UINT format) {
    if (!text || !*text) return;
    HGDIOBJ old = SelectObject(dc, font);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, &r, format);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, old);
}

}  // namespace skyvane::user::paint
