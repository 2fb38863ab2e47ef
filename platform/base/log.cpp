#include "platform/base/log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace skyvane {

bool LogEnabled(std::string_view channel) {
    const char* spec = std::getenv("SKYVANE_LOG");
    if (!spec || !*spec) return false;
    std::string_view list(spec);
    while (!list.empty()) {
        size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        if (item == "all" || item == channel) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

void LogPrint(std::string_view channel, const char* fmt, ...) {
    char text[2048];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    // One write per line so that lines of several processes do not interleave.
    char line[2200];
    int n = std::snprintf(line, sizeof line, "[%.*s %d] %s\n", int(channel.size()), channel.data(), int(getpid()), text);
    if (n > 0) {
        ssize_t ignored = write(STDERR_FILENO, line, size_t(n) < sizeof line ? size_t(n) : sizeof line - 1);
        (void)ignored;
    }
}

}  // namespace skyvane
