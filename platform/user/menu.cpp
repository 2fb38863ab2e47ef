// Menus behind HMENU and the popup window that shows one.
#include "platform/user/menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "platform/kernel/handles.h"
#include "platform/kernel/system_info.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/user.h"

namespace {

struct Item {
    UINT flags;
    UINT id;
    HMENU sub;
    std::u16string text;
};
struct Menu {
    std::vector<Item> items;
};

std::mutex g_mutex;
std::map<HMENU, std::unique_ptr<Menu>>& Menus() {
    static auto* menus = new std::map<HMENU, std::unique_ptr<Menu>>;
    return *menus;
}
std::map<std::pair<HINSTANCE, WORD>, const skyvane::MenuTemplate*>& Templates() {
    static auto* templates = new std::map<std::pair<HINSTANCE, WORD>, const skyvane::MenuTemplate*>;
    return *templates;
}

Menu* FindMenu(HMENU h) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Menus().find(h);
    return it == Menus().end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
    static std::uintptr_t next = 0x5C0000;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto h = reinterpret_cast<HMENU>(next);
    next += 4;
    Menus()[h] = std::make_unique<Menu>();
    return h;
}

// The item an id (MF_BYCOMMAND, searching submenus) or a position names.
Item* Locate(HMENU h, UINT which, UINT flags) {
    Menu* m = FindMenu(h);
    if (!m) return nullptr;
    if (flags & MF_BYPOSITION) return which < m->items.size() ? &m->items[which] : nullptr;
    for (Item& item : m->items) {
        if (!(item.flags & MF_POPUP) && item.id == which) return &item;
        if (item.sub)
            if (Item* inner = Locate(item.sub, which, flags)) return inner;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// The popup window of TrackPopupMenu.

constexpr char16_t kMenuClass[] = u"#32768";

struct Popup {
    HMENU menu;
    int hot = -1;
    bool done = false;
    UINT chosen = 0;  // the command, when done
    int rowHeight = 16;
};

std::map<HWND, Popup*>& Popups() {
    static std::map<HWND, Popup*> popups;  // the thread that tracks owns its popups
    return popups;
}

bool Selectable(const Item& item) { return !(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)); }

int RowAt(const Popup& p, int y) { return y < 1 ? -1 : (y - 1) / p.rowHeight; }

UINT Track(HMENU menu, UINT flags, int x, int y, HWND owner);

void Choose(HWND hwnd, Popup& p, int row) {
    Menu* m = FindMenu(p.menu);
    if (!m || row < 0 || row >= static_cast<int>(m->items.size()) || !Selectable(m->items[row])) return;
    const Item& item = m->items[row];
    if (item.flags & MF_POPUP) {
        RECT r;
        GetWindowRect(hwnd, &r);
        UINT inner = Track(item.sub, TPM_RETURNCMD, r.right - 2, r.top + 1 + row * p.rowHeight, nullptr);
        if (!inner) return;  // closed without a choice: stay in this menu
        p.chosen = inner;
    } else {
        p.chosen = item.id;
    }
    p.done = true;
}

void MoveHot(HWND hwnd, Popup& p, int step) {
    Menu* m = FindMenu(p.menu);
    if (!m || m->items.empty()) return;
    int n = static_cast<int>(m->items.size());
    int i = p.hot;
    for (int k = 0; k < n; ++k) {
        i = ((i < 0 ? (step > 0 ? -1 : 0) : i) + step + n) % n;
        if (Selectable(m->items[i])) break;
    }
    p.hot = i;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void PaintPopup(HWND hwnd, Popup& p) {
    namespace paint = skyvane::user::paint;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT c;
    GetClientRect(hwnd, &c);
    paint::Fill(dc, c, GetSysColor(COLOR_MENU));
    paint::Frame(dc, c, GetSysColor(COLOR_WINDOWFRAME));
    Menu* m = FindMenu(p.menu);
    HFONT font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    int mark = paint::Scaled(14);
    for (int i = 0; m && i < static_cast<int>(m->items.size()); ++i) {
        const Item& item = m->items[i];
        RECT r{1, 1 + i * p.rowHeight, c.right - 1, 1 + (i + 1) * p.rowHeight};
        if (item.flags & MF_SEPARATOR) {
            RECT line{r.left + 2, (r.top + r.bottom) / 2, r.right - 2, (r.top + r.bottom) / 2 + 1};
            paint::Fill(dc, line, GetSysColor(COLOR_BTNSHADOW));
            continue;
        }
        bool hot = i == p.hot;
        if (hot) paint::Fill(dc, r, GetSysColor(COLOR_HIGHLIGHT));
        COLORREF ink = !Selectable(item) ? GetSysColor(COLOR_GRAYTEXT) : hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_MENUTEXT);
        if (item.flags & MF_CHECKED) paint::Text(dc, font, ink, u"\u2713", RECT{r.left + 2, r.top, r.left + mark, r.bottom}, DT_SINGLELINE | DT_VCENTER);
        paint::Text(dc, font, ink, item.text.c_str(), RECT{r.left + mark, r.top, r.right - mark, r.bottom}, DT_SINGLELINE | DT_VCENTER);
        if (item.flags & MF_POPUP) paint::Arrow(dc, RECT{r.right - mark, r.top, r.right, r.bottom}, paint::Direction::Right, ink);
    }
    EndPaint(hwnd, &ps);
}

LRESULT PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = Popups().find(hwnd);
    if (it == Popups().end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
    Popup& p = *it->second;
    switch (msg) {
    case WM_PAINT: PaintPopup(hwnd, p); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE: {
        int row = RowAt(p, GET_Y_LPARAM(lParam));
        Menu* m = FindMenu(p.menu);
        if (m && row >= 0 && row < static_cast<int>(m->items.size()) && row != p.hot && Selectable(m->items[row])) {
            p.hot = row;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    }
    case WM_LBUTTONDOWN: {
        RECT c;
        GetClientRect(hwnd, &c);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (!PtInRect(&c, pt)) p.done = true;  // a tap elsewhere cancels
        return 0;
    }
    case WM_LBUTTONUP: {
        RECT c;
        GetClientRect(hwnd, &c);
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (PtInRect(&c, pt)) Choose(hwnd, p, RowAt(p, pt.y));
        return 0;
    }
    default: return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

UINT Track(HMENU menu, UINT flags, int x, int y, HWND owner) {
    Menu* m = FindMenu(menu);
    if (!m || m->items.empty()) return 0;
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = PopupProc;
        wc.lpszClassName = kMenuClass;
        wc.style = CS_GLOBALCLASS;
        RegisterClassW(&wc);
        return true;
    }();
    (void)registered;
    Popup p{menu};
    HDC dc = GetDC(nullptr);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    int width = 0;
    for (const Item& item : m->items) {
        SIZE size{};
        GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &size);
        width = std::max<int>(width, size.cx);
    }
    ReleaseDC(nullptr, dc);
    p.rowHeight = tm.tmHeight + skyvane::user::paint::Scaled(8);
    width += 2 * skyvane::user::paint::Scaled(14) + 2;
    int height = static_cast<int>(m->items.size()) * p.rowHeight + 2;
    if (flags & TPM_RIGHTALIGN) x -= width;
    else if (flags & TPM_CENTERALIGN) x -= width / 2;
    if (flags & TPM_BOTTOMALIGN) y -= height;
    x = std::clamp(x, 0, std::max(0, GetSystemMetrics(SM_CXSCREEN) - width));
    y = std::clamp(y, 0, std::max(0, GetSystemMetrics(SM_CYSCREEN) - height));
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kMenuClass, u"", WS_POPUP, x, y, width, height, owner,
                                nullptr, nullptr, nullptr);
    if (!hwnd) return 0;
    Popups()[hwnd] = &p;
    ShowWindow(hwnd, SW_SHOWNA);
    HWND previousCapture = SetCapture(hwnd);
    MSG msg;
    bool quit = false;
    while (!p.done) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            quit = true;
            break;
        }
        if (msg.message == WM_KEYDOWN) {
            switch (msg.wParam) {
            case VK_UP: MoveHot(hwnd, p, -1); break;
            case VK_DOWN: MoveHot(hwnd, p, 1); break;
            case VK_RETURN:
            case VK_RIGHT: Choose(hwnd, p, p.hot); break;
            case VK_ESCAPE:
            case VK_LEFT: p.done = true; break;
            default: break;
            }
            continue;
        }
        if (msg.message == WM_KEYUP || msg.message == WM_CHAR || msg.message == WM_HOTKEY) {
            if (msg.message == WM_HOTKEY) p.done = true;  // a soft key while the menu is up closes it
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    Popups().erase(hwnd);
    if (GetCapture() == hwnd) ReleaseCapture();
    if (previousCapture && IsWindow(previousCapture)) SetCapture(previousCapture);
    DestroyWindow(hwnd);
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return p.chosen;
}

HMENU Build(const std::vector<skyvane::MenuItem>& items, bool popup) {
    HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
    for (const skyvane::MenuItem& item : items) {
        std::u16string text(item.text);
        if (!item.popup.empty()) AppendMenuW(menu, item.flags | MF_POPUP, reinterpret_cast<UINT_PTR>(Build(item.popup, true)), text.c_str());
        else AppendMenuW(menu, item.flags, item.id, text.c_str());
    }
    return menu;
}

}  // namespace

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

BOOL DestroyMenu(HMENU hMenu) {
    std::unique_ptr<Menu> doomed;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = Menus().find(hMenu);
        if (it == Menus().end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        doomed = std::move(it->second);
        Menus().erase(it);
    }
    for (const Item& item : doomed->items)
        if (item.sub) DestroyMenu(item.sub);
    return TRUE;
}

BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    Menu* m = FindMenu(hMenu);
    if (!m) return FALSE;
    Item item{uFlags, static_cast<UINT>(uIDNewItem), nullptr, lpNewItem && !(uFlags & MF_SEPARATOR) ? lpNewItem : u""};
    if (uFlags & MF_POPUP) {
        item.sub = reinterpret_cast<HMENU>(uIDNewItem);
        item.id = 0xFFFFFFFFu;
    }
    m->items.push_back(std::move(item));
    return TRUE;
}

BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    Menu* m = FindMenu(hMenu);
    Item* item = Locate(hMenu, uPosition, uFlags);
    if (!m || !item) return FALSE;
    for (auto it = m->items.begin(); it != m->items.end(); ++it) {
        if (&*it != item) continue;
        if (it->sub) DestroyMenu(it->sub);
        m->items.erase(it);
        return TRUE;
    }
    return FALSE;  // found in a submenu: delete it there
}

int GetMenuItemCount(HMENU hMenu) {
    Menu* m = FindMenu(hMenu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU hMenu, int nPos) {
    Item* item = nPos >= 0 ? Locate(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION) : nullptr;
    return item && !(item->flags & MF_POPUP) ? item->id : 0xFFFFFFFFu;
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    Item* item = nPos >= 0 ? Locate(hMenu, static_cast<UINT>(nPos), MF_BYPOSITION) : nullptr;
    return item ? item->sub : nullptr;
}

int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags) {
    Item* item = Locate(hMenu, uIDItem, flags);
    if (!item) return 0;
    if (!lpString || cchMax <= 0) return static_cast<int>(item->text.size());
    int n = std::min<int>(cchMax - 1, static_cast<int>(item->text.size()));
    std::copy_n(item->text.data(), n, lpString);
    lpString[n] = 0;
    return n;
}

DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
    Item* item = Locate(hMenu, uIDCheckItem, uCheck & MF_BYPOSITION);
    if (!item) return 0xFFFFFFFFu;
    DWORD old = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~MF_CHECKED) | (uCheck & MF_CHECKED);
    return old;
}

BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    Item* item = Locate(hMenu, uIDEnableItem, uEnable & MF_BYPOSITION);
    if (!item) return -1;
    BOOL old = static_cast<BOOL>(item->flags & (MF_GRAYED | MF_DISABLED));
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return old;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT* prcRect) {
    if (!FindMenu(hMenu)) return FALSE;
    UINT chosen = Track(hMenu, uFlags, x, y, hWnd);
    if (uFlags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen && hWnd) PostMessageW(hWnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return chosen != 0;
}

BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, const void* lptpm) {
    return TrackPopupMenu(hMenu, uFlags, x, y, 0, hWnd, nullptr);
}

void skyvane::AddMenuResource(HINSTANCE module, WORD id, const MenuTemplate* menuTemplate) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Templates()[{module, id}] = menuTemplate;
}

HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
    const skyvane::MenuTemplate* t = nullptr;
    if (IS_INTRESOURCE(lpMenuName)) {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = Templates().find({hInstance, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpMenuName))});
        if (it != Templates().end()) t = it->second;
    }
    if (!t) {
        SetLastError(1814L /*ERROR_RESOURCE_NAME_NOT_FOUND*/);
        return nullptr;
    }
    return Build(t->items, false);
}
