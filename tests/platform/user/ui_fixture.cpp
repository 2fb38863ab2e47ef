#include "ui_fixture.h"

#include <map>

#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"
#include "platform/user/backend.h"
#include "platform/user/window.h"

namespace skyvane::test {
namespace {

constexpr char16_t kClass[] = u"SkyvaneTestWindow";
std::map<HWND, UiTest::Handler>& Handlers() {
    static std::map<HWND, UiTest::Handler> handlers;
    return handlers;
}
UiTest::Handler g_pending;  // the handler of the window being created

LRESULT TestProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = Handlers().find(hwnd);
    if (it == Handlers().end() && g_pending) it = Handlers().emplace(hwnd, g_pending).first;
    if (it != Handlers().end()) {
        UiTest::Handler h = it->second;
        if (msg == WM_NCDESTROY) Handlers().erase(hwnd);
        if (auto r = h(hwnd, msg, wParam, lParam)) return *r;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

void UiTest::SetUp() {
    ASSERT_TRUE(skyvane::user::UseBackend("headless"));
    ASSERT_TRUE(testclock::Enable(root_.path() + "/clock"));
    ASSERT_TRUE(testclock::SetTickCount(1000000));
    ASSERT_TRUE(testclock::Freeze(true));
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    wc.style = CS_DBLCLKS;
    RegisterClassW(&wc);  // once per process; later calls fail harmlessly
}

void UiTest::TearDown() {
    for (HWND top : skyvane::user::TopLevelWindows()) DestroyWindow(top);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    testclock::Disable();
}

HWND UiTest::MakeWindow(Handler handler, DWORD style, RECT r, HWND parent, UINT_PTR id) {
    g_pending = std::move(handler);
    HWND hwnd = CreateWindowExW(0, kClass, u"", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                reinterpret_cast<HMENU>(id), nullptr, nullptr);
    g_pending = nullptr;
    return hwnd;
}

void UiTest::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool UiTest::RunUntil(const std::function<bool()>& done, int maxMessages) {
    MSG msg;
    for (int i = 0; i < maxMessages && !done(); ++i) {
        if (!GetMessageW(&msg, nullptr, 0, 0)) return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return done();
}

DWORD UiTest::Now() const { return GetTickCount(); }

}  // namespace skyvane::test
