// The soft-key menu bar and SHInitDialog.
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/base/log.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/system_info.h"
#include "platform/shell/aygshell.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/menu.h"
#include "platform/user/user.h"

namespace {

namespace paint = skyvane::user::paint;
constexpr char16_t kBarClass[] = u"menu_worker";
constexpr int kLeftKey = 1, kRightKey = 2;

struct Bar {
    HMENU menu = nullptr;  // owned
    int pressed = 0;
};

std::map<HWND, Bar>& Bars() {
    static std::map<HWND, Bar> bars;  // windows of the UI thread only
    return bars;
}

// The soft key's item: position 0 (left) or 1 (right) of the menu.
void Press(HWND bar, int key) {
    auto it = Bars().find(bar);
    if (it == Bars().end() || !it->second.menu) return;
    HMENU menu = it->second.menu;
    int position = key - 1;
    if (position >= GetMenuItemCount(menu)) return;
    HWND parent = GetParent(bar);
    if (HMENU popup = GetSubMenu(menu, position)) {
        it->second.pressed = key;
        InvalidateRect(bar, nullptr, TRUE);
        RECT r;
        GetWindowRect(bar, &r);
        UINT flags = TPM_RETURNCMD | TPM_BOTTOMALIGN | (key == kLeftKey ? TPM_LEFTALIGN : TPM_RIGHTALIGN);
        UINT chosen = static_cast<UINT>(TrackPopupMenu(popup, flags, key == kLeftKey ? r.left : r.right, r.top, 0, parent, nullptr));
        if (auto again = Bars().find(bar); again != Bars().end()) again->second.pressed = 0;
        if (IsWindow(bar)) InvalidateRect(bar, nullptr, TRUE);
        if (chosen) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
        return;
    }
    UINT id = GetMenuItemID(menu, position);
    if (id != 0xFFFFFFFFu) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(bar));
}

void PaintBar(HWND hwnd, const Bar& bar) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT c;
    GetClientRect(hwnd, &c);
    paint::Fill(dc, c, GetSysColor(COLOR_ACTIVECAPTION));
    HFONT font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    COLORREF ink = GetSysColor(COLOR_CAPTIONTEXT);
    int half = c.right / 2;
    RECT divider{half, c.top + 4, half + 1, c.bottom - 4};
    paint::Fill(dc, divider, GetSysColor(COLOR_INACTIVECAPTION));
    for (int position = 0; bar.menu && position < std::min(2, GetMenuItemCount(bar.menu)); ++position) {
        WCHAR text[64];
        GetMenuStringW(bar.menu, position, text, 64, MF_BYPOSITION);
        RECT key = position == 0 ? RECT{0, 0, half, c.bottom} : RECT{half + 1, 0, c.right, c.bottom};
        if (bar.pressed == position + 1) paint::Fill(dc, key, GetSysColor(COLOR_HIGHLIGHT));
        paint::Text(dc, font, ink, text, key, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    EndPaint(hwnd, &ps);
}

LRESULT BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = Bars().find(hwnd);
    switch (msg) {
    case WM_PAINT:
        if (it != Bars().end()) PaintBar(hwnd, it->second);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONUP: {
        RECT c;
        GetClientRect(hwnd, &c);
        Press(hwnd, GET_X_LPARAM(lParam) < c.right / 2 ? kLeftKey : kRightKey);
        return 0;
    }
    case WM_HOTKEY: Press(hwnd, static_cast<int>(wParam)); return 0;
    case SHCMBM_GETMENU: return it != Bars().end() ? reinterpret_cast<LRESULT>(it->second.menu) : 0;
    case WM_DESTROY:
        UnregisterHotKey(hwnd, kLeftKey);
        UnregisterHotKey(hwnd, kRightKey);
        if (it != Bars().end()) {
            if (it->second.menu) DestroyMenu(it->second.menu);
            Bars().erase(it);
        }
        return 0;
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int skyvane::MenuBarHeight() { return paint::Scaled(26); }

BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi) {
    if (!pmbi || pmbi->cbSize != sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = BarProc;
        wc.lpszClassName = kBarClass;
        RegisterClassW(&wc);
        return true;
    }();
    (void)registered;
    HMENU menu = nullptr;
    if (!(pmbi->dwFlags & SHCMBF_EMPTYBAR)) {
        if (!(pmbi->dwFlags & SHCMBF_HMENU)) {
            SKYVANE_LOG("shell", "SHCreateMenuBar: only menus (SHCMBF_HMENU) are offered, not tool bars");
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
        if (!menu) return FALSE;
    }
    RECT c;
    GetClientRect(pmbi->hwndParent, &c);
    int height = skyvane::MenuBarHeight();
    DWORD style = WS_CHILD | ((pmbi->dwFlags & SHCMBF_HIDDEN) ? 0 : WS_VISIBLE);
    HWND bar = CreateWindowExW(0, kBarClass, u"", style, 0, c.bottom - height, c.right, height, pmbi->hwndParent, nullptr,
                               nullptr, nullptr);
    if (!bar) {
        if (menu) DestroyMenu(menu);
        return FALSE;
    }
    Bars()[bar].menu = menu;
    RegisterHotKey(bar, kLeftKey, 0, VK_TSOFT1);
    RegisterHotKey(bar, kRightKey, 0, VK_TSOFT2);
    pmbi->hwndMB = bar;
    return TRUE;
}

BOOL SHInitDialog(PSHINITDLGINFO pshidi) {
    if (!pshidi || !(pshidi->dwMask & SHIDIM_FLAGS) || !IsWindow(pshidi->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pshidi->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))
        MoveWindow(pshidi->hDlg, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    return TRUE;
}
