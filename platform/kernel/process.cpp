#include "platform/kernel/process.h"

#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/command_line.h"
#include "platform/kernel/device_root.h"
#include "platform/base/log.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

extern char** environ;

namespace skyvane {
namespace {

// What a process handle and its thread handle share. A reaper thread waits for
// the child, records how it ended and reaps it, so no child is left a zombie
// whether or not anyone waits or closes the handles.
struct ChildState {
    pid_t pid = 0;
    std::mutex lock;
    std::condition_variable ended;
    bool exited = false;
    DWORD exitCode = STILL_ACTIVE;
    bool terminated = false;  // TerminateProcess asked for terminateCode
    DWORD terminateCode = 0;
};

DWORD WaitForChild(ChildState& s, DWORD ms) {
    std::unique_lock<std::mutex> guard(s.lock);
    if (ms == INFINITE) {
        s.ended.wait(guard, [&] { return s.exited; });
        return WAIT_OBJECT_0;
    }
    return s.ended.wait_for(guard, std::chrono::milliseconds(ms), [&] { return s.exited; }) ? WAIT_OBJECT_0
                                                                                                : WAIT_TIMEOUT;
}

class ProcessObject : public WaitableObject {
public:
    explicit ProcessObject(std::shared_ptr<ChildState> s) : state(std::move(s)) {}
    DWORD Wait(DWORD ms) override { return WaitForChild(*state, ms); }
    std::shared_ptr<ChildState> state;
};

// The child's main thread; it ends with the process.
class ThreadObject : public WaitableObject {
public:
    explicit ThreadObject(std::shared_ptr<ChildState> s) : state(std::move(s)) {}
    DWORD Wait(DWORD ms) override { return WaitForChild(*state, ms); }
    std::shared_ptr<ChildState> state;
};

void Reap(std::shared_ptr<ChildState> s) {
    siginfo_t info{};
    int r;
    // WNOWAIT leaves the child a zombie until its end is recorded, so that its
    // pid cannot be reused while TerminateProcess may still signal it.
    do {
        r = waitid(P_PID, id_t(s->pid), &info, WEXITED | WNOWAIT);
    } while (r != 0 && errno == EINTR);
    std::lock_guard<std::mutex> guard(s->lock);
    DWORD code = 0;
    if (r == 0) {
        if (info.si_code == CLD_EXITED)
            code = DWORD(info.si_status);
        else if (s->terminated && info.si_status == SIGKILL)
            code = s->terminateCode;
        else
            code = DWORD(128 + info.si_status);
        while (waitpid(s->pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    } else {
        SKYVANE_LOG("platform", "cannot wait for process %d: errno %d", int(s->pid), errno);
    }
    s->exitCode = code;
    s->exited = true;
    s->ended.notify_all();
}

DWORD ErrorFromErrno(int e) {
    switch (e) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_FORMAT;
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    case E2BIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool IsFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool EndsWithExe(std::u16string_view name) {
    return name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), u".exe");
}

// The Linux file for a device or Linux program path, trying the name without
// ".exe" when the name itself does not exist.
std::optional<std::string> FindInDevice(std::u16string_view name) {
    std::string path = HostPath(name);
    if (IsFile(path)) return path;
    if (EndsWithExe(name)) {
        std::string bare = HostPath(name.substr(0, name.size() - 4));
        if (IsFile(bare)) return bare;
    }
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return path;  // a folder: the spawn reports it
    return std::nullopt;
}

std::optional<std::string> FindProgram(std::u16string_view name) {
    if (name.find_first_of(u"\\/") != std::u16string_view::npos) return FindInDevice(name);
    // A bare name: the device's \Windows folder, its root, then PATH.
    if (auto p = FindInDevice(u"\\Windows\\" + std::u16string(name))) return p;
    if (auto p = FindInDevice(u"\\" + std::u16string(name))) return p;
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    std::string file = ToUtf8(name);
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        dirs.remove_prefix(colon == std::string_view::npos ? dirs.size() : colon + 1);
        if (dir.empty()) continue;
        std::string candidate = dir + "/" + file;
        if (IsFile(candidate)) return candidate;
        if (EndsWithExe(name)) {
            candidate.resize(candidate.size() - 4);
            if (IsFile(candidate)) return candidate;
        }
    }
    return std::nullopt;
}

// "name=value\0...\0\0" as environment strings.
std::vector<std::string> EnvironmentBlock(const void* block, bool unicode) {
    std::vector<std::string> vars;
    if (unicode) {
        for (auto p = static_cast<const char16_t*>(block); *p;) {
            std::u16string_view var(p);
            vars.push_back(ToUtf8(var));
            p += var.size() + 1;
        }
    } else {
        for (auto p = static_cast<const char*>(block); *p;) {
            std::string_view var(p);
            vars.emplace_back(var);
            p += var.size() + 1;
        }
    }
    return vars;
}

std::vector<char*> PointerArray(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

class SpawnActions {
public:
    SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace
}  // namespace skyvane

using namespace skyvane;

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, void*, void*, BOOL bInheritHandles,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    if (lpProcessInformation) *lpProcessInformation = PROCESS_INFORMATION{};
    try {
        std::u16string program;
        std::vector<std::u16string> args;
        if (lpApplicationName) {
            program = lpApplicationName;
            if (lpCommandLine) args = SplitArguments(lpCommandLine);
        } else {
            if (!lpCommandLine) return Fail(ERROR_INVALID_PARAMETER);
            args = SplitCommandLine(lpCommandLine);
            if (args.empty() || args.front().empty()) return Fail(ERROR_FILE_NOT_FOUND);
            program = std::move(args.front());
            args.erase(args.begin());
        }
        if (program.empty()) return Fail(ERROR_FILE_NOT_FOUND);

        std::optional<std::string> path = FindProgram(program);
        if (!path) {
            SKYVANE_LOG("platform", "CreateProcessW: no program %s", ToUtf8(program).c_str());
            return Fail(ERROR_FILE_NOT_FOUND);
        }

        std::vector<std::string> argStrings{*path};
        for (const auto& a : args) argStrings.push_back(ToUtf8(a));
        std::vector<char*> argv = PointerArray(argStrings);

        std::vector<std::string> envStrings;
        std::vector<char*> envp;
        char** env = environ;
        if (lpEnvironment) {
            envStrings = EnvironmentBlock(lpEnvironment, dwCreationFlags & CREATE_UNICODE_ENVIRONMENT);
            envp = PointerArray(envStrings);
            env = envp.data();
        }

        SpawnActions actions;
        if (!actions.ok()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
        if (lpCurrentDirectory) {
            std::string dir = HostPath(lpCurrentDirectory);
            struct stat st;
            if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
            posix_spawn_file_actions_addchdir_np(actions.get(), dir.c_str());
        }
        // Handles are not inherited (the system never asks for it): only the
        // standard streams pass, whatever descriptors the process holds open.
        if (!bInheritHandles) posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);

        auto state = std::make_shared<ChildState>();
        pid_t pid;
        int err = posix_spawn(&pid, path->c_str(), actions.get(), nullptr, argv.data(), env);
        if (err != 0) {
            SKYVANE_LOG("platform", "CreateProcessW: cannot start %s: errno %d", path->c_str(), err);
            return Fail(ErrorFromErrno(err));
        }
        state->pid = pid;
        try {
            std::thread(Reap, state).detach();
        } catch (...) {
            // Without a reaper nobody could wait for it: do not leave it running.
            LogCaughtException("platform", "CreateProcessW: starting the reaper thread");
            kill(pid, SIGKILL);
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        SKYVANE_LOG("platform", "CreateProcessW: started %s as %d", path->c_str(), int(pid));

        if (lpProcessInformation) {
            lpProcessInformation->hProcess = MakeHandle(std::make_unique<ProcessObject>(state));
            lpProcessInformation->hThread = MakeHandle(std::make_unique<ThreadObject>(state));
            lpProcessInformation->dwProcessId = DWORD(pid);
            lpProcessInformation->dwThreadId = DWORD(pid);  // a Linux process's main thread has its pid
        }
        return TRUE;
    } catch (const std::bad_alloc&) {
        LogCaughtException("platform", "CreateProcessW");
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        LogCaughtException("platform", "CreateProcessW");
        return Fail(ERROR_GEN_FAILURE);
    }
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto* object = HandleAs<WaitableObject>(hHandle);
    if (!object) return WAIT_FAILED;
    return object->Wait(dwMilliseconds);
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto* process = HandleAs<ProcessObject>(hProcess);
    if (!process) return FALSE;
    if (!lpExitCode) return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> guard(process->state->lock);
    *lpExitCode = process->state->exitCode;
    return TRUE;
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    auto* process = HandleAs<ProcessObject>(hProcess);
    if (!process) return FALSE;
    ChildState& s = *process->state;
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.exited) return Fail(ERROR_ACCESS_DENIED);
    if (!s.terminated) {
        s.terminated = true;
        s.terminateCode = uExitCode;
    }
    // The child is not reaped while we hold the lock, so the pid is still ours.
    if (kill(s.pid, SIGKILL) != 0) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    if (testclock::SleepAdvances(dwMilliseconds)) return;
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    if (dwMilliseconds == 0) {
        sched_yield();  // gives up the rest of the time slice, as the platform does
        return;
    }
    timespec request{time_t(dwMilliseconds / 1000), long(dwMilliseconds % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
}

DWORD GetCurrentProcessId() { return DWORD(getpid()); }

DWORD GetCurrentThreadId() { return DWORD(gettid()); }
