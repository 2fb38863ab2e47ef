// The dialog manager: keyboard navigation between a dialog's controls and
// the modal loop.
//
// Tab and Shift+Tab visit the visible, enabled WS_TABSTOP controls in
// creation order; the arrow keys move within a group (a WS_GROUP control and
// those after it up to the next WS_GROUP) and click a radio button they land
// on; Enter presses the focused push button or else the default button;
// Escape presses IDCANCEL. A control that asks for these keys through
// WM_GETDLGCODE gets them instead.
#include <vector>

#include "platform/base/log.h"
#include "platform/user/controls/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/dialog_state.h"
#include "platform/user/user.h"

using namespace skyvane::user;

namespace {

// A control's own style decides, so that a dialog not yet shown has a first control.
bool Usable(HWND h) {
    auto style = GetWindowLongPtrW(h, GWL_STYLE);
    return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

std::vector<HWND> Children(HWND dlg) {
    std::vector<HWND> all;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        // A child dialog (WS_EX_CONTROLPARENT) takes part with its own controls.
        if (GetWindowLongPtrW(c, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
            if (!Usable(c)) continue;
            std::vector<HWND> inner = Children(c);
            all.insert(all.end(), inner.begin(), inner.end());
        } else {
            all.push_back(c);
        }
    }
    return all;
}

void Press(HWND dlg, int id) {
    HWND button = GetDlgItem(dlg, id);
    if (button && !IsWindowEnabled(button)) return;
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void FocusFromKeyboard(HWND control) {
    if (!control) return;
    SetFocus(control);
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, 0x00B1 /*EM_SETSEL*/, 0, -1);
}

}  // namespace

HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> all = Children(hDlg);
    int n = static_cast<int>(all.size());
    if (n == 0) return nullptr;
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (all[i] == hCtl || IsChild(all[i], hCtl)) start = i;
    for (int step = 1; step <= n; ++step) {
        int i = start < 0 ? (bPrevious ? n - step : step - 1) : ((start + (bPrevious ? -step : step)) % n + n) % n;
        HWND c = all[i];
        if ((GetWindowLongPtrW(c, GWL_STYLE) & WS_TABSTOP) && Usable(c)) return c;
    }
    return hCtl;
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> all = Children(hDlg);
    int n = static_cast<int>(all.size());
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (all[i] == hCtl) at = i;
    if (at < 0) return hCtl;
    int first = at;
    while (first > 0 && !(GetWindowLongPtrW(all[first], GWL_STYLE) & WS_GROUP)) --first;
    int last = at;
    while (last + 1 < n && !(GetWindowLongPtrW(all[last + 1], GWL_STYLE) & WS_GROUP)) ++last;
    int size = last - first + 1;
    for (int step = 1; step < size; ++step) {
        int i = first + ((at - first + (bPrevious ? -step : step)) % size + size) % size;
        if (Usable(all[i])) return all[i];
    }
    return hCtl;
}

BOOL IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
    if (!lpMsg || !hDlg || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd))) return FALSE;
    if (lpMsg->message == WM_KEYDOWN) {
        UINT vk = static_cast<UINT>(lpMsg->wParam);
        LRESULT code = SendMessageW(lpMsg->hwnd, WM_GETDLGCODE, vk, reinterpret_cast<LPARAM>(lpMsg));
        bool wantsAll = code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
        HWND focus = GetFocus();
        switch (vk) {
        case VK_TAB:
            if (wantsAll || (code & DLGC_WANTTAB)) break;
            FocusFromKeyboard(GetNextDlgTabItem(hDlg, focus, GetKeyState(VK_SHIFT) < 0));
            return TRUE;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (wantsAll || (code & DLGC_WANTARROWS)) break;
            HWND next = GetNextDlgGroupItem(hDlg, focus, vk == VK_LEFT || vk == VK_UP);
            if (next && next != focus) {
                SetFocus(next);
                if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) SendMessageW(next, BM_CLICK, 0, 0);
            }
            return TRUE;
        }
        case VK_RETURN: {
            if (wantsAll) break;
            if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
                Press(hDlg, static_cast<int>(GetWindowLongPtrW(lpMsg->hwnd, GWLP_ID)));
            } else {
                LRESULT def = SendMessageW(hDlg, DM_GETDEFID, 0, 0);
                Press(hDlg, HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK);
            }
            return TRUE;
        }
        case VK_ESCAPE:
            if (wantsAll) break;
            Press(hDlg, IDCANCEL);
            return TRUE;
        default: break;
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageW(lpMsg);
    return TRUE;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    if (!hDialogTemplate) return -1;
    HWND owner = hWndParent;
    while (owner && (GetWindowLongPtrW(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
    HWND dlg = CreateDialogFromTemplate(hInstance, *hDialogTemplate, owner, lpDialogFunc, dwInitParam, true);
    if (!dlg) return -1;
    DialogState* state = FindDialog(dlg);
    if (owner && IsWindowEnabled(owner) && !state->ended) {
        EnableWindow(owner, FALSE);
        state->ownerDisabled = true;
    }
    if (!state->ended) ShowWindow(dlg, SW_SHOW);
    MSG msg;
    bool quit = false;
    while (!state->ended && !state->destroyed) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            quit = true;
            break;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = state->ended ? state->result : -1;
    if (state->ownerDisabled && owner) EnableWindow(owner, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    ForgetDialog(dlg);
    if (owner && IsWindow(owner)) SetActiveWindow(owner);
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    const skyvane::DialogTemplate* t = FindDialogResource(hInstance, lpTemplateName);
    if (!t) {
        SKYVANE_LOG("user", "DialogBoxParamW: no dialog template %u", static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(lpTemplateName)));
        return -1;
    }
    return DialogBoxIndirectParamW(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}
