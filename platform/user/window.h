// Windows behind HWND: classes, the window table and the window tree.
//
// A handle is a number from the table, never a pointer, so a stale handle is
// refused (ERROR_INVALID_WINDOW_HANDLE) instead of followed. A window belongs
// to the thread that created it; only that thread changes it, other threads
// only post to its queue.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/user/user_types.h"

namespace skyvane::user {

class ThreadQueue;

struct WindowClass {
    std::u16string name;
    WNDCLASSW wc{};
};

// What a top-level window draws into.
struct Surface {
    cairo_surface_t* surface = nullptr;  // RGB24, of the window's size × scale
    int scale = 1;
    bool dirty = false;                  // drawn into since the back end last showed it
    ~Surface() {
        if (surface) cairo_surface_destroy(surface);
    }
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    std::shared_ptr<ThreadQueue> queue;
    WNDPROC proc = nullptr;
    DWORD style = 0, exStyle = 0;
    RECT rect{};                 // in the parent's client coordinates; screen for top-level windows
    HWND parent = nullptr;       // children only
    HWND owner = nullptr;        // popups and other top-level windows
    std::vector<HWND> children;  // first is first in the tab order; later ones paint over earlier ones
    std::u16string text;
    LONG_PTR id = 0, userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<unsigned char> extra;  // the class's window bytes
    RECT update{};                     // client coordinates; empty when nothing to paint
    bool erase = false;
    bool destroying = false;
    std::unique_ptr<Surface> surface;  // top-level windows

    bool IsChild() const { return (style & WS_CHILD) != 0; }
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (style & WS_DISABLED) == 0; }
};

// The live window behind a handle, or nullptr (with ERROR_INVALID_WINDOW_HANDLE).
Window* Find(HWND hwnd);
Window* FindQuiet(HWND hwnd);
// The queue of the window's thread, from any thread.
std::shared_ptr<ThreadQueue> QueueOf(HWND hwnd);
// Top-level windows, oldest first.
std::vector<HWND> TopLevelWindows();
// The top-level window a window lies in.
Window* TopLevelOf(Window* w);
std::shared_ptr<WindowClass> FindClass(std::u16string_view name);

// The client area within the window (the border of WS_BORDER windows).
RECT ClientRect(const Window& w);
// The window's client area in its top-level surface's coordinates, and the
// part of it not cut off by its ancestors.
RECT ClientInSurface(const Window& w);
RECT VisibleClientInSurface(const Window& w);
// The whole window in its top-level surface's coordinates.
RECT WindowInSurface(const Window& w);
// Screen position of the client area's origin.
POINT ClientOrigin(const Window& w);
// The deepest visible child under a point in the window's client area, or
// nullptr; with skipDisabled a disabled child on the way gives nullptr.
HWND DeepestChildAt(HWND hwnd, POINT client, bool skipDisabled);

// Calls a window procedure, catching and logging anything it throws.
LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends to the window's procedure on this thread.
LRESULT SendDirect(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Notifications for the other components.
void ForgetWindow(HWND hwnd);  // timers, focus and capture of a window being destroyed

}  // namespace skyvane::user
