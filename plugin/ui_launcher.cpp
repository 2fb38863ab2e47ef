#include "plugin/ui_launcher.h"

#include <vector>

#include "platform/kernel/process.h"

namespace skyvane::plugin {

std::u16string UpdateCityCommand(std::u16string_view code) { return u"Update " + std::u16string(code); }

DWORD StartUiProgram(const InstallKeys& install, std::u16string_view commandLine, skyvane::UniqueHandle* process) {
    std::u16string program = install.UiProgram();
    // The program receives the command line alone, writable as the call asks.
    std::vector<char16_t> line(commandLine.begin(), commandLine.end());
    line.push_back(u'\0');
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        return GetLastError();
    CloseHandle(info.hThread);
    if (process) process->reset(info.hProcess);
    else CloseHandle(info.hProcess);
    return ERROR_SUCCESS;
}

}  // namespace skyvane::plugin
