// Menus: built with CreatePopupMenu and AppendMenuW or from templates in
// code, shown with TrackPopupMenu; and hot keys (RegisterHotKey), through
// which the soft-key bar takes its keys.
#pragma once

#include <string_view>
#include <vector>

#include "platform/user/user_types.h"

#define MF_STRING 0x0000
#define MF_ENABLED 0x0000
#define MF_UNCHECKED 0x0000
#define MF_BYCOMMAND 0x0000
#define MF_GRAYED 0x0001
#define MF_DISABLED 0x0002
#define MF_CHECKED 0x0008
#define MF_POPUP 0x0010
#define MF_BYPOSITION 0x0400
#define MF_SEPARATOR 0x0800

#define TPM_LEFTALIGN 0x0000
#define TPM_CENTERALIGN 0x0004
#define TPM_RIGHTALIGN 0x0008
#define TPM_TOPALIGN 0x0000
#define TPM_BOTTOMALIGN 0x0020
#define TPM_NONOTIFY 0x0080
#define TPM_RETURNCMD 0x0100

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU hMenu);  // with its submenus
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
BOOL DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags);
int GetMenuItemCount(HMENU hMenu);
UINT GetMenuItemID(HMENU hMenu, int nPos);  // 0xFFFFFFFF for a submenu or an invalid position
HMENU GetSubMenu(HMENU hMenu, int nPos);
int GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags);
DWORD CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck);  // the previous state, or 0xFFFFFFFF
BOOL EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
// Shows a popup menu at a screen point and waits for the choice: Up and Down
// move, Right or Enter opens a submenu, Left or Escape closes one, Enter or a
// tap chooses, a tap elsewhere cancels. With TPM_RETURNCMD returns the chosen
// command (0 when none); otherwise posts WM_COMMAND to hWnd and returns
// whether something was chosen.
BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT* prcRect);
BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hWnd, const void* lptpm);

namespace skyvane {
struct MenuItem {
    UINT id;
    std::u16string_view text;
    UINT flags = MF_STRING;
    std::vector<MenuItem> popup = {};
};
struct MenuTemplate {
    std::vector<MenuItem> items;
};
// Makes a menu template available by number for LoadMenuW(module, MAKEINTRESOURCEW(id)).
void AddMenuResource(HINSTANCE module, WORD id, const MenuTemplate* menuTemplate);
}  // namespace skyvane
HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName);

// Hot keys: a key (without modifiers here) that reaches the thread's queue
// becomes WM_HOTKEY for the window that registered it. The platform keeps one
// owner per key; here the last registration wins until it is taken back, so
// that a dialog's soft keys work above its owner's.
#define WM_HOTKEY 0x0312
#define MOD_ALT 0x0001
#define MOD_CONTROL 0x0002
#define MOD_SHIFT 0x0004
BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk);
BOOL UnregisterHotKey(HWND hWnd, int id);
