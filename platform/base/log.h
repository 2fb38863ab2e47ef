// Developer log channels, one per library, quiet by default. SKYVANE_LOG lists
// the channels to print on standard error ("platform,kweather" or "all").
// This is not the system's own diagnostic log, which users see.
#pragma once

#include <string_view>

namespace skyvane {
bool LogEnabled(std::string_view channel);
// printf-style; prints "[channel pid] text" when the channel is on.
void LogPrint(std::string_view channel, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// For a catch block: writes the exception being handled, with where it was
// caught, to channel: its type and what() for a std::exception, its type for
// anything else. Does nothing outside a catch block; never throws.
void LogCaughtException(std::string_view channel, const char* where) noexcept;
}  // namespace skyvane

#define SKYVANE_LOG(channel, ...)                                              \
    do {                                                                       \
        if (::skyvane::LogEnabled(channel)) ::skyvane::LogPrint(channel, __VA_ARGS__); \
    } while (0)
