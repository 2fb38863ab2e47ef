#include "plugin/plugin_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "ui/html_log.h"

namespace skyvane::plugin {

void LogLine(bool error, const char* fmt, ...) {
    char line[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    SKYVANE_LOG("plugin", "%s%s", error ? "error: " : "", line);
    ui::WriteLog(error, skyvane::FromUtf8(line));
}

std::string LogText(std::u16string_view text) { return skyvane::ToUtf8(text); }

}  // namespace skyvane::plugin
