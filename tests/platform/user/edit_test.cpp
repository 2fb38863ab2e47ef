// The single-line edit control as a user types into it: the caret and the
// selection, the styles that limit what may be typed, the length limit, and
// subclassing to see keys first.
#include "platform/user/controls/controls.h"
#include "platform/user/input.h"
#include "ui_fixture.h"

namespace {

using skyvane::test::UiTest;
namespace inject = skyvane::user;

class Edit : public UiTest {
protected:
    HWND Make(DWORD style, const char16_t* text = u"") {
        parent_ = MakeWindow(
            [this](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
                if (msg == WM_COMMAND) notes.push_back(HIWORD(wp));
                return std::nullopt;
            },
            WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 60});
        HWND edit = CreateWindowExW(0, WC_EDIT, text, WS_CHILD | WS_VISIBLE | WS_BORDER | style, 5, 5, 150, 22, parent_,
                                    reinterpret_cast<HMENU>(7), nullptr, nullptr);
        SetFocus(edit);
        notes.clear();
        return edit;
    }
    std::u16string Text(HWND edit) {
        WCHAR buffer[128];
        GetWindowTextW(edit, buffer, 128);
        return buffer;
    }
    std::pair<DWORD, DWORD> Selection(HWND edit) {
        DWORD start = 0xdeadbeef, end = 0xdeadbeef;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    // Keys (and Shift while `shifted` keys are pressed), then characters.
    void Type(std::vector<UINT> keys, std::u16string text = u"", bool shifted = false) {
        if (shifted) inject::InjectKey(VK_SHIFT, true);
        for (UINT vk : keys) inject::InjectKeyPress(vk);
        if (shifted) inject::InjectKey(VK_SHIFT, false);
        inject::InjectText(text);
        Pump();
    }

    HWND parent_ = nullptr;
    std::vector<WORD> notes;
};

TEST_F(Edit, CaretSelectionAndEditingKeys) {
    struct Case {
        int line;
        std::vector<UINT> keys;
        bool shifted;
        std::u16string typed;
        std::u16string text;
        std::pair<DWORD, DWORD> selection;
    } cases[] = {
        {__LINE__, {VK_HOME}, false, u"", u"Saint Petersburg", {0, 0}},
        {__LINE__, {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_RIGHT}, true, u"", u"Saint Petersburg", {0, 5}},
        {__LINE__, {}, false, u"St", u"St Petersburg", {2, 2}},     // typing replaces the selection
        {__LINE__, {VK_END, VK_BACK}, false, u"", u"St Petersbur", {12, 12}},
        {__LINE__, {VK_HOME, VK_DELETE}, false, u"", u"t Petersbur", {0, 0}},
        {__LINE__, {VK_END}, false, u"", u"t Petersbur", {11, 11}},
        {__LINE__, {VK_LEFT, VK_LEFT}, true, u"", u"t Petersbur", {9, 11}},
        {__LINE__, {VK_LEFT}, false, u"", u"t Petersbur", {9, 9}},  // Left ends a selection at its start
        {__LINE__, {VK_BACK}, false, u"", u"t Petersur", {8, 8}},
        {__LINE__, {VK_HOME, VK_BACK}, false, u"", u"t Petersur", {0, 0}},  // nothing before the caret
    };
    HWND edit = Make(ES_AUTOHSCROLL, u"Saint Petersburg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Type(c.keys, c.typed, c.shifted);
        EXPECT_EQ(Text(edit), c.text);
        EXPECT_EQ(Selection(edit), c.selection);
    }
    SendMessageW(edit, EM_SETSEL, 2, 5);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"--"));
    EXPECT_EQ(Text(edit), u"t --ersur");
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{4, 4}));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 9}));
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);  // -1 drops the selection
    EXPECT_EQ(Selection(edit).first, Selection(edit).second);
}

TEST_F(Edit, StylesLimitWhatMayBeTyped) {
    struct Case {
        int line;
        DWORD style;
        std::u16string typed;
        std::u16string text;
    } cases[] = {
        {__LINE__, ES_NUMBER, u"12a-3.5", u"1235"},
        {__LINE__, ES_UPPERCASE, u"Moscow Ж", u"MOSCOW Ж"},
        {__LINE__, ES_LOWERCASE, u"ΑΘΉΝΑ", u"αθήνα"},
        {__LINE__, ES_READONLY, u"abc", u"fixed"},
        {__LINE__, ES_PASSWORD, u"secret", u"fixedsecret"},  // shown as asterisks, kept as typed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        HWND edit = Make(c.style, c.style & (ES_READONLY | ES_PASSWORD) ? u"fixed" : u"");
        SendMessageW(edit, EM_SETSEL, 100, 100);
        Type({}, c.typed);
        EXPECT_EQ(Text(edit), c.text);
        DestroyWindow(parent_);
    }
}

TEST_F(Edit, ChangesAndTheLengthLimitAreReported) {
    HWND edit = Make(0);
    SendMessageW(edit, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 5);
    Type({}, u"RSXX0091");
    EXPECT_EQ(Text(edit), u"RSXX0");
    EXPECT_EQ(std::count(notes.begin(), notes.end(), WORD(EN_CHANGE)), 5);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), WORD(EN_MAXTEXT)), 3);
    EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    notes.clear();
    SetWindowTextW(edit, u"ab");  // a text set by the program is a change too, and not a modification
    EXPECT_EQ(std::count(notes.begin(), notes.end(), WORD(EN_CHANGE)), 1);
    EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(GetWindowTextLengthW(edit), 2);
    WCHAR small[2] = {u'x', u'x'};
    EXPECT_EQ(GetWindowTextW(edit, small, 2), 1);  // cut to the buffer, terminated
    EXPECT_EQ(small[1], 0);
}

WNDPROC g_editProc = nullptr;
std::vector<UINT> g_seenFirst;
LRESULT KeysFirst(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_RETURN)) {
        g_seenFirst.push_back(static_cast<UINT>(wParam));
        return 0;  // taken: the edit never sees it
    }
    return CallWindowProcW(g_editProc, hwnd, msg, wParam, lParam);
}

TEST_F(Edit, SubclassingSeesKeysFirst) {
    HWND edit = Make(0, u"b");
    g_seenFirst.clear();
    g_editProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeysFirst)));
    SendMessageW(edit, EM_SETSEL, 1, 1);
    Type({VK_UP, VK_HOME, VK_DOWN}, u"e");
    EXPECT_EQ(g_seenFirst, (std::vector<UINT>{VK_UP, VK_DOWN}));
    EXPECT_EQ(Text(edit), u"eb");  // Home still reached the edit
    // A tap puts the caret at the nearest character boundary.
    SetWindowTextW(edit, u"WWWW");
    inject::InjectClick(edit, 140, 5);  // right of the text
    Pump();
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{4, 4}));
    inject::InjectClick(edit, 0, 5);
    Pump();
    EXPECT_EQ(Selection(edit), (std::pair<DWORD, DWORD>{0, 0}));
}

}  // namespace
