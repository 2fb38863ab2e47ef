// The shell: opening documents, sound, the soft-key bar, full-screen
// dialogs, vibration and the wait cursor.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>

#include "platform/kernel/device_root.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/system_info.h"
#include "platform/shell/aygshell.h"
#include "platform/shell/shell.h"
#include "platform/user/controls/controls.h"
#include "platform/user/input.h"
#include "platform/user/menu.h"
#include "platform/user/ui_fixture.h"

namespace {

using skyvane::test::UiTest;

class Shell : public UiTest {
protected:
    // An opener that writes what it was given into a file, for one test.
    std::string FakeOpener() {
        std::string out = TempPath("opened.txt");
        std::string script = TempPath("opener.sh");
        std::ofstream(script) << "#!/bin/sh\necho \"$1\" > " << out << ".tmp && mv " << out << ".tmp " << out << "\n";
        chmod(script.c_str(), 0755);
        return script;
    }
    std::string Opened() {
        std::string line;
        for (int i = 0; i < 300 && line.empty(); ++i) {
            std::ifstream in(TempPath("opened.txt"));
            std::getline(in, line);
            if (line.empty()) usleep(10000);
        }
        std::remove(TempPath("opened.txt").c_str());
        return line;
    }
};

TEST_F(Shell, OpenHandsTheFileToTheOpener) {
    std::string opener = FakeOpener();
    skyvane::test::ScopedEnv env("SKYVANE_OPENER", opener.c_str());
    struct Case {
        int line;
        const char16_t* file;
        std::string expected;
    } cases[] = {
        {__LINE__, u"http://example.org/map.gif", "http://example.org/map.gif"},
        {__LINE__, u"\\My Documents\\alert.htm", skyvane::HostPath(u"\\My Documents\\alert.htm")},
        {__LINE__, u"file://\\Windows\\log.htm", "file://" + skyvane::HostPath(u"\\Windows\\log.htm")},
        {__LINE__, u"/tmp/plain.txt", "/tmp/plain.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.lpVerb = u"open";
        info.lpFile = c.file;
        info.nShow = 1;
        info.hProcess = reinterpret_cast<HANDLE>(0xdeadbeef);
        ASSERT_TRUE(ShellExecuteExW(&info));
        EXPECT_GT(reinterpret_cast<std::intptr_t>(info.hInstApp), 32);
        EXPECT_EQ(info.hProcess, nullptr);
        EXPECT_EQ(Opened(), c.expected);
    }
    SHELLEXECUTEINFOW print{};
    print.cbSize = sizeof print;
    print.lpVerb = u"print";
    print.lpFile = u"x.txt";
    EXPECT_FALSE(ShellExecuteExW(&print));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(print.hInstApp), SE_ERR_NOASSOC);
    SHELLEXECUTEINFOW small{};
    small.cbSize = 8;
    small.lpFile = u"x";
    EXPECT_FALSE(ShellExecuteExW(&small));
    skyvane::test::ScopedEnv missing("SKYVANE_OPENER", "/no/such/opener");
    SHELLEXECUTEINFOW open{};
    open.cbSize = sizeof open;
    open.lpFile = u"x.txt";
    EXPECT_FALSE(ShellExecuteExW(&open));
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(open.hInstApp), SE_ERR_FNF);
}

// A WAV file of 50 ms of silence, 8 kHz, 8-bit mono.
void WriteWav(const std::string& path) {
    const std::uint32_t samples = 400;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f << "RIFF";
    u32(36 + samples);
    f << "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(8000);
    u16(1);
    u16(8);
    f << "data";
    u32(samples);
    for (std::uint32_t i = 0; i < samples; ++i) f.put(char(128));
}

TEST_F(Shell, PlaySoundPlaysWavFilesWhereThereIsAnAudioDevice) {
    // SDL2's dummy audio driver stands in for a sound card.
    skyvane::test::ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    std::string wav = root_.path() + "/Click.wav";
    WriteWav(wav);
    EXPECT_TRUE(PlaySoundW(u"\\Click.wav", nullptr, SND_FILENAME | SND_NODEFAULT | SND_SYNC));
    EXPECT_TRUE(PlaySoundW(u"\\Click.wav", nullptr, SND_FILENAME | SND_ASYNC));
    EXPECT_FALSE(PlaySoundW(u"\\Click.wav", nullptr, SND_FILENAME | SND_NOWAIT));  // one is playing
    EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));                                  // stops it
    EXPECT_FALSE(PlaySoundW(u"\\Missing.wav", nullptr, SND_FILENAME | SND_NODEFAULT));
    std::ofstream(root_.path() + "/Broken.wav") << "RIFF????WAVEnot really";
    EXPECT_FALSE(PlaySoundW(u"\\Broken.wav", nullptr, SND_FILENAME));
    EXPECT_FALSE(PlaySoundW(u"SystemStart", nullptr, 0));  // sound names are not offered
}

constexpr UINT kUpdate = 300, kAdd = 301, kOptions = 302;
const skyvane::MenuTemplate kSoftKeys{{
    {kUpdate, u"Update"},
    {0, u"Menu", MF_STRING, {{kAdd, u"Add city"}, {kOptions, u"Options"}}},
}};

TEST_F(Shell, SoftKeysSendTheirCommands) {
    skyvane::AddMenuResource(nullptr, 500, &kSoftKeys);
    std::vector<UINT> commands;
    HWND frame = MakeWindow(
        [&](HWND, UINT msg, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
            if (msg == WM_COMMAND && LOWORD(wp) != 0) commands.push_back(LOWORD(wp));  // not the edit's notifications
            return std::nullopt;
        },
        WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
    SHINITDLGINFO init{SHIDIM_FLAGS, frame, SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&init));
    RECT r;
    GetWindowRect(frame, &r);
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
    HWND edit = CreateWindowExW(0, WC_EDIT, u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, frame, nullptr, nullptr, nullptr);
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = frame;
    mb.dwFlags = SHCMBF_HMENU;
    mb.nToolBarId = 500;
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    ASSERT_TRUE(mb.hwndMB);
    GetWindowRect(mb.hwndMB, &r);
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(r.bottom - r.top, skyvane::MenuBarHeight());

    SetFocus(edit);  // the soft keys work while a control has the focus
    skyvane::user::InjectKeyPress(VK_TSOFT1);
    Pump();
    EXPECT_EQ(commands, std::vector<UINT>{kUpdate});
    // The right key opens its menu; Down twice and Enter choose "Options".
    skyvane::user::InjectKeyPress(VK_TSOFT2);
    for (UINT vk : {UINT(VK_DOWN), UINT(VK_DOWN), UINT(VK_RETURN)}) skyvane::user::InjectKeyPress(vk);
    Pump();
    EXPECT_EQ(commands, (std::vector<UINT>{kUpdate, kOptions}));
    // A tap on the left half of the bar.
    skyvane::user::InjectClick(mb.hwndMB, 10, 10);
    Pump();
    EXPECT_EQ(commands.back(), kUpdate);
    WCHAR typed[8];
    GetWindowTextW(edit, typed, 8);
    EXPECT_EQ(std::u16string(typed), u"");  // no key reached the edit
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(mb.hwndMB, SHCMBM_GETMENU, 0, 0));
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 1)), 2);
    mb.nToolBarId = 501;  // no such menu
    EXPECT_FALSE(SHCreateMenuBar(&mb));
}

TEST_F(Shell, VibrationAndTheWaitCursor) {
    VIBRATENOTE note{255, 100, 50};
    EXPECT_EQ(Vibrate(1, &note, FALSE, 100), S_OK);
    EXPECT_EQ(VibrateGetDeviceCaps(VDC_AMPLITUDE), 0);  // no vibrator here
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    {
        skyvane::WaitCursor wait;
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    }
    EXPECT_EQ(GetCursor(), arrow);
}

}  // namespace
