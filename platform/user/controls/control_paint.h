// The one plain style every control is drawn in: flat faces with 1-pixel
// frames, the system colours, sizes scaled by the device's dpi.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/user/user.h"

namespace skyvane::user::paint {

// A size in pixels at 96 dpi, scaled to the device's dpi.
int Scaled(int pixels96);

// The cell height (ascent + descent) of a font.
int LineHeight(HFONT font);

void Fill(HDC dc, const RECT& r, COLORREF colour);
// A field's face (edit-like boxes: combo box, time picker): the window
// colour, grey when disabled, in a 1-pixel frame.
void Field(HDC dc, const RECT& r, bool enabled);
void Frame(HDC dc, const RECT& r, COLORREF colour);
// A push button's face: pressed darker, the default button with a heavier frame.
void ButtonFace(HDC dc, const RECT& r, bool pressed, bool isDefault, bool enabled);
// A check box's square (checked shows a tick; indeterminate a grey square).
void CheckBox(HDC dc, const RECT& box, UINT state, bool enabled);
void RadioButton(HDC dc, const RECT& box, bool checked, bool enabled);

enum class Direction { Up, Down, Left, Right };
// A filled triangle pointing one way, centred in r.
void Arrow(HDC dc, const RECT& r, Direction direction, COLORREF colour);

// Text in a control's font and colour, transparent background.
void Text(HDC dc, HFONT font, COLORREF colour, LPCWSTR text, RECT r, UINT format);

}  // namespace skyvane::user::paint
