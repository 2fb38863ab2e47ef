// The window table, creation and destruction, the tree, texts and window
// values.
#include "platform/user/window.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <unordered_map>

#include "platform/base/log.h"
#include "platform/base/wide_string.h"
#include "platform/kernel/device_profile.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/user/backend.h"
#include "platform/user/message_queue.h"
#include "platform/user/painting.h"
#include "platform/user/user.h"

namespace skyvane::user {
namespace {

#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_INVALID_INDEX 1413L

struct WindowTable {
    std::recursive_mutex mutex;
    std::unordered_map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // oldest first
    std::uintptr_t next = 0x3A0000;
};

WindowTable& Table() {
    static auto* table = new WindowTable;
    return *table;
}

void Unlink(Window& w) {
    WindowTable& t = Table();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    if (w.parent) {
        if (Window* p = FindQuiet(w.parent)) std::erase(p->children, w.handle);
    } else {
        std::erase(t.topLevel, w.handle);
    }
}

// WM_DESTROY before the children, WM_NCDESTROY after them.
void DestroyTree(HWND hwnd) {
    Window* w = FindQuiet(hwnd);
    if (!w) return;
    w->destroying = true;
    SendDirect(hwnd, WM_DESTROY, 0, 0);
    if (!(w = FindQuiet(hwnd))) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) DestroyTree(child);
    SendDirect(hwnd, WM_NCDESTROY, 0, 0);
    if (!(w = FindQuiet(hwnd))) return;
    ForgetWindow(hwnd);
    w->queue->timers.KillAll(hwnd);
    w->queue->DropFor(hwnd);
    bool topLevel = !w->IsChild();
    Unlink(*w);
    if (topLevel) TheBackend().Destroyed(hwnd);
    WindowTable& t = Table();
    std::unique_ptr<Window> doomed;
    {
        std::lock_guard<std::recursive_mutex> lock(t.mutex);
        auto it = t.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
        if (it != t.windows.end()) {
            doomed = std::move(it->second);
            t.windows.erase(it);
        }
    }
}

}  // namespace

Window* FindQuiet(HWND hwnd) {
    WindowTable& t = Table();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    auto it = t.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == t.windows.end() ? nullptr : it->second.get();
}

Window* Find(HWND hwnd) {
    Window* w = FindQuiet(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::shared_ptr<ThreadQueue> QueueOf(HWND hwnd) {
    WindowTable& t = Table();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    Window* w = FindQuiet(hwnd);
    return w ? w->queue : nullptr;
}

std::vector<HWND> TopLevelWindows() {
    WindowTable& t = Table();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    return t.topLevel;
}

Window* TopLevelOf(Window* w) {
    while (w && w->IsChild()) w = FindQuiet(w->parent);
    return w;
}

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    try {
        return proc(hwnd, msg, wParam, lParam);
    } catch (const std::exception& e) {
        SKYVANE_LOG("user", "window procedure of %p threw on message 0x%04X: %s", (void*)hwnd, msg, e.what());
    } catch (...) {
        SKYVANE_LOG("user", "window procedure of %p threw a non-standard exception on message 0x%04X", (void*)hwnd, msg);
    }
    return 0;
}

LRESULT SendDirect(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FindQuiet(hwnd);
    return w ? CallProc(w->proc, hwnd, msg, wParam, lParam) : 0;
}

}  // namespace skyvane::user

using namespace skyvane::user;

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
    std::shared_ptr<WindowClass> cls = lpClassName && !IS_INTRESOURCE(lpClassName) ? FindClass(lpClassName) : nullptr;
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    Window* parent = hWndParent ? Find(hWndParent) : nullptr;
    if (hWndParent && !parent) return nullptr;
    if ((dwStyle & WS_CHILD) && !parent) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    w->cls = cls;
    w->queue = ThreadQueue::Current();
    w->proc = cls->wc.lpfnWndProc;
    w->style = dwStyle & ~WS_VISIBLE;
    w->exStyle = dwExStyle;
    w->text = lpWindowName ? std::u16string(lpWindowName) : std::u16string();
    w->instance = hInstance;
    w->extra.assign(static_cast<std::size_t>(cls->wc.cbWndExtra), 0);
    if (dwStyle & WS_CHILD) {
        w->parent = hWndParent;
        w->id = reinterpret_cast<LONG_PTR>(hMenu);
    } else if (parent) {
        w->owner = TopLevelOf(parent)->handle;
    }
    if (!(dwStyle & WS_CHILD)) {
        skyvane::DeviceProfile profile = skyvane::ReadDeviceProfile();
        if (X == CW_USEDEFAULT) X = Y = 0;
        if (nWidth == CW_USEDEFAULT) {
            nWidth = static_cast<int>(profile.screenWidth);
            nHeight = static_cast<int>(profile.screenHeight);
        }
    } else {
        if (X == CW_USEDEFAULT) X = Y = 0;
        if (nWidth == CW_USEDEFAULT) nWidth = nHeight = 0;
    }
    w->rect = RECT{X, Y, X + std::max(nWidth, 0), Y + std::max(nHeight, 0)};

    HWND hwnd;
    WindowTable& t = Table();
    {
        std::lock_guard<std::recursive_mutex> lock(t.mutex);
        hwnd = reinterpret_cast<HWND>(t.next);
        t.next += 4;
        w->handle = hwnd;
        if (parent) {
            if (w->parent) parent->children.push_back(hwnd);
        }
        if (!(dwStyle & WS_CHILD)) t.topLevel.push_back(hwnd);
        t.windows.emplace(reinterpret_cast<std::uintptr_t>(hwnd), std::move(w));
    }
    Window* self = FindQuiet(hwnd);
    if (!self->IsChild()) EnsureSurface(*self);

    CREATESTRUCTW cs{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
                     lpWindowName, lpClassName, dwExStyle};
    if (!SendDirect(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendDirect(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        SKYVANE_LOG("user", "creation of a \"%s\" window was refused by its procedure", skyvane::ToUtf8(cls->name).c_str());
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!(self = FindQuiet(hwnd))) return nullptr;
    RECT client = ClientRect(*self);
    SendDirect(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right - client.left, client.bottom - client.top));
    if (!(self = FindQuiet(hwnd))) return nullptr;
    SendDirect(hwnd, WM_MOVE, 0, MAKELPARAM(self->rect.left, self->rect.top));
    if ((dwStyle & WS_VISIBLE) && FindQuiet(hwnd)) ShowWindow(hwnd, SW_SHOW);
    return FindQuiet(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    if (!w->queue->IsCurrentThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    // Owned windows go first.
    for (HWND top : TopLevelWindows())
        if (Window* o = FindQuiet(top); o && o->owner == hWnd) DestroyWindow(top);
    if ((w = FindQuiet(hWnd)) && w->Visible()) ShowWindow(hWnd, SW_HIDE);
    DestroyTree(hWnd);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) { return hWnd && FindQuiet(hWnd) && !FindQuiet(hWnd)->destroying ? TRUE : FALSE; }

BOOL IsChild(HWND hWndParent, HWND hWnd) {
    Window* w = FindQuiet(hWnd);
    while (w && w->IsChild()) {
        if (w->parent == hWndParent) return TRUE;
        w = FindQuiet(w->parent);
    }
    return FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    bool was = w->Visible();
    bool show = nCmdShow != SW_HIDE && nCmdShow != SW_MINIMIZE;
    if (was == show) return was;
    if (!show) {
        // What the window covered must be drawn again by what is beneath.
        if (w->IsChild()) {
            RECT area = w->rect;
            InvalidateRect(w->parent, &area, TRUE);
        }
        if (IsChild(hWnd, GetFocus()) || GetFocus() == hWnd) SetFocus(w->IsChild() ? w->parent : nullptr);
    }
    if (show) w->style |= WS_VISIBLE;
    else w->style &= ~WS_VISIBLE;
    SendDirect(hWnd, WM_SHOWWINDOW, show, 0);
    if (!(w = FindQuiet(hWnd))) return was;
    if (show) InvalidateRect(hWnd, nullptr, TRUE);
    if (!w->IsChild()) {
        if (show) {
            TheBackend().Show(*w);
            if (nCmdShow != SW_SHOWNA && nCmdShow != SW_SHOWNOACTIVATE && !(w->exStyle & WS_EX_NOACTIVATE))
                SetActiveWindow(hWnd);
        } else {
            TheBackend().Hide(*w);
            if (GetActiveWindow() == hWnd) SetActiveWindow(w->owner);
        }
    }
    return was;
}

BOOL IsWindowVisible(HWND hWnd) {
    Window* w = FindQuiet(hWnd);
    while (w) {
        if (!w->Visible()) return FALSE;
        if (!w->IsChild()) return TRUE;
        w = FindQuiet(w->parent);
    }
    return FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* w = Find(hWnd);
    if (!w) return FALSE;
    bool wasDisabled = !w->Enabled();
    if (wasDisabled == !bEnable) return wasDisabled;
    if (bEnable) w->style &= ~WS_DISABLED;
    else w->style |= WS_DISABLED;
    if (!bEnable && (GetFocus() == hWnd || IsChild(hWnd, GetFocus()))) SetFocus(nullptr);
    SendDirect(hWnd, WM_ENABLE, bEnable, 0);
    InvalidateRect(hWnd, nullptr, TRUE);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Window* w = FindQuiet(hWnd);
    return w && w->Enabled();
}

HWND GetParent(HWND hWnd) {
    Window* w = Find(hWnd);
    if (!w) return nullptr;
    return w->IsChild() ? w->parent : w->owner;
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
    Window* w = Find(hWndChild);
    Window* p = Find(hWndNewParent);
    if (!w || !p || !w->IsChild()) return nullptr;
    HWND old = w->parent;
    Unlink(*w);
    w->parent = hWndNewParent;
    p->children.push_back(hWndChild);
    InvalidateRect(old, nullptr, TRUE);
    InvalidateRect(hWndChild, nullptr, TRUE);
    return old;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
    Window* w = Find(hWnd);
    if (!w) return nullptr;
    if (uCmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (uCmd == GW_OWNER) return w->IsChild() ? nullptr : w->owner;
    std::vector<HWND> siblings;
    if (w->IsChild()) {
        if (Window* p = FindQuiet(w->parent)) siblings = p->children;
    } else {
        siblings = TopLevelWindows();
    }
    auto it = std::find(siblings.begin(), siblings.end(), hWnd);
    switch (uCmd) {
    case GW_HWNDFIRST: return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST: return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT: return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == siblings.begin() || it == siblings.end() ? nullptr : *(it - 1);
    default: return nullptr;
    }
}

HWND GetDesktopWindow() { return nullptr; }

HWND FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    for (HWND top : TopLevelWindows()) {
        Window* w = FindQuiet(top);
        if (!w || w->destroying) continue;
        if (lpClassName && !skyvane::EqualsNoCase(w->cls->name, lpClassName)) continue;
        if (lpWindowName && w->text != lpWindowName) continue;
        return top;
    }
    return nullptr;
}

int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (!lpString || nMaxCount <= 0) return 0;
    lpString[0] = 0;
    if (!Find(hWnd)) return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, nMaxCount, reinterpret_cast<LPARAM>(lpString)));
}

int GetWindowTextLengthW(HWND hWnd) {
    if (!Find(hWnd)) return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (!Find(hWnd)) return FALSE;
    return static_cast<BOOL>(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : u"")));
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) {
    Window* w = Find(hWnd);
    if (!w) return 0;
    switch (nIndex) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA: return w->userData;
    case GWLP_ID: return w->id;
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->IsChild() ? w->parent : w->owner);
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    default: break;
    }
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + nIndex, sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Window* w = Find(hWnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(hWnd, nIndex);
    switch (nIndex) {
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(dwNewLong); return old;
    case GWLP_USERDATA: w->userData = dwNewLong; return old;
    case GWLP_ID: w->id = dwNewLong; return old;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(dwNewLong); return old;
    case GWL_STYLE: w->style = static_cast<DWORD>(dwNewLong); return old;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(dwNewLong); return old;
    case GWLP_HWNDPARENT:
        if (!w->IsChild()) w->owner = reinterpret_cast<HWND>(dwNewLong);
        return old;
    default: break;
    }
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(w->extra.data() + nIndex, &dwNewLong, sizeof dwNewLong);
    return old;
}

LONG GetWindowLongW(HWND hWnd, int nIndex) {
    Window* w = Find(hWnd);
    if (!w) return 0;
    if (nIndex >= 0) {
        if (static_cast<std::size_t>(nIndex) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG value;
        std::memcpy(&value, w->extra.data() + nIndex, sizeof value);
        return value;
    }
    return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
    Window* w = Find(hWnd);
    if (!w) return 0;
    if (nIndex == GWLP_WNDPROC) {
        SetLastError(ERROR_INVALID_INDEX);  // a procedure does not fit 32 bits here: use SetWindowLongPtrW
        return 0;
    }
    if (nIndex >= 0) {
        if (static_cast<std::size_t>(nIndex) + sizeof(LONG) > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        LONG old;
        std::memcpy(&old, w->extra.data() + nIndex, sizeof old);
        std::memcpy(w->extra.data() + nIndex, &dwNewLong, sizeof dwNewLong);
        return old;
    }
    return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, dwNewLong));
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return CallProc(lpPrevWndFunc, hWnd, Msg, wParam, lParam);
}
