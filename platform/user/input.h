// Input as the user makes it: mouse, wheel and keys turned into messages and
// posted to the thread of the window they reach, as the platform's input
// system does. The SDL2 back end feeds real input through these calls, and
// tests inject input with them.
//
// Mouse input goes to the window holding the capture, else to the deepest
// visible child under the point; a disabled window on the way (or a disabled
// top-level window, as the owner of a modal dialog is) swallows it. The wheel
// and keys go to the focus window, else to the active window.
#pragma once

#include <string_view>

#include "platform/user/user_types.h"

namespace skyvane::user {

// Set in a key message's lParam when its character arrives separately as
// WM_CHAR (the SDL2 back end's text input), so that TranslateMessage does not
// make a second one. The platform leaves this bit reserved.
inline constexpr LPARAM kTextArrivesSeparately = LPARAM(1) << 25;

// A mouse message at (x, y) in the top-level window's client area:
// WM_MOUSEMOVE, WM_LBUTTONDOWN or WM_LBUTTONUP.
void InjectMouse(HWND top, UINT message, int x, int y);
// A press and release at a point of any window's client area.
void InjectClick(HWND hwnd, int x, int y);
void InjectWheel(HWND top, int x, int y, int delta);
void InjectKey(UINT vk, bool down, LPARAM extra = 0);
void InjectKeyPress(UINT vk);        // down, then up
void InjectText(std::u16string_view text);  // one WM_CHAR per character

// Where keys go now: the focus window, else the active window.
HWND KeyTarget();
// Keys are queued for "the focus window" and reach whichever window has the
// focus when they are taken from the queue, as typed keys do on the platform.
inline const HWND kToFocus = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3));

}  // namespace skyvane::user
