// skyvane log: where today's diagnostic log is, or that log opened.
#include <filesystem>

#include "platform/kernel/device_root.h"
#include "platform/kernel/win_time.h"
#include "platform/shell/shell.h"
#include "skyvane/commands.h"
#include "skyvane/console.h"
#include "ui/html_log.h"

namespace skyvane::cli {
namespace {

constexpr OptionInfo kLogOptions[] = {
    {"--open", "", "open the log with xdg-open (or the program SKYVANE_OPENER names)"},
};

constexpr char kLogDetails[] =
    "Prints the path of today's diagnostic log, the HTML file to which every process of\n"
    "Skyvane Weather writes what it does (updates, the schedule's decisions, cities added and\n"
    "removed), or opens it. Opening fails when nothing has been logged today.";

}  // namespace

const CommandInfo kLogCommand{"log", "", "show where today's diagnostic log is, or open it", kLogDetails, kLogOptions,
                           0, 0};

int RunLog(const Arguments& arguments) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::u16string devicePath = ui::LogFilePath(today);
    const std::string path = skyvane::HostPath(devicePath);
    const bool exists = std::filesystem::exists(path);
    if (!arguments.Has("--open")) {
        PrintLine(std::string_view(path));
        if (!exists) std::fputs("(nothing has been logged today yet)\n", stderr);
        return kDone;
    }
    if (!exists) return Fail("Nothing has been logged today yet (" + path + ").");
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.lpVerb = u"open";
    info.lpFile = devicePath.c_str();
    if (!ShellExecuteExW(&info)) return Fail("Cannot open " + path + ": the opener (xdg-open) could not be started.");
    PrintLine("Opened " + path);
    return kDone;
}

}  // namespace skyvane::cli
