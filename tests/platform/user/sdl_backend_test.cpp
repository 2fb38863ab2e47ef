// The SDL2 back end on a real X server: the test starts its own Xvfb on a
// free display, opens a sample dialog at 2×, checks what the X server shows,
// clicks and types through the X server's test extension (so input takes the
// whole road through SDL2), saves a screenshot, and closes everything.
// Without Xvfb the test is skipped, except under CI, where it fails.
#include <cairo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/commctrl/commctrl.h"
#include "platform/user/backend.h"
#include "platform/user/controls/controls.h"
#include "platform/user/dialog.h"
#include "platform/user/user.h"
#include "test_util/test_util.h"

// Xlib's macros (None, Bool, CursorShape ...) come last, after every header of ours.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

extern char** environ;

namespace {

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// An Xvfb of our own on the first display number nobody uses.
class Xvfb {
public:
    bool Start(const std::string& program) {
        for (int n = 90; n < 200; ++n) {
            std::string socket = "/tmp/.X11-unix/X" + std::to_string(n), lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (access(socket.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
            name_ = ":" + std::to_string(n);
            std::string p = program;
            std::string screen = "640x800x24";
            char* argv[] = {p.data(), name_.data(), const_cast<char*>("-screen"), const_cast<char*>("0"), screen.data(),
                            const_cast<char*>("-nolisten"), const_cast<char*>("tcp"), nullptr};
            if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
            for (int i = 0; i < 500; ++i) {
                if (access(socket.c_str(), F_OK) == 0) return true;
                int status;
                if (waitpid(pid_, &status, WNOHANG) == pid_) break;  // it did not take this number
                usleep(20000);
            }
            Stop();
        }
        return false;
    }
    void Stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    ~Xvfb() { Stop(); }
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = 0;
    std::string name_;
};

constexpr WORD kName = 101, kEnable = 102, kUnits = 106, kList = 107;
const skyvane::DialogTemplate kSample{WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 160, 200, u"Skyvane Weather", {
    {100, WC_STATIC, u"Display as:", SS_LEFT | WS_VISIBLE, 4, 6, 60, 10},
    {kName, WC_EDIT, u"Moscow", WS_BORDER | WS_TABSTOP | WS_VISIBLE | ES_AUTOHSCROLL, 66, 4, 90, 12},
    {kEnable, WC_BUTTON, u"Enable on Today", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, 4, 22, 150, 12},
    {103, WC_BUTTON, u"Automatic weather update", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | WS_VISIBLE, 4, 36, 150, 12},
    {104, WC_BUTTON, u"Manual weather update", BS_AUTORADIOBUTTON | WS_VISIBLE, 4, 48, 150, 12},
    {105, WC_STATIC, u"Units:", SS_LEFT | WS_VISIBLE | WS_GROUP, 4, 66, 40, 10},
    {kUnits, WC_COMBOBOX, u"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VISIBLE, 46, 64, 110, 60},
    {kList, WC_LISTVIEW, u"", WS_BORDER | WS_TABSTOP | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 4, 82, 152, 64},
    {460, WC_STATIC, u"Clock correction, hours:", SS_LEFT | WS_VISIBLE, 4, 154, 100, 10},
    {461, WC_EDIT, u"0", WS_BORDER | WS_TABSTOP | WS_VISIBLE | ES_NUMBER, 106, 152, 50, 12},
    {462, UPDOWN_CLASS, u"", WS_VISIBLE | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 10, 12},
    {IDOK, WC_BUTTON, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 30, 178, 50, 14},
    {IDCANCEL, WC_BUTTON, u"Cancel", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 86, 178, 50, 14},
}};

INT_PTR SampleProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_INITDIALOG) return FALSE;
    for (auto s : {u"°C, km/h, mb", u"°F, mph, in"}) SendDlgItemMessageW(dlg, kUnits, CB_ADDSTRING, 0, (LPARAM)s);
    SendDlgItemMessageW(dlg, kUnits, CB_SETCURSEL, 0, 0);
    CheckRadioButton(dlg, 103, 104, 103);
    HWND list = GetDlgItem(dlg, kList);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 200;
    column.pszText = const_cast<LPWSTR>(u"City name");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
    for (auto city : {u"Москва", u"Αθήνα", u"北京", u"서울", u"London"}) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = 99;
        item.pszText = const_cast<LPWSTR>(city);
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    }
    SendDlgItemMessageW(dlg, 462, UDM_SETRANGE32, static_cast<WPARAM>(-24), 24);
    return TRUE;
}

// Runs the message loop until done() or the time passes.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        usleep(10000);
    }
    return done();
}

// The desktop pixels of a rectangle, as the X server has them.
cairo_surface_t* Grab(Display* dpy, const RECT& r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), r.left, r.top, w, h, AllPlanes, ZPixmap);
    if (!image) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    auto* data = cairo_image_surface_get_data(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    cairo_surface_mark_dirty(s);
    XDestroyImage(image);
    return s;
}

std::uint32_t At(cairo_surface_t* s, int x, int y) {
    return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x];
}

int ViewableWindows(Display* dpy) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
    int viewable = 0;
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable) ++viewable;
    }
    if (children) XFree(children);
    return viewable;
}

TEST(SdlBackend, OpensDrawsTakesInputAndCloses) {
    std::string program = FindProgram("Xvfb");
    if (program.empty()) {
        if (std::getenv("CI")) FAIL() << "Xvfb is not installed (tools/setup_debian.sh installs it)";
        GTEST_SKIP() << "Xvfb is not installed";
    }
    Xvfb xvfb;
    ASSERT_TRUE(xvfb.Start(program)) << "Xvfb did not start";
    skyvane::test::ScopedDeviceRoot root;
    skyvane::test::ScopedEnv display("DISPLAY", xvfb.Name().c_str());
    skyvane::test::ScopedEnv scale("SKYVANE_SCALE", "2");
    ASSERT_TRUE(skyvane::user::UseBackend("sdl"));
    skyvane::user::Backend& backend = skyvane::user::TheBackend();
    EXPECT_STREQ(backend.Name(), "sdl");
    EXPECT_EQ(backend.Scale(), 2);
    Display* dpy = XOpenDisplay(xvfb.Name().c_str());
    ASSERT_TRUE(dpy);
    int before = ViewableWindows(dpy);

    InitCommonControls();
    HWND dlg = CreateDialogIndirectParamW(nullptr, &kSample, nullptr, SampleProc, 0);
    ASSERT_TRUE(dlg);
    RECT desk{};
    ASSERT_TRUE(PumpUntil([&] { return backend.DesktopRect(dlg, desk) && ViewableWindows(dpy) > before; }));
    RECT own;
    GetWindowRect(dlg, &own);
    EXPECT_EQ(desk.right - desk.left, 2 * (own.right - own.left));  // at 2×
    EXPECT_EQ(desk.bottom - desk.top, 2 * (own.bottom - own.top));

    // Where a control is on the desktop.
    auto centre = [&](int id) {
        RECT r;
        GetWindowRect(GetDlgItem(dlg, id), &r);
        return POINT{desk.left + (r.left + r.right), desk.top + (r.top + r.bottom)};  // × 2 / 2
    };
    // A click on the check box through the X server.
    POINT box = centre(kEnable);
    box.x = desk.left + 2 * 4 * 2;  // the box itself, at the control's left
    XTestFakeMotionEvent(dpy, DefaultScreen(dpy), box.x + 8, box.y, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
    EXPECT_TRUE(PumpUntil([&] { return IsDlgButtonChecked(dlg, kEnable) == BST_CHECKED; }));
    // Typing into the name: the edit has the focus with its text selected.
    SetFocus(GetDlgItem(dlg, kName));
    SendDlgItemMessageW(dlg, kName, EM_SETSEL, 0, -1);
    for (KeySym k : {KeySym(XK_K), KeySym(XK_i), KeySym(XK_e), KeySym(XK_v)}) {
        bool upper = k == XK_K;
        KeyCode shift = XKeysymToKeycode(dpy, XK_Shift_L);
        if (upper) XTestFakeKeyEvent(dpy, shift, True, 0);
        KeyCode code = XKeysymToKeycode(dpy, upper ? XK_k : k);
        XTestFakeKeyEvent(dpy, code, True, 0);
        XTestFakeKeyEvent(dpy, code, False, 0);
        if (upper) XTestFakeKeyEvent(dpy, shift, False, 0);
    }
    XFlush(dpy);
    WCHAR name[32] = {0};
    EXPECT_TRUE(PumpUntil([&] {
        GetDlgItemTextW(dlg, kName, name, 32);
        return std::u16string(name) == u"Kiev";
    })) << "the name reads \"" << std::string(name, name + std::char_traits<char16_t>::length(name)) << "\"";

    // What the desktop shows: the dialog's white background, the checked box.
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));  // the last drawing reaches the window
    cairo_surface_t* shot = Grab(dpy, desk);
    ASSERT_TRUE(shot);
    EXPECT_EQ(At(shot, 470, 470), 0xFFFFFFu);   // an empty part of the dialog
    RECT boxRect;
    GetWindowRect(GetDlgItem(dlg, kEnable), &boxRect);
    int dark = 0;
    for (int y = boxRect.top * 2; y < boxRect.bottom * 2; ++y)
        for (int x = 0; x < 40; ++x) dark += (At(shot, x, y) & 0xFF) < 80;
    EXPECT_GT(dark, 20);  // the frame and the tick
    std::string folder = skyvane::test::BuildDir() + "/screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_EQ(cairo_surface_write_to_png(shot, (folder + "/sdl_dialog.png").c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(shot);

    // Closing: the X server has no window of ours left.
    EXPECT_TRUE(DestroyWindow(dlg));
    EXPECT_TRUE(PumpUntil([&] {
        XSync(dpy, False);
        return ViewableWindows(dpy) == before;
    }));
    EXPECT_TRUE(skyvane::user::UseBackend("headless"));  // SDL2 lets go of the display
    XCloseDisplay(dpy);
    xvfb.Stop();
}

}  // namespace
