// ShellExecuteExW "open": xdg-open (or SKYVANE_OPENER) started on its own.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/base/log.h"
#include "platform/base/wide_string.h"
#include "platform/kernel/device_root.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/shell/shell.h"

extern char** environ;

namespace {

// What the opener gets: device paths become Linux paths; addresses pass.
std::string Target(std::u16string_view file) {
    if (skyvane::EqualsNoCase(file.substr(0, 7), u"file://")) {
        std::u16string_view path = file.substr(7);
        if (!path.empty() && path[0] == u'\\') return "file://" + skyvane::HostPath(path);
        return skyvane::ToUtf8(file);
    }
    if (!file.empty() && file[0] == u'\\') return skyvane::HostPath(file);
    return skyvane::ToUtf8(file);
}

}  // namespace

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOW) || !info->lpFile || !*info->lpFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    if (info->lpVerb && *info->lpVerb && !skyvane::EqualsNoCase(info->lpVerb, u"open")) {
        info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    const char* opener = std::getenv("SKYVANE_OPENER");
    std::string program = opener && *opener ? opener : "xdg-open";
    std::string target = Target(info->lpFile);
    char* argv[] = {program.data(), target.data(), nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0) {
        SKYVANE_LOG("shell", "cannot start %s for %s: error %d", program.c_str(), target.c_str(), error);
        info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    SKYVANE_LOG("shell", "opening %s with %s", target.c_str(), program.c_str());
    // Nobody waits for the opener; this thread collects it when it ends.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    info->hInstApp = reinterpret_cast<HINSTANCE>(33);
    return TRUE;
}
