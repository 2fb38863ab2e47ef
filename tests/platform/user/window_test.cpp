// Windows: classes, creation, geometry, window values and subclassing, focus,
// input routing, and saving what a window shows as PNG.
#include <cairo.h>

#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/user/backend.h"
#include "platform/user/input.h"
#include "platform/user/window.h"
#include "ui_fixture.h"

namespace {

using skyvane::test::UiTest;

class Windows : public UiTest {};

LRESULT PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

TEST_F(Windows, ClassesAndCreationFailures) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = PlainProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = u"Skyvane Plain";
    ASSERT_NE(RegisterClassW(&wc), 0);
    wc.lpszClassName = u"SKYVANE PLAIN";
    SetLastError(0);
    EXPECT_EQ(RegisterClassW(&wc), 0);  // names compare without case
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    WNDCLASSW info{};
    EXPECT_TRUE(GetClassInfoW(nullptr, u"skyvane plain", &info));
    EXPECT_EQ(info.cbWndExtra, 16);

    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"No Such Class", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_DOES_NOT_EXIST));
    EXPECT_EQ(CreateWindowExW(0, u"skyvane plain", u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    HWND refused = MakeWindow(
        [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_CREATE) return -1;
            return std::nullopt;
        },
        WS_POPUP, RECT{0, 0, 10, 10});
    EXPECT_EQ(refused, nullptr);
    EXPECT_TRUE(skyvane::user::TopLevelWindows().empty());

    HWND w = CreateWindowExW(0, u"Skyvane Plain", u"Title", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, 240);  // the device profile's screen
    EXPECT_EQ(r.bottom - r.top, 320);
    EXPECT_EQ(SetWindowLongPtrW(w, 8, 77), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, 8), 77);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(w, 12), 0);  // past the class's 16 bytes
    EXPECT_NE(GetLastError(), 0u);
    WCHAR text[3];
    EXPECT_EQ(GetWindowTextW(w, text, 3), 2);  // cut to the buffer
    EXPECT_EQ(std::u16string(text), u"Ti");
    EXPECT_EQ(GetWindowTextLengthW(w), 5);
    EXPECT_EQ(FindWindowW(u"SKYVANE PLAIN", u"Title"), w);
    EXPECT_EQ(FindWindowW(nullptr, u"title"), nullptr);  // texts compare exactly
    DestroyWindow(w);
    UnregisterClassW(u"Skyvane Plain", nullptr);
}

TEST_F(Windows, GeometryOfChildrenAndBorders) {
    HWND top = MakeWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{20, 30, 220, 330});
    HWND child = MakeWindow(nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{10, 40, 110, 90}, top, 7);
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 98);  // a 1-pixel frame on each side
    EXPECT_EQ(r.bottom, 48);
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 70);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 31);
    EXPECT_EQ(p.y, 71);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 7);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetWindow(top, GW_CHILD), child);
    EXPECT_EQ(WindowFromPoint(POINT{35, 75}), child);
    EXPECT_EQ(WindowFromPoint(POINT{25, 35}), top);
    EXPECT_EQ(ChildWindowFromPoint(top, POINT{15, 45}), child);

    std::vector<std::pair<int, int>> sizes;
    HWND sized = MakeWindow(
        [&](HWND, UINT msg, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
            if (msg == WM_SIZE) sizes.emplace_back(LOWORD(lp), HIWORD(lp));
            return std::nullopt;
        },
        WS_CHILD, RECT{0, 0, 10, 20}, top, 8);
    MoveWindow(sized, 5, 5, 30, 40, TRUE);
    MoveWindow(sized, 6, 6, 30, 40, TRUE);  // a move alone sends no WM_SIZE
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{10, 20}, {30, 40}}));
    EXPECT_FALSE(IsWindowVisible(sized));
    ShowWindow(sized, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(sized));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(sized));  // an ancestor is hidden
}

LRESULT CALLBACK_Subclass(HWND h, UINT m, WPARAM w, LPARAM l);
WNDPROC g_original = nullptr;
LRESULT CALLBACK_Subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_USER) return 1000 + CallWindowProcW(g_original, h, m, w, l);
    return CallWindowProcW(g_original, h, m, w, l);
}

TEST_F(Windows, SubclassingChainsToTheOriginalProcedure) {
    HWND w = MakeWindow(
        [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_USER) return 5;
            return std::nullopt;
        },
        WS_POPUP, RECT{0, 0, 10, 10});
    g_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CALLBACK_Subclass)));
    ASSERT_NE(g_original, nullptr);
    EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 1005);
    SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_original));
    EXPECT_EQ(SendMessageW(w, WM_USER, 0, 0), 5);
}

TEST_F(Windows, FocusMessagesAndInputRouting) {
    std::vector<std::string> log;
    auto named = [&](const char* name) {
        return [&, name](HWND, UINT msg, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
            if (msg == WM_SETFOCUS) log.push_back(std::string(name) + " setfocus");
            if (msg == WM_KILLFOCUS) log.push_back(std::string(name) + " killfocus");
            if (msg == WM_LBUTTONDOWN)
                log.push_back(std::string(name) + " down " + std::to_string(GET_X_LPARAM(lp)) + "," + std::to_string(GET_Y_LPARAM(lp)));
            if (msg == WM_KEYDOWN) log.push_back(std::string(name) + " key " + std::to_string(wp));
            if (msg == WM_MOUSEWHEEL) log.push_back(std::string(name) + " wheel " + std::to_string(GET_WHEEL_DELTA_WPARAM(wp)));
            return std::nullopt;
        };
    };
    HWND top = MakeWindow(named("top"), WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
    HWND a = MakeWindow(named("a"), WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 60}, top, 1);
    HWND b = MakeWindow(named("b"), WS_CHILD | WS_VISIBLE | WS_DISABLED, RECT{100, 10, 150, 60}, top, 2);
    log.clear();
    SetFocus(a);
    EXPECT_EQ(GetFocus(), a);
    SetFocus(top);
    EXPECT_EQ(log, (std::vector<std::string>{"top killfocus", "a setfocus", "a killfocus", "top setfocus"}));
    log.clear();
    skyvane::user::InjectMouse(top, WM_LBUTTONDOWN, 15, 20);   // in a
    skyvane::user::InjectMouse(top, WM_LBUTTONDOWN, 120, 20);  // in b, which is disabled: swallowed
    skyvane::user::InjectMouse(top, WM_LBUTTONDOWN, 5, 150);   // on the top window itself
    skyvane::user::InjectKeyPress(VK_DOWN);                      // to the focus
    skyvane::user::InjectWheel(top, 15, 20, -120);
    Pump();
    EXPECT_EQ(log, (std::vector<std::string>{"a down 5,10", "top down 5,150", "top key 40", "top wheel -120"}));

    // While a window holds the capture, the mouse goes to it wherever it is.
    log.clear();
    SetCapture(a);
    skyvane::user::InjectMouse(top, WM_LBUTTONDOWN, 150, 150);
    Pump();
    ReleaseCapture();
    EXPECT_EQ(log, std::vector<std::string>{"a down 140,140"});
    // Disabling the top window (as a modal dialog does to its owner) stops its input.
    EnableWindow(top, FALSE);
    log.clear();
    skyvane::user::InjectMouse(top, WM_LBUTTONDOWN, 15, 20);
    Pump();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(IsWindowEnabled(a));
    (void)b;
}

TEST_F(Windows, SavedPngShowsWhatWasPainted) {
    HWND top = MakeWindow(
        [](HWND h, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (msg != WM_PAINT) return std::nullopt;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            RECT r{10, 10, 30, 20};
            FillRect(dc, &r, red);
            DeleteObject(red);
            SetBkMode(dc, TRANSPARENT);
            RECT t{0, 40, 120, 60};
            DrawTextW(dc, u"Skyvane", -1, &t, DT_SINGLELINE | DT_CENTER);
            EndPaint(h, &ps);
            return 0;
        },
        WS_POPUP | WS_VISIBLE, RECT{0, 0, 120, 60});
    HWND child = MakeWindow(nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{60, 5, 100, 25}, top, 3);
    std::string path = TempPath("window.png");
    ASSERT_TRUE(skyvane::user::SaveWindowPng(top, path));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 120);
    EXPECT_EQ(cairo_image_surface_get_height(png), 60);
    auto pixel = [&](int x, int y) {
        auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png));
        return row[x] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(pixel(29, 19), 0xFF0000u);
    EXPECT_EQ(pixel(30, 20), 0xFFFFFFu);   // the class background (COLOR_WINDOW)
    EXPECT_EQ(pixel(60, 5), 0x808080u);    // the child's frame
    EXPECT_EQ(pixel(70, 15), 0xFFFFFFu);   // its client area
    int ink = 0;
    for (int y = 40; y < 60; ++y)
        for (int x = 0; x < 120; ++x) ink += pixel(x, y) != 0xFFFFFFu;
    EXPECT_GT(ink, 30);
    cairo_surface_destroy(png);

    ASSERT_TRUE(skyvane::user::SaveWindowPng(child, TempPath("child.png")));
    png = cairo_image_surface_create_from_png(TempPath("child.png").c_str());
    EXPECT_EQ(cairo_image_surface_get_width(png), 40);
    cairo_surface_destroy(png);
    EXPECT_FALSE(skyvane::user::SaveWindowPng(reinterpret_cast<HWND>(0x10), TempPath("none.png")));
}

}  // namespace
