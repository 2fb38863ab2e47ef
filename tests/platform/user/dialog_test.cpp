// Dialogs and the standard controls, driven by injected input as a user
// would: modal results, Tab order, Enter and Escape, typing, check boxes,
// radio groups, lists, drop-down lists and message boxes.
#include "platform/user/controls/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/input.h"
#include "platform/user/menu.h"
#include "ui_fixture.h"

namespace {

using skyvane::test::UiTest;
namespace inject = skyvane::user;

class Dialogs : public UiTest {};

constexpr WORD kName = 101, kEnable = 102, kAuto = 103, kManual = 104, kUnits = 106, kCities = 107, kLabel = 100;

const skyvane::DialogTemplate kOptions{WS_POPUP | WS_VISIBLE, 0, 0, 160, 200, u"Options", {
    {kLabel, WC_STATIC, u"Display as:", SS_LEFT | WS_VISIBLE, 4, 4, 60, 10},
    {kName, WC_EDIT, u"Moscow", WS_BORDER | WS_TABSTOP | WS_VISIBLE | ES_AUTOHSCROLL, 66, 2, 90, 12},
    {kEnable, WC_BUTTON, u"Enable on Today", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 4, 20, 150, 12},
    {kAuto, WC_BUTTON, u"Automatic", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 4, 34, 150, 12},
    {kManual, WC_BUTTON, u"Manual", BS_AUTORADIOBUTTON | WS_VISIBLE, 4, 46, 150, 12},
    {105, WC_STATIC, u"Units:", SS_LEFT | WS_VISIBLE | WS_GROUP, 4, 62, 40, 10},
    {kUnits, WC_COMBOBOX, u"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VISIBLE, 46, 60, 110, 60},
    {kCities, WC_LISTBOX, u"", WS_BORDER | WS_TABSTOP | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 4, 78, 152, 40},
    {IDOK, WC_BUTTON, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 40, 180, 50, 14},
    {IDCANCEL, WC_BUTTON, u"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 100, 180, 50, 14},
}};

// What the test's dialog procedure saw.
struct Seen {
    std::vector<std::pair<int, int>> commands;  // (id, notification)
    std::u16string nameAtOk;
    UINT enabledAtOk = 99;
};
Seen* g_seen = nullptr;
std::function<void(HWND)> g_onInit;  // what a test does once the dialog is up

INT_PTR OptionsProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        for (auto s : {u"Metric", u"Imperial", u"Mixed"}) SendDlgItemMessageW(dlg, kUnits, CB_ADDSTRING, 0, (LPARAM)s);
        SendDlgItemMessageW(dlg, kUnits, CB_SETCURSEL, 0, 0);
        for (auto s : {u"Moscow", u"London", u"Paris", u"Berlin", u"Rome", u"Oslo", u"Riga"})
            SendDlgItemMessageW(dlg, kCities, LB_ADDSTRING, 0, (LPARAM)s);
        CheckRadioButton(dlg, kAuto, kManual, kAuto);
        if (g_onInit) g_onInit(dlg);
        return TRUE;
    case WM_COMMAND:
        if (g_seen) g_seen->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
        if (LOWORD(wParam) == IDOK) {
            WCHAR text[64];
            GetDlgItemTextW(dlg, kName, text, 64);
            if (g_seen) {
                g_seen->nameAtOk = text;
                g_seen->enabledAtOk = IsDlgButtonChecked(dlg, kEnable);
            }
            EndDialog(dlg, 42);
        }
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dlg, IDCANCEL);
        return TRUE;
    default: return FALSE;
    }
}

// Presses keys once a modal loop runs (from a timer that fires in it).
void PressLater(std::vector<UINT> keys) {
    static std::vector<UINT> pending;
    pending = std::move(keys);
    SetTimer(nullptr, 0, 5, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        for (UINT vk : pending) inject::InjectKeyPress(vk);
    });
}

// Runs the dialog modally while `script` injects input into it (from a timer,
// once the modal loop runs).
INT_PTR RunModal(HWND owner, std::function<void(HWND)> script, Seen& seen) {
    g_seen = &seen;
    g_onInit = [script](HWND dlg) {
        static std::function<void(HWND)> pending;
        static HWND target;
        pending = script;
        target = dlg;
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            pending(target);
        });
    };
    INT_PTR r = DialogBoxIndirectParamW(nullptr, &kOptions, owner, OptionsProc, 0);
    g_seen = nullptr;
    g_onInit = nullptr;
    return r;
}

TEST_F(Dialogs, ModalDialogReturnsItsEndDialogValueAndFreesItsOwner) {
    HWND owner = MakeWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    Seen seen;
    bool ownerDisabledInside = false;
    INT_PTR r = RunModal(owner, [&](HWND dlg) {
        ownerDisabledInside = !IsWindowEnabled(owner);
        inject::InjectText(u"X");   // the name edit has the focus, all of it selected
        inject::InjectKeyPress(VK_RETURN);  // the default button
    }, seen);
    EXPECT_EQ(r, 42);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(seen.nameAtOk, u"X");

    r = RunModal(owner, [](HWND) { inject::InjectKeyPress(VK_ESCAPE); }, seen);
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(999), owner, OptionsProc, 0), -1);  // no such template
}

TEST_F(Dialogs, TabOrderTypingChecksAndRadios) {
    Seen seen;
    std::vector<int> focusOrder;
    int backTo = 0;
    INT_PTR r = RunModal(nullptr, [&](HWND dlg) {
        // Handles what was injected, as the modal loop would.
        auto flush = [dlg] {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
                if (!IsDialogMessageW(dlg, &m)) DispatchMessageW(&m);
        };
        focusOrder.push_back(GetDlgCtrlID(GetFocus()));
        for (int i = 0; i < 6; ++i) {
            inject::InjectKeyPress(VK_TAB);
            flush();
            focusOrder.push_back(GetDlgCtrlID(GetFocus()));
        }
        // Shift+Tab goes back; the radio group takes one tab stop.
        inject::InjectKey(VK_SHIFT, true);
        for (int i = 0; i < 4; ++i) inject::InjectKeyPress(VK_TAB);
        inject::InjectKey(VK_SHIFT, false);
        flush();
        backTo = GetDlgCtrlID(GetFocus());
        // Into the edit with one more Shift+Tab: End, Backspace twice, type.
        SetFocus(GetDlgItem(dlg, kName));
        inject::InjectKeyPress(VK_END);
        inject::InjectKeyPress(VK_BACK);
        inject::InjectKeyPress(VK_BACK);
        flush();
        inject::InjectText(u"sk!");
        flush();
        // The check box by a tap, the second radio button by the arrow key.
        inject::InjectClick(GetDlgItem(dlg, kEnable), 5, 5);
        flush();
        SetFocus(GetDlgItem(dlg, kAuto));
        inject::InjectKeyPress(VK_DOWN);
        flush();
        inject::InjectClick(GetDlgItem(dlg, IDOK), 5, 5);
    }, seen);
    EXPECT_EQ(r, 42);
    EXPECT_EQ(focusOrder, (std::vector<int>{kName, kEnable, kAuto, kUnits, kCities, IDOK, IDCANCEL}));
    EXPECT_EQ(backTo, kAuto);  // four back from Cancel: OK, the list, the units, the radio group
    EXPECT_EQ(seen.nameAtOk, u"Moscsk!");
    EXPECT_EQ(seen.enabledAtOk, UINT(BST_CHECKED));
    auto clicked = [&](int id) {
        return std::count(seen.commands.begin(), seen.commands.end(), std::make_pair(id, int(BN_CLICKED)));
    };
    EXPECT_EQ(clicked(kEnable), 1);
    EXPECT_EQ(clicked(kManual), 1);  // the arrow key clicked it
    EXPECT_GT(std::count(seen.commands.begin(), seen.commands.end(), std::make_pair(int(kName), int(EN_CHANGE))), 0);
}

TEST_F(Dialogs, RadioGroupCheckedStateAndModelessDialogs) {
    g_onInit = nullptr;
    HWND dlg = CreateDialogIndirectParamW(nullptr, &kOptions, nullptr, OptionsProc, 0);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(IsDlgButtonChecked(dlg, kAuto), UINT(BST_CHECKED));
    inject::InjectClick(GetDlgItem(dlg, kManual), 3, 3);
    Pump();
    EXPECT_EQ(IsDlgButtonChecked(dlg, kAuto), UINT(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dlg, kManual), UINT(BST_CHECKED));
    // A press that slides off the button before release is no click.
    HWND enable = GetDlgItem(dlg, kEnable);
    RECT r;
    GetWindowRect(enable, &r);
    inject::InjectMouse(dlg, WM_LBUTTONDOWN, r.left + 3, r.top + 3);
    inject::InjectMouse(dlg, WM_MOUSEMOVE, r.left + 3, r.bottom + 40);
    inject::InjectMouse(dlg, WM_LBUTTONUP, r.left + 3, r.bottom + 40);
    Pump();
    EXPECT_EQ(IsDlgButtonChecked(dlg, kEnable), UINT(BST_UNCHECKED));

    EXPECT_TRUE(SetDlgItemInt(dlg, kName, static_cast<UINT>(-17), TRUE));
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dlg, kName, &ok, TRUE)), -17);
    EXPECT_TRUE(ok);
    SetDlgItemTextW(dlg, kName, u"12a");
    EXPECT_EQ(GetDlgItemInt(dlg, kName, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    RECT units{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dlg, &units));
    EXPECT_GT(units.right, 2);   // four units are one average character
    EXPECT_GT(units.bottom, 8);  // eight units are one line
    DestroyWindow(dlg);
}

TEST_F(Dialogs, ListBoxAndDropDownList) {
    g_onInit = nullptr;
    std::vector<std::pair<int, int>> notes;
    Seen seen;
    g_seen = &seen;
    HWND dlg = CreateDialogIndirectParamW(nullptr, &kOptions, nullptr, OptionsProc, 0);
    ASSERT_TRUE(dlg);
    HWND list = GetDlgItem(dlg, kCities);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 7);
    EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, -1, (LPARAM)u"paris"), 2);
    SetFocus(list);
    for (UINT vk : {UINT(VK_DOWN), UINT(VK_DOWN), UINT(VK_END), UINT(VK_UP)}) inject::InjectKeyPress(vk);
    Pump();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 5);
    EXPECT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);  // scrolled to keep the selection in view
    LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    inject::InjectWheel(dlg, 20, 200, WHEEL_DELTA);  // a notch up: three rows
    Pump();
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), std::max<LRESULT>(0, top - 3));
    RECT row;
    SendMessageW(list, LB_GETITEMRECT, 1, (LPARAM)&row);
    inject::InjectClick(list, row.left + 4, row.top + 2);
    Pump();
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
    WCHAR text[32];
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 1, (LPARAM)text), 6);
    EXPECT_EQ(std::u16string(text), u"London");

    HWND combo = GetDlgItem(dlg, kUnits);
    SetFocus(combo);
    seen.commands.clear();
    inject::InjectKeyPress(VK_DOWN);  // changes the choice without dropping the list
    Pump();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(seen.commands, (std::vector<std::pair<int, int>>{{kUnits, CBN_SELCHANGE}}));
    inject::InjectKeyPress(VK_F4);    // drops it
    Pump();
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    inject::InjectKeyPress(VK_DOWN);
    inject::InjectKeyPress(VK_ESCAPE);  // leaves it as it was, and the dialog stays
    Pump();
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(IsWindow(dlg));
    inject::InjectClick(combo, 5, 5);  // a tap drops it too
    Pump();
    inject::InjectKeyPress(VK_DOWN);
    inject::InjectKeyPress(VK_RETURN);  // takes the entry
    Pump();
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(GetWindowTextW(combo, text, 32), 5);
    EXPECT_EQ(std::u16string(text), u"Mixed");
    // A sorted list keeps its order; deleting before the selection moves it up.
    HWND sorted = CreateWindowExW(0, WC_LISTBOX, u"", WS_CHILD | LBS_SORT, 0, 0, 50, 50, dlg, nullptr, nullptr, nullptr);
    for (auto city : {u"Riga", u"oslo", u"Berlin"}) SendMessageW(sorted, LB_ADDSTRING, 0, (LPARAM)city);
    EXPECT_EQ(SendMessageW(sorted, LB_FINDSTRING, -1, (LPARAM)u"OS"), 1);  // a prefix, without case
    SendMessageW(sorted, LB_SETCURSEL, 2, 0);
    SendMessageW(sorted, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessageW(sorted, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageW(sorted, LB_GETTEXT, 1, (LPARAM)text), 4);
    EXPECT_EQ(std::u16string(text), u"Riga");
    EXPECT_EQ(SendMessageW(sorted, LB_GETTEXT, 9, (LPARAM)text), LB_ERR);
    g_seen = nullptr;
    DestroyWindow(dlg);
}

TEST_F(Dialogs, MessageBoxAnswers) {
    struct Case {
        int line;
        UINT type;
        std::vector<UINT> keys;
        int expected;
    } cases[] = {
        {__LINE__, MB_YESNOCANCEL, {VK_RETURN}, IDYES},
        {__LINE__, MB_YESNOCANCEL | MB_DEFBUTTON2, {VK_RETURN}, IDNO},
        {__LINE__, MB_YESNOCANCEL, {VK_ESCAPE}, IDCANCEL},
        {__LINE__, MB_YESNOCANCEL, {VK_TAB, VK_TAB, VK_RETURN}, IDCANCEL},
        {__LINE__, MB_YESNO, {VK_ESCAPE, VK_RIGHT, VK_SPACE}, IDNO},  // Escape does nothing without Cancel
        {__LINE__, MB_OK, {VK_ESCAPE}, IDOK},
        {__LINE__, MB_OKCANCEL | MB_ICONQUESTION, {VK_TAB, VK_SPACE}, IDCANCEL},
    };
    HWND owner = MakeWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        PressLater(c.keys);
        EXPECT_EQ(MessageBoxW(owner, u"You are in roaming. Weather update may be expensive. Do you want to update weather still?",
                              u"Skyvane Weather", c.type),
                  c.expected);
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
}

TEST_F(Dialogs, ClosingDefaultButtonsAndQuitting) {
    HWND owner = MakeWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    Seen seen;
    // The close box (WM_CLOSE) answers as Cancel does.
    EXPECT_EQ(RunModal(owner, [](HWND dlg) { PostMessageW(dlg, WM_CLOSE, 0, 0); }, seen), IDCANCEL);
    // Another default button takes Enter.
    EXPECT_EQ(RunModal(owner, [](HWND dlg) {
        SendMessageW(dlg, DM_SETDEFID, IDCANCEL, 0);
        EXPECT_EQ(LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0)), IDCANCEL);
        EXPECT_EQ(GetWindowLongPtrW(GetDlgItem(dlg, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
        SetFocus(GetDlgItem(dlg, kEnable));  // not a push button: Enter goes to the default
        inject::InjectKeyPress(VK_RETURN);
    }, seen), IDCANCEL);
    // A dialog that ends while it starts is never shown and returns at once.
    g_onInit = [](HWND dlg) { EndDialog(dlg, 7); };
    g_seen = &seen;
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kOptions, owner, OptionsProc, 0), 7);
    g_onInit = nullptr;
    g_seen = nullptr;
    // WM_QUIT ends the modal loop and is posted again for the caller's loop.
    INT_PTR r = RunModal(owner, [](HWND) { PostQuitMessage(3); }, seen);
    EXPECT_EQ(r, -1);
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Dialogs, PopupMenuReturnsTheChosenCommand) {
    HWND owner = MakeWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, u"Update");
    AppendMenuW(menu, MF_STRING | MF_GRAYED, 11, u"Details");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 20, u"Add city");
    AppendMenuW(sub, MF_STRING, 21, u"Delete city");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Cities");
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(GetSubMenu(menu, 3), sub);
    EXPECT_EQ(CheckMenuItem(menu, 21, MF_CHECKED), 0u);
    EXPECT_EQ(CheckMenuItem(menu, 21, MF_UNCHECKED), DWORD(MF_CHECKED));

    struct Case {
        int line;
        std::vector<UINT> keys;
        UINT expected;
    } cases[] = {
        {__LINE__, {VK_DOWN, VK_RETURN}, 10},
        {__LINE__, {VK_DOWN, VK_DOWN, VK_RETURN}, 0},  // the greyed item and the separator are skipped: "Cities" opens
        {__LINE__, {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN}, 21},
        {__LINE__, {VK_ESCAPE}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<UINT> keys = c.keys;
        // A submenu left open waits for more: Escape closes whatever is left.
        keys.insert(keys.end(), {VK_ESCAPE, VK_ESCAPE, VK_ESCAPE});
        PressLater(keys);
        EXPECT_EQ(static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN, 10, 300, 0, owner, nullptr)),
                  c.expected);
        Pump();  // the Escapes left over
    }
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(DestroyMenu(sub));  // went with its parent menu
}

}  // namespace
