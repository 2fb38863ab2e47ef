// Focus, activation, capture, key state, and the routing of input to windows.
#include "platform/user/input.h"

#include <array>
#include <atomic>
#include <mutex>

#include "platform/kernel/handles.h"
#include "platform/kernel/win_time.h"
#include "platform/user/message_queue.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

std::array<std::atomic<bool>, 256> g_keys{};
std::atomic<HWND> g_foreground{nullptr};
std::mutex g_pointerMutex;
POINT g_cursor{0, 0};
bool g_buttonDown = false;
struct LastDown {
    HWND hwnd = nullptr;
    DWORD time = 0;
    POINT at{0, 0};
} g_lastDown;

constexpr DWORD kDoubleClickMs = 500;

void PostTo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) { PostMessageW(hwnd, message, wParam, lParam); }

WPARAM MouseKeys() {
    WPARAM keys = g_buttonDown ? MK_LBUTTON : 0;
    if (g_keys[VK_SHIFT]) keys |= MK_SHIFT;
    if (g_keys[VK_CONTROL]) keys |= MK_CONTROL;
    return keys;
}

}  // namespace

void ForgetWindow(HWND hwnd) {
    Window* w = FindQuiet(hwnd);
    if (!w) return;
    ThreadQueue& q = *w->queue;
    if (q.focus == hwnd) q.focus = nullptr;
    if (q.capture == hwnd) q.capture = nullptr;
    if (q.active == hwnd) q.active = nullptr;
    HWND expected = hwnd;
    g_foreground.compare_exchange_strong(expected, nullptr);
}

HWND KeyTarget() {
    HWND active = g_foreground.load();
    if (!active) {
        std::vector<HWND> tops = TopLevelWindows();
        for (auto it = tops.rbegin(); it != tops.rend() && !active; ++it)
            if (IsWindowVisible(*it)) active = *it;
    }
    std::shared_ptr<ThreadQueue> q = QueueOf(active);
    if (!q) return nullptr;
    return q->focus && IsWindow(q->focus) ? q->focus : active;
}

void InjectMouse(HWND top, UINT message, int x, int y) {
    Window* w = FindQuiet(top);
    if (!w) return;
    POINT origin = ClientOrigin(*w);
    POINT screen{origin.x + x, origin.y + y};
    WPARAM keys;
    {
        std::lock_guard<std::mutex> lock(g_pointerMutex);
        g_cursor = screen;
        if (message == WM_LBUTTONDOWN) g_buttonDown = true;
        if (message == WM_LBUTTONUP) g_buttonDown = false;
        g_keys[VK_LBUTTON] = g_buttonDown;
        keys = MouseKeys();
    }
    HWND target = nullptr;
    if (w->queue->capture && IsWindow(w->queue->capture)) {
        target = w->queue->capture;
    } else {
        if (!w->Enabled()) return;  // the owner of a modal dialog takes no input
        target = DeepestChildAt(top, POINT{x, y}, true);
        if (!target) {
            // The top-level window itself, unless a disabled child swallowed the input.
            if (DeepestChildAt(top, POINT{x, y}, false)) return;
            target = top;
        }
    }
    Window* t = FindQuiet(target);
    POINT to = ClientOrigin(*t);
    LPARAM lp = MAKELPARAM(screen.x - to.x, screen.y - to.y);
    if (message == WM_LBUTTONDOWN) {
        DWORD now = GetTickCount();
        bool twice = g_lastDown.hwnd == target && now - g_lastDown.time <= kDoubleClickMs &&
                     std::abs(g_lastDown.at.x - screen.x) <= 4 && std::abs(g_lastDown.at.y - screen.y) <= 4;
        if (twice && (t->cls->wc.style & CS_DBLCLKS)) {
            message = WM_LBUTTONDBLCLK;
            g_lastDown = LastDown{};
        } else {
            g_lastDown = LastDown{target, now, screen};
        }
    }
    PostTo(target, message, keys, lp);
}

void InjectClick(HWND hwnd, int x, int y) {
    Window* w = FindQuiet(hwnd);
    if (!w) return;
    Window* top = TopLevelOf(w);
    POINT at = ClientOrigin(*w), topOrigin = ClientOrigin(*top);
    int tx = at.x - topOrigin.x + x, ty = at.y - topOrigin.y + y;
    InjectMouse(top->handle, WM_LBUTTONDOWN, tx, ty);
    InjectMouse(top->handle, WM_LBUTTONUP, tx, ty);
}

void InjectWheel(HWND top, int x, int y, int delta) {
    Window* w = FindQuiet(top);
    if (!w || !w->Enabled()) return;
    POINT origin = ClientOrigin(*w);
    w->queue->Post(MSG{kToFocus, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeys(), static_cast<WORD>(static_cast<short>(delta))),
                       MAKELPARAM(origin.x + x, origin.y + y), GetTickCount(), POINT{origin.x + x, origin.y + y}});
}

namespace {
// The queue of the thread whose window has the keyboard.
std::shared_ptr<ThreadQueue> KeyboardQueue() {
    HWND target = KeyTarget();
    return target ? QueueOf(target) : nullptr;
}
}  // namespace

void InjectKey(UINT vk, bool down, LPARAM extra) {
    vk &= 0xFF;
    bool was = g_keys[vk];
    g_keys[vk] = down;
    std::shared_ptr<ThreadQueue> q = KeyboardQueue();
    if (!q) return;
    LPARAM lp = 1 | extra | (was ? (LPARAM(1) << 30) : 0) | (down ? 0 : (LPARAM(1) << 31) | (LPARAM(1) << 30));
    q->Post(MSG{kToFocus, static_cast<UINT>(down ? WM_KEYDOWN : WM_KEYUP), vk, lp, GetTickCount(), POINT{0, 0}});
}

void InjectKeyPress(UINT vk) {
    InjectKey(vk, true);
    InjectKey(vk, false);
}

void InjectText(std::u16string_view text) {
    std::shared_ptr<ThreadQueue> q = KeyboardQueue();
    if (!q) return;
    for (char16_t c : text) q->Post(MSG{kToFocus, WM_CHAR, c, 1, GetTickCount(), POINT{0, 0}});
}

}  // namespace skyvane::user

using namespace skyvane::user;

HWND SetFocus(HWND hWnd) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    if (hWnd) {
        Window* w = Find(hWnd);
        if (!w || w->queue != q || w->destroying) return nullptr;
        Window* top = TopLevelOf(w);
        if (top && q->active != top->handle) {
            q->active = top->handle;
            g_foreground = top->handle;
        }
    }
    HWND old = q->focus;
    if (old == hWnd) return old;
    q->focus = hWnd;
    if (old && IsWindow(old)) SendDirect(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (hWnd && q->focus == hWnd && IsWindow(hWnd)) SendDirect(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() { return ThreadQueue::Current()->focus; }

HWND SetActiveWindow(HWND hWnd) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    HWND old = q->active;
    if (hWnd) {
        Window* w = Find(hWnd);
        if (!w || w->queue != q) return nullptr;
        hWnd = TopLevelOf(w)->handle;
    }
    if (old == hWnd) return old;
    q->active = hWnd;
    g_foreground = hWnd;
    if (old && IsWindow(old)) SendDirect(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hWnd));
    if (hWnd && IsWindow(hWnd)) SendDirect(hWnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    return old;
}

HWND GetActiveWindow() { return ThreadQueue::Current()->active; }

BOOL SetForegroundWindow(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    if (w->queue->IsCurrentThread()) SetActiveWindow(hWnd);
    else g_foreground = TopLevelOf(w)->handle;
    return TRUE;
}

HWND GetForegroundWindow() { return g_foreground.load(); }

HWND SetCapture(HWND hWnd) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    HWND old = q->capture;
    q->capture = hWnd && IsWindow(hWnd) ? hWnd : nullptr;
    return old;
}

BOOL ReleaseCapture() {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    HWND old = q->capture;
    q->capture = nullptr;
    if (old && IsWindow(old)) SendDirect(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() { return ThreadQueue::Current()->capture; }

SHORT GetKeyState(int nVirtKey) {
    int vk = nVirtKey & 0xFF;
    bool down = vk == VK_LBUTTON ? g_keys[vk].load() : ThreadQueue::Current()->keys[vk];
    return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetAsyncKeyState(int vKey) { return g_keys[vKey & 0xFF] ? static_cast<SHORT>(0x8000) : 0; }

BOOL GetCursorPos(LPPOINT lpPoint) {
    if (!lpPoint) return FALSE;
    std::lock_guard<std::mutex> lock(g_pointerMutex);
    *lpPoint = g_cursor;
    return TRUE;
}
