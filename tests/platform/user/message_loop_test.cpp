// The message queue and loop under the frozen test clock: timers, sent and
// posted messages, WM_QUIT, painting order and destruction order.
#include <thread>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "platform/user/input.h"
#include "ui_fixture.h"

namespace {

using skyvane::test::UiTest;
using Log = std::vector<std::pair<UINT, DWORD>>;

class MessageLoop : public UiTest {};

TEST_F(MessageLoop, TimersFireInOrderAtTheirTimes) {
    Log fired;  // (timer id, tick at which it fired)
    DWORD start = Now();
    HWND w = MakeWindow(
        [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_TIMER) fired.emplace_back(static_cast<UINT>(wp), Now() - start);
            return std::nullopt;
        },
        WS_POPUP, RECT{0, 0, 50, 50});
    ASSERT_TRUE(w);
    EXPECT_EQ(SetTimer(w, 100, 300, nullptr), 100u);
    EXPECT_EQ(SetTimer(w, 101, 50, nullptr), 101u);
    EXPECT_EQ(SetTimer(w, 102, 1000, nullptr), 102u);
    ASSERT_TRUE(RunUntil([&] { return fired.size() >= 10; }));
    Log expected = {{101, 50}, {101, 100}, {101, 150}, {101, 200}, {101, 250}, {100, 300},
                    {101, 300}, {101, 350}, {101, 400}, {101, 450}};
    EXPECT_EQ(fired, expected);

    // A restarted timer counts from the restart; a killed one stops.
    fired.clear();
    start = Now();
    EXPECT_TRUE(KillTimer(w, 101));
    EXPECT_FALSE(KillTimer(w, 101));
    SetTimer(w, 100, 200, nullptr);
    ASSERT_TRUE(RunUntil([&] { return fired.size() >= 3; }));
    EXPECT_EQ(fired, (Log{{100, 200}, {100, 400}, {102, 550}}));
}

TEST_F(MessageLoop, ThreadTimersCallTheirProcedure) {
    static std::vector<DWORD> calls;
    calls.clear();
    UINT_PTR id = SetTimer(nullptr, 0, 100, [](HWND, UINT msg, UINT_PTR, DWORD tick) { calls.push_back(tick); });
    ASSERT_NE(id, 0u);
    DWORD start = Now();
    ASSERT_TRUE(RunUntil([&] { return calls.size() >= 2; }));
    EXPECT_EQ(calls[0] - start, 100u);
    EXPECT_EQ(calls[1] - start, 200u);
    UINT_PTR other = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {});
    EXPECT_NE(other, id);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_TRUE(KillTimer(nullptr, other));
}

TEST_F(MessageLoop, SendIsSynchronousAndPostIsQueued) {
    std::vector<UINT> seen;
    HWND w = MakeWindow(
        [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
            if (msg >= WM_USER) {
                seen.push_back(msg);
                return static_cast<LRESULT>(wp * 2);
            }
            return std::nullopt;
        },
        WS_POPUP, RECT{0, 0, 10, 10});
    EXPECT_TRUE(PostMessageW(w, WM_USER + 1, 0, 0));
    EXPECT_EQ(SendMessageW(w, WM_USER + 2, 21, 0), 42);
    EXPECT_EQ(seen, std::vector<UINT>{WM_USER + 2});  // the posted one waits for the loop
    EXPECT_TRUE(PostMessageW(w, WM_USER + 3, 0, 0));
    Pump();
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 2, WM_USER + 1, WM_USER + 3}));

    // From another thread, SendMessageW waits until the owner's loop ran it.
    LRESULT fromThread = 0;
    std::thread other([&] {
        fromThread = SendMessageW(w, WM_USER + 4, 5, 0);
        PostMessageW(w, WM_NULL, 0, 0);  // GetMessageW returns only for posted messages
    });
    ASSERT_TRUE(RunUntil([&] { return fromThread != 0; }));
    other.join();
    EXPECT_EQ(seen.back(), UINT(WM_USER + 4));
    EXPECT_EQ(fromThread, 10);

    SetLastError(0);
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageW(reinterpret_cast<HWND>(0x1234), WM_USER, 0, 0), 0);
}

TEST_F(MessageLoop, BroadcastsThreadMessagesAndDoubleClicks) {
    std::vector<std::pair<HWND, UINT>> seen;
    auto recorder = [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_USER + 9 || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) seen.emplace_back(h, msg);
        return std::nullopt;
    };
    HWND a = MakeWindow(recorder, WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
    HWND b = MakeWindow(recorder, WS_POPUP, RECT{60, 0, 110, 50});
    HWND child = MakeWindow(recorder, WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, a, 1);
    PostMessageW(HWND_BROADCAST, WM_USER + 9, 0, 0);  // every top-level window, no child
    Pump();
    EXPECT_EQ(seen, (std::vector<std::pair<HWND, UINT>>{{a, WM_USER + 9}, {b, WM_USER + 9}}));
    // A thread message has no window: GetMessage returns it as it is.
    EXPECT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER + 10, 5, 6));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, UINT(WM_USER + 10));
    EXPECT_EQ(msg.lParam, 6);
    EXPECT_FALSE(PostThreadMessageW(0xFFFFFFF0u, WM_USER, 0, 0));
    // Two presses close in time and place are a double click for a CS_DBLCLKS class.
    seen.clear();
    skyvane::user::InjectMouse(a, WM_LBUTTONDOWN, 20, 20);
    skyvane::user::InjectMouse(a, WM_LBUTTONUP, 20, 20);
    skyvane::user::InjectMouse(a, WM_LBUTTONDOWN, 21, 20);
    skyvane::user::InjectMouse(a, WM_LBUTTONUP, 21, 20);
    Pump();
    EXPECT_EQ(seen, (std::vector<std::pair<HWND, UINT>>{{a, WM_LBUTTONDOWN}, {a, WM_LBUTTONDBLCLK}}));
    (void)child;
}

TEST_F(MessageLoop, QuitEndsTheLoopAfterPostedMessages) {
    int handled = 0;
    HWND w = MakeWindow(
        [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_USER) ++handled;
            return std::nullopt;
        },
        WS_POPUP, RECT{0, 0, 10, 10});
    PostMessageW(w, WM_USER, 0, 0);
    PostQuitMessage(7);
    PostMessageW(w, WM_USER, 0, 0);
    MSG msg;
    int got = 0;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        DispatchMessageW(&msg);
        ++got;
    }
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(handled, 2);
}

TEST_F(MessageLoop, TranslateMessageTurnsKeysIntoCharacters) {
    std::u16string typed;
    HWND w = MakeWindow(
        [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_CHAR) typed += static_cast<char16_t>(wp);
            return std::nullopt;
        },
        WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
    SetFocus(w);
    for (UINT vk : {UINT('A'), UINT('7'), UINT(VK_SPACE), UINT(VK_LEFT)}) skyvane::user::InjectKeyPress(vk);
    skyvane::user::InjectKey(VK_SHIFT, true);
    skyvane::user::InjectKeyPress('B');
    skyvane::user::InjectKey(VK_SHIFT, false);
    skyvane::user::InjectKey('C', true, skyvane::user::kTextArrivesSeparately);  // its character comes on its own
    Pump();
    skyvane::user::InjectText(u"Ж");
    Pump();
    // Shift counts as it was when the key message was taken from the queue.
    EXPECT_EQ(typed, u"a7 BЖ");
}

TEST_F(MessageLoop, PaintingComesAfterPostedMessagesAndParentsFirst) {
    std::vector<std::string> order;
    HWND top = MakeWindow(
        [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_PAINT) order.push_back("parent");
            if (msg == WM_USER) order.push_back("posted");
            return std::nullopt;
        },
        WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    RECT paintRect{};
    HWND child = MakeWindow(
        [&](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_PAINT) {
                order.push_back("child");
                PAINTSTRUCT ps;
                BeginPaint(h, &ps);
                paintRect = ps.rcPaint;
                EndPaint(h, &ps);
                return 0;
            }
            return std::nullopt;
        },
        WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 60}, top, 5);
    ASSERT_TRUE(child);
    PostMessageW(top, WM_USER, 0, 0);
    Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"posted", "parent", "child"}));
    EXPECT_EQ(paintRect.right, 50);

    // Invalidating a part of the parent repaints only the child under it, clipped.
    order.clear();
    RECT part{40, 40, 100, 100};
    InvalidateRect(top, &part, FALSE);
    Pump();
    EXPECT_EQ(order, (std::vector<std::string>{"parent", "child"}));
    EXPECT_EQ(paintRect.left, 30);
    EXPECT_EQ(paintRect.top, 30);
    order.clear();
    RECT elsewhere{70, 70, 90, 90};
    InvalidateRect(top, &elsewhere, FALSE);
    Pump();
    EXPECT_EQ(order, std::vector<std::string>{"parent"});
}

TEST_F(MessageLoop, DestructionOrderAndStaleHandles) {
    std::vector<std::string> order;
    auto recorder = [&](const char* name) {
        return [&, name](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_DESTROY) order.push_back(std::string("destroy ") + name);
            if (msg == WM_NCDESTROY) order.push_back(std::string("ncdestroy ") + name);
            return std::nullopt;
        };
    };
    HWND top = MakeWindow(recorder("top"), WS_POPUP, RECT{0, 0, 100, 100});
    HWND child = MakeWindow(recorder("child"), WS_CHILD, RECT{0, 0, 10, 10}, top, 1);
    HWND grandchild = MakeWindow(recorder("grandchild"), WS_CHILD, RECT{0, 0, 5, 5}, child, 2);
    HWND popup = MakeWindow(recorder("owned"), WS_POPUP, RECT{0, 0, 5, 5}, top);
    SetTimer(child, 1, 10, nullptr);
    ASSERT_TRUE(DestroyWindow(top));
    EXPECT_EQ(order, (std::vector<std::string>{"destroy owned", "ncdestroy owned", "destroy top", "destroy child",
                                               "destroy grandchild", "ncdestroy grandchild", "ncdestroy child",
                                               "ncdestroy top"}));
    for (HWND h : {top, child, grandchild, popup}) EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(KillTimer(child, 1));  // went with its window
    SetLastError(0);
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
