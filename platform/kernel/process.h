// Processes: CreateProcessW over posix_spawn, waiting for and ending them,
// Sleep, and the ids of the current process and thread.
#pragma once

#include "platform/kernel/handles.h"
#include "platform/base/win_types.h"

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
typedef STARTUPINFOW* LPSTARTUPINFOW;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

#define CREATE_UNICODE_ENVIRONMENT 0x00000400
#define STILL_ACTIVE 259
#define WAIT_OBJECT_0 0u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_FAILED 0xFFFFFFFFu

// Starts a program. lpApplicationName is a device path ("\Windows\x\Prog.exe")
// or a Linux path; a name ending in ".exe" that does not exist as such names the
// Linux program without the ending; a bare name is looked for in \Windows, the
// device root and then PATH. With lpApplicationName the command line holds the
// arguments only (as on the handheld platform, whose programs receive no
// program name in it); without it the command line's first word is the
// program. Arguments are split by the CommandLineToArgvW rules. The child
// inherits the environment (lpEnvironment NULL) or gets the given block
// ("name=value\0...\0\0", UTF-16 with CREATE_UNICODE_ENVIRONMENT, else UTF-8),
// and starts in lpCurrentDirectory (a device or Linux path) when given.
// Descriptors other than standard input, output and error are not passed on.
// Security attributes, the start-up window settings and other creation flags
// are accepted and ignored. lpProcessInformation may be NULL.
// On failure: ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_FORMAT,
// ERROR_DIRECTORY (bad current directory), ERROR_INVALID_PARAMETER or
// ERROR_NOT_ENOUGH_MEMORY.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, void* lpProcessAttributes,
                    void* lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                    LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);

// WAIT_OBJECT_0 when the object is signalled (a process or its thread: the
// process has ended), WAIT_TIMEOUT after dwMilliseconds (INFINITE waits for
// ever), WAIT_FAILED with ERROR_INVALID_HANDLE for anything else. Waiting uses
// the real clock, also under the test clock.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// STILL_ACTIVE while the process runs; then its exit status, the code given to
// TerminateProcess, or 128 + the signal number when a signal ended it.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// Kills the process; its exit code becomes uExitCode. FALSE with
// ERROR_ACCESS_DENIED when it has already ended.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

// Under a frozen test clock Sleep advances the clock by dwMilliseconds and
// returns at once (platform/testclock.h); otherwise it waits.
void Sleep(DWORD dwMilliseconds);
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

namespace skyvane {
// A kernel object that WaitForSingleObject can wait for.
class WaitableObject : public KernelObject {
public:
    // WAIT_OBJECT_0 or WAIT_TIMEOUT.
    virtual DWORD Wait(DWORD milliseconds) = 0;
};
}  // namespace skyvane
