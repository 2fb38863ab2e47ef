// Dialogs: creation from a template, the dialog class's procedure
// (DefDlgProcW), EndDialog and the functions that reach a dialog's items.
#include "platform/user/dialog.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/base/log.h"
#include "platform/base/wide_format.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/system_info.h"
#include "platform/user/controls/controls.h"
#include "platform/user/controls/system_classes.h"
#include "platform/user/dialog_state.h"
#include "platform/user/user.h"

namespace skyvane::user {
namespace {

constexpr char16_t kDialogClass[] = u"#32770";

std::mutex g_mutex;
std::map<HWND, DialogState>& States() {
    static auto* states = new std::map<HWND, DialogState>;
    return *states;
}
std::map<std::pair<HINSTANCE, WORD>, const DialogTemplate*>& Resources() {
    static auto* resources = new std::map<std::pair<HINSTANCE, WORD>, const DialogTemplate*>;
    return *resources;
}

int MulDivRound(int a, int b, int c) { return static_cast<int>((static_cast<long long>(a) * b + (a >= 0 ? c / 2 : -c / 2)) / c); }

// Messages whose answer is the dialog procedure's own return value.
bool AnswersDirectly(UINT msg) {
    return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_INITDIALOG;
}

INT_PTR CallDialogProc(DLGPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        return proc(hwnd, msg, wParam, lParam);
    } catch (const std::exception& e) {
        SKYVANE_LOG("user", "dialog procedure of %p threw on message 0x%04X: %s", (void*)hwnd, msg, e.what());
    } catch (...) {
        SKYVANE_LOG("user", "dialog procedure of %p threw a non-standard exception on message 0x%04X", (void*)hwnd, msg);
    }
    return FALSE;
}

LRESULT DialogClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return DefDlgProcW(hwnd, msg, wParam, lParam); }

void FocusControl(HWND control) {
    if (!control) return;
    SetFocus(control);
    if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, 0x00B1 /*EM_SETSEL*/, 0, -1);
}

}  // namespace

DialogState* FindDialog(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = States().find(hwnd);
    return it == States().end() ? nullptr : &it->second;
}

void ForgetDialog(HWND hwnd) {
    HFONT font = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = States().find(hwnd);
        if (it == States().end()) return;
        font = it->second.font;
        States().erase(it);
    }
    if (font) DeleteObject(font);
}

const DialogTemplate* FindDialogResource(HINSTANCE module, LPCWSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Resources().find({module, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name))});
    return it == Resources().end() ? nullptr : it->second;
}

void RegisterDialogClass() {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = DialogClassProc;
    wc.cbWndExtra = DWLP_USER + sizeof(LONG_PTR);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kDialogClass;
    RegisterClassW(&wc);
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param,
                              bool modal) {
    EnsureSystemClasses();
    // The font and the dialog units it gives.
    LOGFONTW lf{};
    lf.lfHeight = -MulDivRound(t.pointSize, skyvane::ScreenDpi(), 72);
    lf.lfWeight = FW_NORMAL;
    std::size_t faceLength = std::min<std::size_t>(t.face.size(), LF_FACESIZE - 1);
    std::copy_n(t.face.data(), faceLength, lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE alphabet{};
    const char16_t* letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &alphabet);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int baseX = (alphabet.cx / 26 + 1) / 2, baseY = tm.tmHeight;
    auto px = [&](int dluX, int dluY) { return POINT{MulDivRound(dluX, baseX, 4), MulDivRound(dluY, baseY, 8)}; };

    POINT pos = px(t.x, t.y), size = px(t.cx, t.cy);
    DWORD style = t.style & ~WS_VISIBLE;
    if (!(style & WS_CHILD)) {
        if (t.style & DS_CENTER) {
            pos = POINT{(GetSystemMetrics(SM_CXSCREEN) - size.x) / 2, (GetSystemMetrics(SM_CYSCREEN) - size.y) / 2};
        } else if (parent) {
            ClientToScreen(parent, &pos);
        }
    }
    std::u16string caption(t.caption);
    HWND dlg = CreateWindowExW(t.exStyle, kDialogClass, caption.c_str(), style, pos.x, pos.y, size.x, size.y, parent,
                               nullptr, instance, nullptr);
    if (!dlg) {
        DeleteObject(font);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        DialogState& s = States()[dlg];
        s.font = font;
        s.baseX = baseX;
        s.baseY = baseY;
        s.modal = modal;
    }
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    SetWindowLongPtrW(dlg, DWLP_USER, 0);
    SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (const DialogItem& item : t.items) {
        POINT ip = px(item.x, item.y), is = px(item.cx, item.cy);
        std::u16string cls(item.className), text(item.text);
        HWND control = CreateWindowExW(item.exStyle, cls.c_str(), text.c_str(), item.style | WS_CHILD, ip.x, ip.y, is.x,
                                       is.y, dlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            SKYVANE_LOG("user", "dialog \"%s\": control %u of class \"%s\" could not be made", skyvane::ToUtf8(caption).c_str(),
                        item.id, skyvane::ToUtf8(cls).c_str());
            DestroyWindow(dlg);
            return nullptr;
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (cls == WC_BUTTON && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            if (DialogState* s = FindDialog(dlg)) s->defaultId = item.id;
    }
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    if (SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && IsWindow(dlg)) FocusControl(first);
    if (!IsWindow(dlg)) return nullptr;
    if ((t.style & WS_VISIBLE) && !modal) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

}  // namespace skyvane::user

using namespace skyvane::user;

void skyvane::AddDialogResource(HINSTANCE module, WORD id, const DialogTemplate* dialogTemplate) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Resources()[{module, id}] = dialogTemplate;
}

HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent, DLGPROC lpDialogFunc,
                                LPARAM dwInitParam) {
    if (!lpTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateDialogFromTemplate(hInstance, *lpTemplate, hWndParent, lpDialogFunc, dwInitParam, false);
}

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam) {
    const skyvane::DialogTemplate* t = FindDialogResource(hInstance, lpTemplateName);
    if (!t) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return CreateDialogIndirectParamW(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    DialogState* s = FindDialog(hDlg);
    if (!s) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    s->ended = true;
    s->result = nResult;
    if (s->modal) {
        // The owner takes input again before the dialog disappears, so that
        // activation goes back to it.
        if (HWND owner = GetParent(hDlg); owner && s->ownerDisabled) {
            EnableWindow(owner, TRUE);
            s->ownerDisabled = false;
        }
        ShowWindow(hDlg, SW_HIDE);
    }
    PostMessageW(hDlg, WM_NULL, 0, 0);  // wakes the modal loop
    return TRUE;
}

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC));
    if (proc && Msg != WM_NCCREATE && Msg != WM_CREATE) {
        SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
        INT_PTR r = CallDialogProc(proc, hDlg, Msg, wParam, lParam);
        if (!IsWindow(hDlg)) return r;
        if (AnswersDirectly(Msg)) {
            if (r || Msg == WM_INITDIALOG) return r;
        } else if (r) {
            return GetWindowLongPtrW(hDlg, DWLP_MSGRESULT);
        }
    }
    DialogState* s = FindDialog(hDlg);
    switch (Msg) {
    case WM_ERASEBKGND: {
        auto dc = reinterpret_cast<HDC>(wParam);
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(hDlg, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hDlg)));
        RECT r;
        GetClientRect(hDlg, &r);
        if (brush) FillRect(dc, &r, brush);
        return 1;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hDlg, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_ACTIVATE:
        if (!s) break;
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (IsChild(hDlg, focus)) s->savedFocus = focus;
        } else {
            HWND focus = s->savedFocus && IsWindow(s->savedFocus) ? s->savedFocus : GetNextDlgTabItem(hDlg, nullptr, FALSE);
            if (focus && !IsChild(hDlg, GetFocus())) SetFocus(focus);
        }
        return 0;
    case WM_SETFOCUS: {
        HWND focus = s && s->savedFocus && IsWindow(s->savedFocus) ? s->savedFocus : GetNextDlgTabItem(hDlg, nullptr, FALSE);
        if (focus) SetFocus(focus);
        return 0;
    }
    case WM_GETFONT: return s ? reinterpret_cast<LRESULT>(s->font) : 0;
    case DM_GETDEFID: return s ? MAKELONG(s->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        if (!s) return FALSE;
        if (HWND old = GetDlgItem(hDlg, s->defaultId))
            if ((GetWindowLongPtrW(old, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) SendMessageW(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        s->defaultId = static_cast<WORD>(wParam);
        if (HWND now = GetDlgItem(hDlg, s->defaultId))
            if ((GetWindowLongPtrW(now, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON) SendMessageW(now, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        return TRUE;
    case WM_NEXTDLGCTL:
        FocusControl(LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hDlg, GetFocus(), wParam != 0));
        return 0;
    case WM_NCDESTROY: {
        HFONT font = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto it = States().find(hDlg);
            if (it != States().end() && !it->second.modal) {
                font = it->second.font;
                States().erase(it);
            } else if (it != States().end()) {
                it->second.destroyed = true;  // the modal loop reads the result, then forgets the dialog
            }
        }
        if (font) DeleteObject(font);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hDlg, Msg, wParam, lParam);
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect) {
    DialogState* s = FindDialog(hDlg);
    if (!s || !lpRect) return FALSE;
    lpRect->left = MulDivRound(lpRect->left, s->baseX, 4);
    lpRect->right = MulDivRound(lpRect->right, s->baseX, 4);
    lpRect->top = MulDivRound(lpRect->top, s->baseY, 8);
    lpRect->bottom = MulDivRound(lpRect->bottom, s->baseY, 8);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    HDC dc = GetDC(nullptr);
    SIZE alphabet{};
    GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    ReleaseDC(nullptr, dc);
    return MAKELONG((alphabet.cx / 26 + 1) / 2, tm.tmHeight);
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    for (HWND child = GetWindow(hDlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongPtrW(child, GWLP_ID) == nIDDlgItem) return child;
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) { return static_cast<int>(GetWindowLongPtrW(hWnd, GWLP_ID)); }

LRESULT SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SendMessageW(item, Msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? SetWindowTextW(item, lpString) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
    if (lpString && cchMax > 0) lpString[0] = 0;
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    return item ? static_cast<UINT>(GetWindowTextW(item, lpString, cchMax)) : 0;
}

BOOL SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    std::u16string text = bSigned ? skyvane::FormatW(u"%d", static_cast<int>(uValue)) : skyvane::FormatW(u"%u", uValue);
    return SetDlgItemTextW(hDlg, nIDDlgItem, text.c_str());
}

UINT GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated) *lpTranslated = FALSE;
    WCHAR text[64];
    if (!GetDlgItem(hDlg, nIDDlgItem)) return 0;
    GetDlgItemTextW(hDlg, nIDDlgItem, text, 64);
    const WCHAR* p = text;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = false;
    if (bSigned && (*p == u'-' || *p == u'+')) negative = *p++ == u'-';
    if (*p < u'0' || *p > u'9') return 0;
    long long value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + (*p - u'0');
        if (value > 0xFFFFFFFFLL) return 0;  // too large: not translated
    }
    while (*p == u' ' || *p == u'\t') ++p;
    if (*p) return 0;
    if (negative) value = -value;
    if (bSigned && (value < INT32_MIN || value > INT32_MAX)) return 0;
    if (lpTranslated) *lpTranslated = TRUE;
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    HWND item = GetDlgItem(hDlg, nIDButton);
    return item ? static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (HWND item = GetDlgItem(hDlg, id)) SendMessageW(item, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}
