// Processes started through CreateProcessW. The test program doubles as the
// child: started with "--skyvane-helper <command> ..." it does one small job
// (exit with a code, report its arguments, environment, folder or clock) and
// ends before any test runs.
#include "platform/kernel/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/command_line.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/win_time.h"
#include "test_util/test_util.h"

namespace {

namespace fs = std::filesystem;
using skyvane::FromUtf8;

std::string SelfPath() { return fs::read_symlink("/proc/self/exe").string(); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Show(const SYSTEMTIME& st) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond);
    return text;
}

// ---------------------------------------------------------------------------
// The child's side.

[[noreturn]] void RunHelper(const std::vector<std::string>& a) {
    const std::string& cmd = a.size() > 2 ? a[2] : "";
    const std::string out = a.size() > 3 ? a[3] : "/dev/null";
    if (cmd == "exit") _exit(std::stoi(a[3]));
    if (cmd == "raise") {
        raise(SIGTERM);
        _exit(99);
    }
    if (cmd == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(a[3])));
        _exit(0);
    }
    std::ofstream file(out);
    if (cmd == "args") {
        for (size_t i = 4; i < a.size(); ++i) file << "[" << a[i] << "]\n";
    } else if (cmd == "env") {
        for (size_t i = 4; i < a.size(); ++i) {
            const char* v = getenv(a[i].c_str());
            file << a[i] << (v ? "=" + std::string(v) : " unset") << "\n";
        }
    } else if (cmd == "cwd") {
        file << fs::current_path().string();
    } else if (cmd == "clock") {
        // Waits (on the real clock) until the test has moved the test clock.
        const std::string go = a[4];
        for (int i = 0; i < 2000 && !fs::exists(go); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        SYSTEMTIME local;
        GetLocalTime(&local);
        file << "pid=" << GetCurrentProcessId() << "\nlocal=" << Show(local) << "\ntick=" << GetTickCount() << "\n";
    } else if (cmd == "sleep-frozen") {
        Sleep(5000);
        file << "tick=" << GetTickCount() << "\n";
    } else {
        _exit(98);
    }
    file.close();
    _exit(file ? 0 : 97);
}

struct HelperMode {
    HelperMode() {
        std::string raw = ReadFile("/proc/self/cmdline");
        std::vector<std::string> args;
        for (size_t i = 0; i < raw.size();) {
            size_t end = raw.find('\0', i);
            if (end == std::string::npos) end = raw.size();
            args.push_back(raw.substr(i, end - i));
            i = end + 1;
        }
        if (args.size() > 1 && args[1] == "--skyvane-helper") RunHelper(args);
    }
} helperMode;

// ---------------------------------------------------------------------------
// The parent's side.

// Starts the helper with the arguments after "--skyvane-helper" (as one
// command line) and the program given as the application name.
PROCESS_INFORMATION Start(const std::string& args, LPCWSTR directory = nullptr) {
    std::u16string app = FromUtf8(SelfPath());
    std::u16string cmd = FromUtf8("--skyvane-helper " + args);
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, nullptr, &pi))
        << args << " error " << GetLastError();
    return pi;
}

DWORD RunToEnd(PROCESS_INFORMATION& pi) {
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    return code;
}

class Process : public ::testing::Test {
protected:
    skyvane::test::ScopedDeviceRoot root;
    std::string Out(const char* name) { return root.path() + "/" + name; }
};

TEST(CommandLine, SplitsAsThePlatform) {
    struct Case {
        int line;
        const char16_t* text;
        std::vector<std::u16string> words;
    } cases[] = {
        {__LINE__, u"exe", {u"exe"}},
        {__LINE__, u"", {}},
        {__LINE__, u"exe arg1 arg2 \"arg three\" 'four five` six\\ $even)",
         {u"exe", u"arg1", u"arg2", u"arg three", u"'four", u"five`", u"six\\", u"$even)"}},
        {__LINE__, u"exe arg=1 arg-2 three\tfour\rfour\nfour ", {u"exe", u"arg=1", u"arg-2", u"three", u"four\rfour\nfour"}},
        {__LINE__, u"exe arg\"one\" \"second\"arg thirdarg ", {u"exe", u"argone", u"secondarg", u"thirdarg"}},
        {__LINE__, u"exe arg1 \"unclosed", {u"exe", u"arg1", u"unclosed"}},               // an unclosed quote runs on
        {__LINE__, u"exe arg1 \"", {u"exe", u"arg1", u""}},                               // a lone quote is an empty word
        {__LINE__, u"exe o\\ne t\\\\wo t\\\\\\ree", {u"exe", u"o\\ne", u"t\\\\wo", u"t\\\\\\ree"}},  // backslashes alone stay
        {__LINE__, u"exe \\\"one \\\\\"two\" \\\\\\\"three \\\\\\\\\"four\" end",          // before a quote they are halved
         {u"exe", u"\"one", u"\\two", u"\\\"three", u"\\\\four", u"end"}},
        {__LINE__, u"exe \"one\\\" still\" \"two\\\\\" \"three\\\\\\\" still\" \"four\\\\\\\\\" end",
         {u"exe", u"one\" still", u"two\\", u"three\\\" still", u"four\\\\", u"end"}},
        {__LINE__, u"exe two\"\"quotes next", {u"exe", u"twoquotes", u"next"}},           // 3n+2 quotes outside
        {__LINE__, u"exe three\"\"\"quotes next", {u"exe", u"three\"quotes", u"next"}},   // 3n quotes
        {__LINE__, u"exe four\"\"\"\" quotes\" next 4%3=1", {u"exe", u"four\" quotes", u"next", u"4%3=1"}},  // 3n+1
        {__LINE__, u"exe six\"\"\"\"\"\"quotes next", {u"exe", u"six\"\"quotes", u"next"}},
        {__LINE__, u"exe \"two\"\"quotes next", {u"exe", u"two\"quotes", u"next"}},       // inside: the opener counts
        {__LINE__, u"exe \"two\"\" next", {u"exe", u"two\"", u"next"}},
        {__LINE__, u"exe \"three\"\"\" quotes\" next 4%3=1", {u"exe", u"three\" quotes", u"next", u"4%3=1"}},
        {__LINE__, u"exe \"four\"\"\"\"quotes next", {u"exe", u"four\"quotes", u"next"}},
        {__LINE__, u"exe \"five\"\"\"\"\"quotes next", {u"exe", u"five\"\"quotes", u"next"}},
        {__LINE__, u"exe \"the crazy \\\\\"\"\"\\\\\" quotes", {u"exe", u"the crazy \\\"\\", u"quotes"}},
        {__LINE__, u"exe\"file\"path arg1", {u"exe\"file\"path", u"arg1"}},              // the program has its own rules
        {__LINE__, u"exe\"path\\ arg1", {u"exe\"path\\", u"arg1"}},
        {__LINE__, u"\"spaced exe\" \"next arg\"", {u"spaced exe", u"next arg"}},
        {__LINE__, u"\"exe\"arg\" one\" argtwo", {u"exe", u"arg one", u"argtwo"}},       // the second quote ends it
        {__LINE__, u"\"spaced exe\\\"arg1 arg2", {u"spaced exe\\", u"arg1", u"arg2"}},
        {__LINE__, u"\"two\"\" arg1 ", {u"two", u" arg1 "}},
        {__LINE__, u"\"three\"\"\" arg2", {u"three", u"", u"arg2"}},
        {__LINE__, u"\"four\"\"\"\"arg1", {u"four", u"\"arg1"}},
        {__LINE__, u" \"arg\"one argtwo", {u"", u"argone", u"argtwo"}},                  // a leading blank: empty program
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("line " + std::to_string(c.line));
        EXPECT_EQ(skyvane::SplitCommandLine(c.text), c.words);
    }
    // Without a program first, the first word follows the argument rules.
    EXPECT_EQ(skyvane::SplitArguments(u"  \"a b\"\\\"c  d\\\\\"e f\" "),
              (std::vector<std::u16string>{u"a b\"c", u"d\\e f"}));
    EXPECT_EQ(skyvane::SplitArguments(u"\"a\\\"\" b"), (std::vector<std::u16string>{u"a\"", u"b"}));  // escaped, then closed
    EXPECT_EQ(skyvane::SplitArguments(u" \t "), std::vector<std::u16string>{});
}

TEST_F(Process, ExitCodesAndBothHandles) {
    for (int code : {0, 42, 255}) {
        PROCESS_INFORMATION pi = Start("exit " + std::to_string(code));
        EXPECT_NE(pi.dwProcessId, 0u);
        EXPECT_EQ(WaitForSingleObject(pi.hThread, 20000), WAIT_OBJECT_0);  // the thread ends with the process
        EXPECT_EQ(RunToEnd(pi), DWORD(code));
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(pi.hProcess));  // already closed
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    }
    PROCESS_INFORMATION pi = Start("raise");
    EXPECT_EQ(RunToEnd(pi), DWORD(128 + SIGTERM));  // ended by a signal of its own
}

TEST_F(Process, TimeOutsAndTermination) {
    PROCESS_INFORMATION pi = Start("sleep 30000");
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, DWORD(STILL_ACTIVE));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 150), DWORD(WAIT_TIMEOUT));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    EXPECT_EQ(WaitForSingleObject(pi.hThread, 0), DWORD(WAIT_TIMEOUT));

    ASSERT_TRUE(TerminateProcess(pi.hProcess, 7));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 7u);
    SetLastError(0);
    EXPECT_FALSE(TerminateProcess(pi.hProcess, 8));  // it has ended
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

bool IsGone(DWORD pid) {
    // A reaped child has no /proc entry; a zombie still has one, in state Z.
    for (int i = 0; i < 500; ++i) {
        if (!fs::exists("/proc/" + std::to_string(pid))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(Process, ChildrenAreReapedWithoutWaiting) {
    PROCESS_INFORMATION pi = Start("exit 3");
    DWORD pid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_TRUE(IsGone(pid));

    // Without PROCESS_INFORMATION there is no handle at all.
    std::u16string app = FromUtf8(SelfPath());
    std::u16string cmd = u"--skyvane-helper cwd " + FromUtf8(Out("cwd-noinfo"));
    ASSERT_TRUE(CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, nullptr));
    for (int i = 0; i < 500 && ReadFile(Out("cwd-noinfo")).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(ReadFile(Out("cwd-noinfo")).empty());
}

TEST_F(Process, ArgumentsReachTheChild) {
    // With an application name the command line is arguments only.
    PROCESS_INFORMATION pi = Start("args " + Out("args1") + " Update all \"two words\" a\\\"b c:\\dir\\ \"\"");
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(ReadFile(Out("args1")), "[Update]\n[all]\n[two words]\n[a\"b]\n[c:\\dir\\]\n[]\n");

    // Without one, the first word is the program.
    std::u16string cmd = FromUtf8("\"" + SelfPath() + "\" --skyvane-helper args " + Out("args2") + " Service é");
    PROCESS_INFORMATION pi2{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi2));
    EXPECT_EQ(RunToEnd(pi2), 0u);
    EXPECT_EQ(ReadFile(Out("args2")), "[Service]\n[é]\n");
}

TEST_F(Process, DeviceProgramsFoldersAndTheExeEnding) {
    // The installed Linux program "Helper" stands for the device's "Helper.exe".
    std::string folder = root.path() + "/Windows/SkyvaneWeather";
    fs::create_directories(folder);
    fs::create_symlink(SelfPath(), folder + "/Helper");
    PROCESS_INFORMATION pi{};
    std::u16string cmd = u"--skyvane-helper exit 9";
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\SkyvaneWeather\\Helper.exe", cmd.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, &pi))
        << GetLastError();
    EXPECT_EQ(RunToEnd(pi), 9u);
    // Device paths ignore case.
    ASSERT_TRUE(CreateProcessW(u"\\WINDOWS\\skyvaneweather\\HELPER.EXE", cmd.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(RunToEnd(pi), 9u);
    // A bare name is looked for in \Windows.
    fs::create_symlink(SelfPath(), root.path() + "/Windows/Bare");
    ASSERT_TRUE(CreateProcessW(u"Bare.exe", cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(RunToEnd(pi), 9u);

    // The current folder may be a device folder.
    std::u16string cwdCmd = FromUtf8("--skyvane-helper cwd " + Out("cwd"));
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\SkyvaneWeather\\Helper.exe", cwdCmd.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, u"\\my documents", nullptr, &pi));
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(fs::path(ReadFile(Out("cwd"))), fs::canonical(root.path() + "/My Documents"));
}

TEST_F(Process, FailuresSetTheLastError) {
    std::string dir = root.path() + "/Windows";
    fs::create_directories(dir);
    std::ofstream(dir + "/text.exe") << "not a program\n";
    std::ofstream(dir + "/garbage.exe") << std::string(64, '\x7f') << "garbage";
    fs::permissions(dir + "/garbage.exe", fs::perms::owner_all);
    struct Case {
        const char16_t* app;
        const char16_t* dir;
        DWORD error;
    } cases[] = {
        {u"\\Windows\\Missing.exe", nullptr, ERROR_FILE_NOT_FOUND},
        {u"\\No Such Folder\\Prog.exe", nullptr, ERROR_FILE_NOT_FOUND},
        {u"\\Windows\\text.exe", nullptr, ERROR_ACCESS_DENIED},     // not executable
        {u"\\Windows\\garbage.exe", nullptr, ERROR_BAD_FORMAT},     // executable, but no program
        {u"\\Windows", nullptr, ERROR_ACCESS_DENIED},               // a folder
        {u"/bin/sh", u"\\No Such Folder", ERROR_DIRECTORY},
    };
    for (const auto& c : cases) {
        PROCESS_INFORMATION pi;
        std::memset(&pi, 0xCC, sizeof pi);
        SetLastError(0);
        std::u16string cmd = u"-c true";
        EXPECT_FALSE(CreateProcessW(c.app, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, c.dir, nullptr, &pi));
        EXPECT_EQ(GetLastError(), c.error) << skyvane::ToUtf8(c.app);
        EXPECT_EQ(pi.hProcess, nullptr);
        EXPECT_EQ(pi.dwProcessId, 0u);
    }
    PROCESS_INFORMATION pi{};
    SetLastError(0);
    EXPECT_FALSE(CreateProcessW(nullptr, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    HANDLE bogus = reinterpret_cast<HANDLE>(0x1234);
    DWORD code;
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(GetExitCodeProcess(bogus, &code));
    EXPECT_FALSE(TerminateProcess(nullptr, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(Process, Environment) {
    setenv("SKYVANE_PROCESS_TEST", "inherited", 1);
    PROCESS_INFORMATION pi = Start("env " + Out("env1") + " SKYVANE_PROCESS_TEST SKYVANE_ROOT");
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(ReadFile(Out("env1")), "SKYVANE_PROCESS_TEST=inherited\nSKYVANE_ROOT=" + root.path() + "\n");

    // A block of its own replaces the environment.
    std::u16string block = u"ONLY=ä one";
    block.push_back(0);
    block += u"OTHER=2";
    block.push_back(0);
    block.push_back(0);
    std::u16string app = FromUtf8(SelfPath());
    std::u16string cmd = FromUtf8("--skyvane-helper env " + Out("env2") + " ONLY OTHER SKYVANE_PROCESS_TEST");
    ASSERT_TRUE(CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                               block.data(), nullptr, nullptr, &pi));
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(ReadFile(Out("env2")), "ONLY=ä one\nOTHER=2\nSKYVANE_PROCESS_TEST unset\n");
    unsetenv("SKYVANE_PROCESS_TEST");
}

TEST_F(Process, TestClockReachesRunningChildren) {
    ASSERT_TRUE(skyvane::testclock::Enable(root.path() + "/testclock"));
    ASSERT_TRUE(skyvane::testclock::Freeze(true));
    SYSTEMTIME st{2011, 10, 6, 22, 16, 50, 0, 0};
    ASSERT_TRUE(skyvane::testclock::SetLocalTime(st));
    ASSERT_TRUE(skyvane::testclock::SetTickCount(200000));

    PROCESS_INFORMATION pi = Start("clock " + Out("clock") + " " + Out("go"));
    // Moved after the child started; it reads the clock only once "go" exists.
    ASSERT_TRUE(skyvane::testclock::Advance(61000));
    std::ofstream(Out("go")) << "go";
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(ReadFile(Out("clock")),
              "pid=" + std::to_string(pi.dwProcessId) + "\nlocal=2011-10-22 16:51:01\ntick=261000\n");

    // A child's Sleep under the frozen clock moves the clock everyone sees.
    pi = Start("sleep-frozen " + Out("slept"));
    EXPECT_EQ(RunToEnd(pi), 0u);
    EXPECT_EQ(ReadFile(Out("slept")), "tick=266000\n");
    EXPECT_EQ(GetTickCount(), 266000u);
    skyvane::testclock::Disable();
}

TEST(ProcessSelf, SleepAndIds) {
    skyvane::testclock::Disable();
    auto start = std::chrono::steady_clock::now();
    Sleep(120);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
    EXPECT_EQ(GetCurrentProcessId(), DWORD(getpid()));
    EXPECT_EQ(GetCurrentThreadId(), DWORD(getpid()));  // the main thread
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, GetCurrentThreadId());
    EXPECT_NE(other, 0u);
}

}  // namespace
