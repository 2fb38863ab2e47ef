// The Today screen's messages and records, with the platform's values: what
// the Today host sends a Today item's window and what the item asks of it.
#pragma once

#include "platform/base/win_types.h"
#include "platform/user/user_types.h"

#define WM_TODAYCUSTOM_CLEARCACHE (WM_USER + 242)          // 1266
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE (WM_USER + 243)   // 1267
#define WM_TODAYCUSTOM_RECEIVEDSELECTION (WM_USER + 244)   // 1268
#define WM_TODAYCUSTOM_LOSTSELECTION (WM_USER + 245)       // 1269
#define WM_TODAYCUSTOM_USERNAVIGATION (WM_USER + 246)      // 1270
#define WM_TODAYCUSTOM_ACTION (WM_USER + 247)              // 1271

#define TODAYM_GETCOLOR (WM_USER + 100)        // 1124
#define TODAYM_DRAWWATERMARK (WM_USER + 101)   // 1125
#define TODAYM_TOOKSELECTION (WM_USER + 102)   // 1126

#define TODAYCOLOR_TEXT 0x10000004
#define TODAYCOLOR_HIGHLIGHT 0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT 0x10000023

#define MAX_ITEMNAME 32
enum TODAYLISTITEMTYPE { tlitOwnerInfo = 0, tlitAppointments, tlitMail, tlitTasks, tlitCustom, tlitNil };

struct TODAYLISTITEM {
    WCHAR szName[MAX_ITEMNAME];
    TODAYLISTITEMTYPE tlit;
    DWORD dwOrder;
    DWORD cyp;  // the item's height in pixels
    BOOL fEnabled;
    BOOL fOptions;
    DWORD grfFlags;
    WCHAR szDLLPath[MAX_PATH];
    HINSTANCE hinstDLL;
    HWND hwndCustom;
    BOOL fSizeOnDrawItem;
    TODAYLISTITEM* ptliNext;
};
typedef TODAYLISTITEM* PTODAYLISTITEM;

struct TODAYDRAWWATERMARKINFO {
    HDC hdc;
    RECT rc;
    HWND hwnd;
};
