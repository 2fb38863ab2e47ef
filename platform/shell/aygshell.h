// The handheld shell's dialog and soft-key functions: full-screen dialogs
// (SHInitDialog) and the soft-key menu bar (SHCreateMenuBar).
//
// The menu bar is a strip along the bottom of its parent's client area with
// two soft keys: the top-level items of its menu, left and right. A key that
// is a command sends WM_COMMAND with its id to the parent; a key that holds a
// popup opens that menu above the bar and sends the chosen command. F1 and F2
// (VK_TSOFT1, VK_TSOFT2) press the keys from the keyboard, even while a
// control has the focus. The parent keeps the bar's height free at its bottom.
#pragma once

#include "platform/user/user_types.h"

struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;  // with SHCMBF_HMENU: a menu resource (LoadMenuW)
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;  // the bar made
    COLORREF clrBk;
};
typedef SHMENUBARINFO* PSHMENUBARINFO;
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010
#define SHCMBM_GETMENU (WM_USER + 402)  // the bar's menu: GetSubMenu(menu, 0 or 1) reaches a key's popup
BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi);

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
typedef SHINITDLGINFO* PSHINITDLGINFO;
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
// SHIDIF_SIZEDLG, SHIDIF_SIZEDLGFULLSCREEN and SHIDIF_FULLSCREENNOMENUBAR make
// the dialog as large as the screen; the other flags have nothing to do here.
BOOL SHInitDialog(PSHINITDLGINFO pshidi);

namespace skyvane {
// The menu bar's height on this screen.
int MenuBarHeight();
}  // namespace skyvane
