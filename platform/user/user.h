// The platform's window library: window classes and procedures, windows and
// their tree, the message queue and loop, timers, painting, focus and input,
// cursors and system colours.
//
// Windows belong to the thread that creates them; messages for a window go to
// that thread's queue. Top-level windows draw into surfaces of their own,
// which the back end shows (a real window with SDL2) or keeps off-screen
// (headless, where any window can be saved as PNG); see backend.h.
#pragma once

#include "platform/user/user_types.h"

// ---------------------------------------------------------------------------
// Classes. Class names compare without regard to case; registering a name
// twice fails with ERROR_CLASS_ALREADY_EXISTS.
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
inline ATOM RegisterClass(const WNDCLASSW* c) { return RegisterClassW(c); }
BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
BOOL GetClassInfoW(HINSTANCE hInstance, LPCWSTR lpClassName, WNDCLASSW* lpWndClass);
int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);

// ---------------------------------------------------------------------------
// Windows. WM_NCCREATE, WM_CREATE (-1 fails the creation), WM_SIZE and WM_MOVE
// are sent during creation; WM_DESTROY goes to a window before its children,
// WM_NCDESTROY after them.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
inline HWND CreateWindowW(LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h, HWND parent, HMENU menu,
                          HINSTANCE inst, LPVOID param) {
    return CreateWindowExW(0, cls, name, style, x, y, w, h, parent, menu, inst, param);
}
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
BOOL IsChild(HWND hWndParent, HWND hWnd);
BOOL ShowWindow(HWND hWnd, int nCmdShow);  // returns whether it was visible before
BOOL IsWindowVisible(HWND hWnd);           // the window and all its ancestors
BOOL EnableWindow(HWND hWnd, BOOL bEnable); // returns whether it was disabled before
BOOL IsWindowEnabled(HWND hWnd);
HWND GetParent(HWND hWnd);  // the parent of a child, the owner of a popup
HWND SetParent(HWND hWndChild, HWND hWndNewParent);
HWND GetWindow(HWND hWnd, UINT uCmd);
HWND GetDesktopWindow();
HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName);  // top-level windows only
inline HWND FindWindow(LPCWSTR c, LPCWSTR n) { return FindWindowW(c, n); }
BOOL SetForegroundWindow(HWND hWnd);
HWND GetForegroundWindow();
HWND SetActiveWindow(HWND hWnd);
HWND GetActiveWindow();
BOOL BringWindowToTop(HWND hWnd);

BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);  // screen coordinates
BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint);
BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint);
int MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints);
HWND WindowFromPoint(POINT Point);
HWND ChildWindowFromPoint(HWND hWndParent, POINT Point);  // client coordinates of the parent

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int GetWindowTextLengthW(HWND hWnd);
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
inline BOOL SetWindowText(HWND h, LPCWSTR s) { return SetWindowTextW(h, s); }
inline int GetWindowText(HWND h, LPWSTR s, int n) { return GetWindowTextW(h, s, n); }

// Pointer-sized values: GWLP_WNDPROC (subclassing), GWLP_USERDATA, GWLP_ID,
// GWLP_HINSTANCE, and the class's extra bytes from offset 0.
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
// 32-bit values: GWL_STYLE, GWL_EXSTYLE, GWL_ID.
LONG GetWindowLongW(HWND hWnd, int nIndex);
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

// ---------------------------------------------------------------------------
// Messages. SendMessageW calls the window procedure before it returns (from
// another thread it waits until the owner's loop has handled it);
// PostMessageW queues. GetMessageW returns, in order: messages sent from
// other threads are handled, then posted messages, WM_PAINT for a window that
// needs painting, WM_TIMER for a due timer; it waits otherwise. It returns 0
// for WM_QUIT. Under a frozen test clock, waiting for a timer moves the clock
// to the timer's due time instead of sleeping, so loops run deterministically.
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
LRESULT DispatchMessageW(const MSG* lpmsg);
BOOL TranslateMessage(const MSG* lpMsg);  // WM_KEYDOWN of a character key posts WM_CHAR
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int nExitCode);
BOOL WaitMessage();
DWORD GetMessageTime();
inline BOOL GetMessage(LPMSG m, HWND h, UINT a, UINT b) { return GetMessageW(m, h, a, b); }
inline BOOL PeekMessage(LPMSG m, HWND h, UINT a, UINT b, UINT r) { return PeekMessageW(m, h, a, b, r); }
inline LRESULT DispatchMessage(const MSG* m) { return DispatchMessageW(m); }
inline BOOL PostMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return PostMessageW(h, m, w, l); }
inline LRESULT SendMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return SendMessageW(h, m, w, l); }

// Timers, on the clock of GetTickCount (so the test clock moves them). A
// window's timer with an id it already has is restarted; without a window a
// new id is returned. WM_TIMER carries the TIMERPROC in lParam, which
// DispatchMessageW calls instead of the window procedure.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---------------------------------------------------------------------------
// Painting.
BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);  // NULL window: every window
BOOL ValidateRect(HWND hWnd, const RECT* lpRect);
BOOL GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
BOOL UpdateWindow(HWND hWnd);  // paints the window and its children now
BOOL RedrawWindow(HWND hWnd, const RECT* lprcUpdate, HRGN hrgnUpdate, UINT flags);
HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT lpPaint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
HDC GetDC(HWND hWnd);  // NULL: the screen
HDC GetWindowDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);

// ---------------------------------------------------------------------------
// Focus, capture, keys, cursors.
HWND SetFocus(HWND hWnd);
HWND GetFocus();
HWND SetCapture(HWND hWnd);
BOOL ReleaseCapture();
HWND GetCapture();
SHORT GetKeyState(int nVirtKey);  // high bit: down
SHORT GetAsyncKeyState(int vKey);
HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName);  // IDC_ARROW and IDC_WAIT
inline HCURSOR LoadCursor(HINSTANCE i, LPCWSTR n) { return LoadCursorW(i, n); }
HCURSOR SetCursor(HCURSOR hCursor);
HCURSOR GetCursor();
BOOL GetCursorPos(LPPOINT lpPoint);

DWORD GetSysColor(int nIndex);
HBRUSH GetSysColorBrush(int nIndex);
// The metrics the window library itself defines beside the kernel's screen
// size: SM_CXVSCROLL lives in system_info.h.

// ---------------------------------------------------------------------------
// Rectangles.
BOOL SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
BOOL SetRectEmpty(LPRECT lprc);
BOOL CopyRect(LPRECT lprcDst, const RECT* lprcSrc);
BOOL InflateRect(LPRECT lprc, int dx, int dy);
BOOL OffsetRect(LPRECT lprc, int dx, int dy);
BOOL IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
BOOL IsRectEmpty(const RECT* lprc);
BOOL PtInRect(const RECT* lprc, POINT pt);
BOOL EqualRect(const RECT* lprc1, const RECT* lprc2);
