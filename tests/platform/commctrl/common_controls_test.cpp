// The common controls driven by injected input: an owner-data, owner-drawn
// list view of 10 000 rows, the up-down spinner with its buddy, the time picker.
#include <map>

#include "platform/commctrl/commctrl.h"
#include "platform/kernel/system_info.h"
#include "platform/user/dialog.h"
#include "platform/user/input.h"
#include "platform/user/ui_fixture.h"

namespace {

using skyvane::test::UiTest;
namespace inject = skyvane::user;

class CommonControls : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_DATE_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
    }

    // The parent: records notifications and draws owner-drawn rows.
    HWND Parent() {
        return MakeWindow(
            [this](HWND, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
                if (msg == WM_NOTIFY) {
                    auto* h = reinterpret_cast<NMHDR*>(lp);
                    codes.push_back(static_cast<int>(h->code));
                    if (h->code == LVN_ITEMCHANGED) {
                        auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
                        if (nm->uNewState & LVIS_SELECTED) lastSelected = nm->iItem;
                    }
                    if (h->code == UDN_DELTAPOS && refuseSteps) return 1;
                    if (h->code == DTN_DATETIMECHANGE) lastTime = reinterpret_cast<NMDATETIMECHANGE*>(lp)->st;
                    return 0;
                }
                if (msg == WM_MEASUREITEM) {
                    reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = 20;
                    return TRUE;
                }
                if (msg == WM_DRAWITEM) {
                    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
                    drawn[dis->itemID] = dis->itemState;
                    drawnType = dis->CtlType;
                    return TRUE;
                }
                return std::nullopt;
            },
            WS_POPUP | WS_VISIBLE, RECT{0, 0, 240, 320});
    }

    std::vector<int> codes;
    std::map<UINT, UINT> drawn;  // row -> item state, from the last painting
    UINT drawnType = 0;
    int lastSelected = -1;
    bool refuseSteps = false;
    SYSTEMTIME lastTime{};
};

TEST_F(CommonControls, OwnerDataListOfTenThousandRows) {
    HWND parent = Parent();
    HWND list = CreateWindowExW(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA |
                                    LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                0, 0, 240, 200, parent, reinterpret_cast<HMENU>(201), nullptr, nullptr);
    ASSERT_TRUE(list);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 240 - GetSystemMetrics(SM_CXVSCROLL) - 3;
    EXPECT_EQ(SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column), 0);
    SendMessageW(list, LVM_SETITEMCOUNT, 10000, LVSICF_NOSCROLL);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 10000);
    EXPECT_EQ(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0), 10);  // 200 pixels of 20-pixel rows
    UpdateWindow(parent);
    EXPECT_EQ(drawnType, UINT(ODT_LISTVIEW));
    EXPECT_EQ(drawn.size(), 10u);  // only the rows in view are asked for
    EXPECT_EQ(drawn.count(0), 1u);

    // Keys: Down from nothing takes row 0, End the last, Page Up a page back.
    SetFocus(list);
    inject::InjectKeyPress(VK_DOWN);
    inject::InjectKeyPress(VK_DOWN);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 1);
    EXPECT_EQ(lastSelected, 1);
    inject::InjectKeyPress(VK_END);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 9999);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 9999);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 9990);
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    inject::InjectKeyPress(VK_PRIOR);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 9990);
    UpdateWindow(parent);
    EXPECT_EQ(drawn[9990], UINT(ODS_SELECTED | ODS_FOCUS));
    EXPECT_EQ(drawn[9991], 0u);
    EXPECT_NE(std::count(codes.begin(), codes.end(), int(LVN_KEYDOWN)), 0);  // each key went to the parent first

    // A tap selects the row under it and reports NM_CLICK.
    codes.clear();
    RECT row;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 9993, (LPARAM)&row));
    inject::InjectClick(list, 10, row.top + 5);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 9993);
    EXPECT_EQ(codes.back(), int(NM_CLICK));

    // Clearing every row's selection, then EnsureVisible far up.
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), (LPARAM)&none);
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), -1);
    SendMessageW(list, LVM_ENSUREVISIBLE, 4321, FALSE);
    LRESULT top = SendMessageW(list, LVM_GETTOPINDEX, 0, 0);
    EXPECT_LE(top, 4321);
    EXPECT_GT(top + 10, 4321);
    // The wheel scrolls three rows a notch.
    inject::InjectWheel(parent, 10, 10, -WHEEL_DELTA);
    Pump();
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), top + 3);
    // A shorter list keeps the scroll position it can.
    SendMessageW(list, LVM_SETITEMCOUNT, 50, LVSICF_NOSCROLL);
    EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), 40);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED), -1);  // the focused row went away
}

TEST_F(CommonControls, ReportListWithTextsFromTheParent) {
    HWND parent = Parent();
    HWND list = CreateWindowExW(0, WC_LISTVIEW, u"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0, 0, 200, 100,
                                parent, reinterpret_cast<HMENU>(2000), nullptr, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 120;
    column.pszText = const_cast<LPWSTR>(u"Alert");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    for (auto text : {u"Flood Watch", u"Wind Advisory", u"Frost"}) {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = 99;
        item.pszText = const_cast<LPWSTR>(text);
        item.lParam = 7;
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);
    WCHAR buffer[32];
    LVITEMW get{};
    get.pszText = buffer;
    get.cchTextMax = 6;
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMTEXTW, 1, (LPARAM)&get), 5);  // cut to the buffer
    EXPECT_EQ(std::u16string(buffer), u"Wind ");
    LVITEMW select{};
    select.state = select.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, 2, (LPARAM)&select);
    SendMessageW(list, LVM_SETITEMSTATE, 0, (LPARAM)&select);  // one selection only
    EXPECT_EQ(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), 0);
    SendMessageW(list, LVM_DELETEITEM, 0, 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED), -1);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0)));
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), 200);  // no scroll bar with two rows
}

TEST_F(CommonControls, SpinnerStaysInItsRangeAndFollowsItsBuddy) {
    HWND parent = Parent();
    HWND edit = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_NUMBER, 10, 10, 80, 20, parent,
                                reinterpret_cast<HMENU>(461), nullptr, nullptr);
    HWND spin = CreateWindowExW(0, UPDOWN_CLASS, u"", WS_CHILD | WS_VISIBLE | UDS_AUTOBUDDY | UDS_SETBUDDYINT |
                                    UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 16, 20, parent, reinterpret_cast<HMENU>(462),
                                nullptr, nullptr);
    ASSERT_TRUE(spin);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0)), edit);
    RECT e, s;
    GetWindowRect(edit, &e);
    GetWindowRect(spin, &s);
    EXPECT_EQ(e.right, s.left);  // inside the buddy's right edge
    EXPECT_EQ(s.right, 90);
    SendMessageW(spin, UDM_SETRANGE32, static_cast<WPARAM>(-24), 24);
    SendMessageW(spin, UDM_SETPOS32, 0, 23);
    WCHAR text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"23");
    struct Step {
        int line;
        UINT key;
        int expected;
    } steps[] = {{__LINE__, VK_UP, 24}, {__LINE__, VK_UP, 24},  // stops at the upper end
                 {__LINE__, VK_DOWN, 23}};
    SetFocus(edit);
    for (const Step& st : steps) {
        SCOPED_TRACE(st.line);
        inject::InjectKeyPress(st.key);
        Pump();
        BOOL error = TRUE;
        EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, (LPARAM)&error), st.expected);
        EXPECT_FALSE(error);
    }
    // A number typed into the buddy is where the next step starts.
    SetWindowTextW(edit, u"-20");
    inject::InjectClick(spin, 5, 16);  // the lower arrow
    Pump();
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"-21");
    SetWindowTextW(edit, u"99");  // outside the range: an error, the old position stays
    BOOL error = FALSE;
    EXPECT_EQ(SendMessageW(spin, UDM_GETPOS32, 0, (LPARAM)&error), -21);
    EXPECT_TRUE(error);
    refuseSteps = true;  // the parent may refuse a step
    SetWindowTextW(edit, u"0");
    inject::InjectClick(spin, 5, 3);
    Pump();
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"0");
    EXPECT_NE(std::count(codes.begin(), codes.end(), int(UDN_DELTAPOS)), 0);
}

TEST_F(CommonControls, TimePickerHoursAndMinutes) {
    HWND parent = Parent();
    HWND picker = CreateWindowExW(0, DATETIMEPICK_CLASS, u"", WS_CHILD | WS_VISIBLE | DTS_TIMEFORMAT, 10, 10, 100, 22,
                                  parent, reinterpret_cast<HMENU>(300), nullptr, nullptr);
    ASSERT_TRUE(picker);
    SYSTEMTIME st{2024, 5, 0, 17, 23, 58, 0, 0};
    ASSERT_TRUE(SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&st));
    SetFocus(picker);
    struct Case {
        int line;
        std::vector<UINT> keys;
        std::u16string typed;
        WORD hour, minute;
    } cases[] = {
        {__LINE__, {VK_UP}, u"", 0, 58},                       // hours wrap from 23 to 0
        {__LINE__, {VK_RIGHT, VK_UP, VK_UP}, u"", 0, 0},        // minutes wrap from 59 to 0
        {__LINE__, {VK_DOWN}, u"", 0, 59},
        {__LINE__, {VK_LEFT}, u"07", 7, 59},                    // two digits, then on to the minutes
        {__LINE__, {}, u"45", 7, 45},
        {__LINE__, {VK_LEFT}, u"9", 9, 45},                     // no hour starts with 9x: taken at once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        for (UINT vk : c.keys) inject::InjectKeyPress(vk);
        inject::InjectText(c.typed);
        Pump();
        SYSTEMTIME got{};
        EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, (LPARAM)&got), GDT_VALID);
        EXPECT_EQ(got.wHour, c.hour);
        EXPECT_EQ(got.wMinute, c.minute);
        EXPECT_EQ(got.wDay, 17);  // the date part is kept
        EXPECT_EQ(lastTime.wHour, c.hour);  // and the parent was told
    }
    SYSTEMTIME bad{2024, 5, 0, 17, 24, 0, 0, 0};
    EXPECT_FALSE(SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&bad));
}

}  // namespace
