// Where top-level windows appear and where input comes from.
//
// headless: every top-level window draws into an off-screen surface, which
//   SaveWindowPng writes out; input comes only as injected messages.
// sdl: each top-level window is also a real SDL2 window at a chosen scale;
//   mouse, touch and keys become messages.
//
// SKYVANE_BACKEND chooses: "headless", "sdl", or unset for SDL2 when a display
// is present (DISPLAY or WAYLAND_DISPLAY) and headless otherwise. A wish for
// SDL2 that cannot be met (no display, SDL2 fails) falls back to headless with
// a line on standard error. SKYVANE_SCALE (1 to 4) sets the pixel scale; by
// default SDL2 takes 2 on a high-dpi desktop and 1 otherwise.
#pragma once

#include <memory>
#include <string>

#include "platform/user/user_types.h"

namespace skyvane::user {

class ThreadQueue;
struct Window;

enum class CursorShape { Arrow, Wait };

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* Name() const = 0;
    // Pixels per logical pixel of window surfaces.
    virtual int Scale() const = 0;
    // A top-level window was shown, moved, resized or retitled.
    virtual void Show(Window& top) = 0;
    virtual void Hide(Window& top) = 0;
    virtual void Destroyed(HWND top) = 0;
    // The window's surface has new drawing to show.
    virtual void Present(Window& top) = 0;
    virtual void SetCursor(CursorShape shape) = 0;
    // Turns waiting native input into messages, without waiting.
    virtual void Pump() = 0;
    // Waits up to timeoutMs (-1: without end) for native input or a message
    // for the queue.
    virtual void Wait(ThreadQueue& queue, int timeoutMs) = 0;
    // From any thread: ends a Wait early.
    virtual void Wake() = 0;
    // Where a top-level window is on the desktop, in desktop pixels; false
    // when it is not a window there (headless).
    virtual bool DesktopRect(HWND top, RECT& out) { return false; }
};

// The back end in use, chosen at first use.
Backend& TheBackend();
// Chooses the back end ("headless" or "sdl") before any window exists; false
// when it is not available or windows exist already.
bool UseBackend(const std::string& name);

// Writes a window (client and frame) as it was last drawn to a PNG file, at
// the surface's scale, after painting what is pending. False, with the reason
// logged, when the window or the file fails.
bool SaveWindowPng(HWND hwnd, const std::string& path);

std::unique_ptr<Backend> MakeHeadlessBackend();
// nullptr when SDL2 cannot open video.
std::unique_ptr<Backend> MakeSdlBackend(int scale);

}  // namespace skyvane::user
