// Dialog boxes from templates defined in code, the dialog manager (Tab and
// arrow navigation, Enter and Escape), modal loops and message boxes.
//
// A template gives the dialog's style, caption and size and each control's
// id, class, text, style and rectangle in dialog units: a horizontal unit is
// a quarter of the dialog font's average character width, a vertical unit an
// eighth of its height (MapDialogRect). The font is the template's (8-point
// Tahoma by default, as the platform's dialogs use).
#pragma once

#include <string_view>
#include <vector>

#include "platform/user/user_types.h"

namespace skyvane {

struct DialogItem {
    WORD id;
    std::u16string_view className;  // "BUTTON", "EDIT", "STATIC", "LISTBOX", "COMBOBOX", "SysListView32" ...
    std::u16string_view text;
    DWORD style;  // WS_CHILD is implied; WS_VISIBLE is not
    short x, y, cx, cy;
    DWORD exStyle = 0;
};

struct DialogTemplate {
    DWORD style;  // WS_POPUP or WS_CHILD, WS_VISIBLE, DS_* ...
    short x, y, cx, cy;
    std::u16string_view caption;
    std::vector<DialogItem> items;
    DWORD exStyle = 0;
    WORD pointSize = 8;
    std::u16string_view face = u"Tahoma";
};

// Makes a template available by number, as a resource of the module, for
// DialogBoxParamW and CreateDialogParamW with MAKEINTRESOURCEW(id).
void AddDialogResource(HINSTANCE module, WORD id, const DialogTemplate* dialogTemplate);

}  // namespace skyvane

typedef const skyvane::DialogTemplate* LPCDLGTEMPLATEW;

#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_SETFOREGROUND 0x200L
#define DS_CONTROL 0x400L
#define DS_CENTER 0x0800L

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define WM_NEXTDLGCTL 0x0028

// Modal: disables the owner, runs its own message loop until EndDialog, and
// returns EndDialog's result (-1 when the dialog cannot be made). A WM_QUIT
// that arrives ends the loop and is posted again for the caller's loop.
INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
// Modeless (or a child dialog inside another window): shown only when the
// template has WS_VISIBLE; the caller's loop passes its messages through
// IsDialogMessageW.
HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
BOOL EndDialog(HWND hDlg, INT_PTR nResult);
LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
// Handles the keys that move between controls (Tab, arrows in a group,
// Enter for the default button, Escape for IDCANCEL) and dispatches every
// other message of the dialog; FALSE when the message is not the dialog's.
BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
inline BOOL IsDialogMessage(HWND d, LPMSG m) { return IsDialogMessageW(d, m); }
HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious);
BOOL MapDialogRect(HWND hDlg, LPRECT lpRect);
LONG GetDialogBaseUnits();

HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
int GetDlgCtrlID(HWND hWnd);
LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax);
BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned);
UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned);
BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck);
UINT IsDlgButtonChecked(HWND hDlg, int nIDButton);
BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton);

// Message boxes: the text with OK, OK and Cancel, Yes and No, or Yes, No and
// Cancel (MB_OK ... MB_YESNOCANCEL), the caption on a title strip, the
// default button from MB_DEFBUTTONn; Escape answers IDCANCEL only where a
// Cancel button exists (IDOK for a lone OK). Returns the button's id.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
inline int MessageBox(HWND h, LPCWSTR t, LPCWSTR c, UINT u) { return MessageBoxW(h, t, c, u); }
