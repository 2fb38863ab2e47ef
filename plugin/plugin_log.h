// The plugin's log lines: fixed English texts, normal or error rows of the
// day's diagnostic log (and of the "plugin" channel of the developer log).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace skyvane::plugin {

void LogLine(bool error, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

#define PLUGIN_LOG(...) ::skyvane::plugin::LogLine(false, __VA_ARGS__)
#define PLUGIN_LOG_ERROR(...) ::skyvane::plugin::LogLine(true, __VA_ARGS__)

// A string-table text, in English as every log line, formatted with the
// platform's wide printf (%s takes a char16_t text).
void LogTableText(bool error, int32_t id, ...);

// A process that shows its log lines as they are written (a program run in
// the foreground) sets an echo; it receives every line of this process after
// it went to the log. Set it before the process starts other threads.
void SetLogEcho(std::function<void(bool error, std::string_view line)> echo);

// A UTF-16 text for a "%s" of a log line.
std::string LogText(std::u16string_view text);

}  // namespace skyvane::plugin
