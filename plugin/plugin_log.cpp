#include "plugin/plugin_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "ui/html_log.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

std::function<void(bool, std::string_view)>& Echo() {
    static std::function<void(bool, std::string_view)> echo;
    return echo;
}

}  // namespace

void SetLogEcho(std::function<void(bool error, std::string_view line)> echo) { Echo() = std::move(echo); }

void LogLine(bool error, const char* fmt, ...) {
    char line[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    SKYVANE_LOG("plugin", "%s%s", error ? "error: " : "", line);
    ui::WriteLog(error, skyvane::FromUtf8(line));
    if (Echo()) Echo()(error, line);
}

void LogTableText(bool error, int32_t id, ...) {
    std::u16string format = ui::LoadStringText(id);
    va_list args;
    va_start(args, id);
    std::u16string text = skyvane::VFormatW(format.c_str(), args);
    va_end(args);
    LogLine(error, "%s", skyvane::ToUtf8(text).c_str());
}

std::string LogText(std::u16string_view text) { return skyvane::ToUtf8(text); }

}  // namespace skyvane::plugin
