// MessageBoxW: a modal dialog laid out for its text, centred on the screen,
// with the caption on a title strip and one row of buttons.
#include <algorithm>
#include <vector>

#include "platform/kernel/system_info.h"
#include "platform/user/controls/control_paint.h"
#include "platform/user/controls/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/user.h"

namespace {

constexpr int kTitleId = 0xFFF0;
constexpr int kTextId = 0xFFF1;

struct Box {
    LPCWSTR text;
    LPCWSTR caption;
    UINT type;
};

struct ButtonSpec {
    int id;
    const char16_t* label;
};

std::vector<ButtonSpec> ButtonsFor(UINT type) {
    switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_YESNOCANCEL: return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    default: return {{IDOK, u"OK"}};
    }
}

void Layout(HWND dlg, const Box& box) {
    using skyvane::user::paint::Scaled;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0));
    HDC dc = GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    int margin = Scaled(8);
    int maxText = screenW - 4 * margin;
    RECT text{0, 0, maxText, 0};
    DrawTextW(dc, box.text ? box.text : u"", -1, &text, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(dlg, dc);

    std::vector<ButtonSpec> buttons = ButtonsFor(box.type);
    int buttonW = Scaled(56), buttonH = tm.tmHeight + Scaled(10), gap = Scaled(6);
    int buttonsW = static_cast<int>(buttons.size()) * buttonW + static_cast<int>(buttons.size() - 1) * gap;
    int titleH = tm.tmHeight + Scaled(8);
    int width = std::min(screenW - 2 * margin, std::max<int>(text.right + 2 * margin, buttonsW + 2 * margin));
    width = std::max(width, Scaled(140));
    int height = titleH + margin + text.bottom + margin + buttonH + margin;
    MoveWindow(dlg, (screenW - width) / 2, std::max(0, (screenH - height) / 2), width, height, FALSE);

    auto make = [&](LPCWSTR cls, LPCWSTR label, DWORD style, int id, int x, int y, int w, int h) {
        HWND c = CreateWindowExW(0, cls, label, WS_CHILD | WS_VISIBLE | style, x, y, w, h, dlg,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return c;
    };
    SetWindowTextW(dlg, box.caption ? box.caption : u"Error");
    make(WC_STATIC, box.caption ? box.caption : u"Error", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kTitleId, 1, 1,
         width - 2, titleH);
    make(WC_STATIC, box.text ? box.text : u"", SS_LEFT | SS_NOPREFIX, kTextId, margin, titleH + margin, width - 2 * margin,
         text.bottom);
    int defaultIndex = std::min<int>(static_cast<int>(buttons.size()) - 1, static_cast<int>((box.type >> 8) & 0xF));
    int x = (width - buttonsW) / 2, y = height - margin - buttonH;
    HWND focus = nullptr;
    for (int i = 0; i < static_cast<int>(buttons.size()); ++i) {
        DWORD style = WS_TABSTOP | (i == 0 ? WS_GROUP : 0) | (i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        HWND b = make(WC_BUTTON, buttons[i].label, style, buttons[i].id, x, y, buttonW, buttonH);
        if (i == defaultIndex) focus = b;
        x += buttonW + gap;
    }
    SendMessageW(dlg, DM_SETDEFID, buttons[defaultIndex].id, 0);
    SetFocus(focus);
}

INT_PTR MessageBoxProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        Layout(dlg, *reinterpret_cast<const Box*>(lParam));
        return FALSE;  // the focus is set
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(dlg, &r);
        auto dc = reinterpret_cast<HDC>(wParam);
        skyvane::user::paint::Fill(dc, r, GetSysColor(COLOR_WINDOW));
        skyvane::user::paint::Frame(dc, r, GetSysColor(COLOR_WINDOWFRAME));
        SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 1);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kTitleId) {
            SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_HIGHLIGHTTEXT));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        return FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        const Box* box = reinterpret_cast<const Box*>(GetWindowLongPtrW(dlg, DWLP_USER));
        if (id == IDCANCEL && !GetDlgItem(dlg, IDCANCEL)) {
            // Escape means "no answer": only a lone OK button stands for it.
            if ((box->type & 0xF) == MB_OK) EndDialog(dlg, IDOK);
            return TRUE;
        }
        if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO) EndDialog(dlg, id);
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    static const skyvane::DialogTemplate kBox{WS_POPUP | DS_CENTER, 0, 0, 100, 50, u"", {}};
    Box box{lpText, lpCaption, uType};
    INT_PTR r = DialogBoxIndirectParamW(nullptr, &kBox, hWnd, MessageBoxProc, reinterpret_cast<LPARAM>(&box));
    return r < 0 ? 0 : static_cast<int>(r);
}
