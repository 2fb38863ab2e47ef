#include "platform/base/log.h"

#include <cxxabi.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <typeinfo>

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

namespace {

// The readable name of a type ("std::out_of_range"); the mangled one when it
// cannot be demangled.
std::string TypeName(const std::type_info* type) {
    if (!type) return "an exception of unknown type";
    int status = -1;
    char* readable = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    std::string name = status == 0 && readable ? readable : type->name();
    std::free(readable);
    return name;
}

}  // namespace

void LogCaughtException(std::string_view channel, const char* where) noexcept {
    if (!std::current_exception() || !LogEnabled(channel)) return;
    try {
        const std::string type = TypeName(abi::__cxa_current_exception_type());
        try {
            throw;
        } catch (const std::exception& e) {
            LogPrint(channel, "%s: caught %s: %s", where, type.c_str(), e.what());
        } catch (...) {
            LogPrint(channel, "%s: caught %s", where, type.c_str());
        }
    } catch (...) {
        // Out of memory for the type's name: say at least where.
        LogPrint(channel, "%s: caught an exception", where);
    }
}

}  // namespace skyvane
