#include "ui/html_log.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/base/log.h"
#include "platform/kernel/files.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/kernel/process.h"
#include "platform/kernel/win_time.h"
#include "plugin/main_settings.h"
#include "plugin/weather_store.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::ui {
namespace {

constexpr char16_t kFooter[] =
    u"            </table><a name=\"BookmarkEnd\" href=#BookmarkBegin>goto begin</a></body></html>"
    u"                                             ";
constexpr DWORD kFooterBytes = (sizeof kFooter / sizeof kFooter[0] - 1) * 2;
constexpr char16_t kByteOrderMark = 0xFEFF;
// How long a writer waits for another one before it drops its row.
constexpr auto kLockWait = std::chrono::milliseconds(2000);
constexpr auto kLockRetry = std::chrono::milliseconds(1);

const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

std::u16string Printf(const char* fmt, auto... args) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return skyvane::FromUtf8(buffer);
}

SYSTEMTIME DaysBefore(const SYSTEMTIME& day, int days) {
    long long ms = 0;
    SYSTEMTIME noon = day;
    noon.wHour = 12;
    noon.wMinute = noon.wSecond = noon.wMilliseconds = 0;
    skyvane::SystemTimeToUnixMs(noon, ms);
    return skyvane::UnixMsToSystemTime(ms - days * 86400000LL);
}

std::u16string Header(const SYSTEMTIME& day) {
    std::u16string previous = LogFileName(DaysBefore(day, 1));
    previous.resize(previous.size() - 4);  // without ".htm"
    std::u16string date = Printf("%s, %s %02d, %04d", kWeekdays[day.wDayOfWeek % 7], kMonths[(day.wMonth + 11) % 12],
                                 day.wDay, day.wYear);
    std::u16string h = u"<html><head><title>skyvane log</title></head><body bgcolor=\"aqua\">\r\n<h3>";
    h += TranslateStringId(text::kLogReportFrom) + u" " + date + u"</h3>\r\n";
    h += u"<a name=\"BookmarkBegin\" href=#BookmarkEnd>" + TranslateStringId(text::kLogGotoBottom) + u"</a><br>";
    h += u"<a href=" + previous + u".htm>" + TranslateStringId(text::kLogGotoPreviousDay) + u"</a><br>";
    h += u"<table width=\"100%\">\r\n";
    h += kFooter;
    return h;
}

std::u16string Row(bool isError, const SYSTEMTIME& now, std::u16string_view message) {
    std::u16string row = isError ? u"<tr><td style=\"color: red\">" : u"<tr><td>";
    row += Printf("%02d:%02d:%02d PID=%08x ", now.wHour, now.wMinute, now.wSecond, unsigned(GetCurrentProcessId()));
    row += EscapeLogMessage(message);
    row += u"</td></tr>\r\n";
    row += kFooter;
    return row;
}

bool WriteAll(HANDLE file, std::u16string_view text) {
    DWORD bytes = DWORD(text.size() * 2), written = 0;
    return WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
}

bool Restart(HANDLE file, std::u16string_view content) {
    std::u16string text(1, kByteOrderMark);
    text += content;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file) && WriteAll(file, text);
}

// The day's file for this writer alone, waiting a moment for other writers.
skyvane::UniqueHandle OpenAlone(const std::u16string& path) {
    auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        skyvane::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION) return file;
        // A lock wait is not time the system sees, so it is real time even
        // under a test clock.
        if (std::chrono::steady_clock::now() >= deadline) return file;
        std::this_thread::sleep_for(kLockRetry);
    }
}

}  // namespace

std::u16string LogFileName(const SYSTEMTIME& day) {
    return Printf("SkyvaneLog%04d-%02d-%02d.htm", day.wYear, day.wMonth, day.wDay);
}

std::u16string LogFilePath(const SYSTEMTIME& day) {
    plugin::SettingsKey key(plugin::kSettingsProduct, plugin::kSettingsCompany);
    return plugin::DataFolder(key) + u"\\" + LogFileName(day);
}

std::u16string_view LogFooter() { return kFooter; }

std::u16string EscapeLogMessage(std::u16string_view message) {
    std::u16string out;
    for (size_t i = 0; i < message.size(); ++i) {
        char16_t c = message[i];
        std::u16string_view piece = c == u'&' ? u"&amp;" : c == u'<' ? u"&lt;" : c == u'>' ? u"&gt;"
                                                                                 : message.substr(i, 1);
        // A character and its low surrogate stay together.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < message.size()) piece = message.substr(i++, 2);
        if (out.size() + piece.size() > kMaxLogMessage) break;
        out += piece;
    }
    return out;
}

void WriteLog(bool isError, std::u16string_view message) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    plugin::SettingsKey key(plugin::kSettingsProduct, plugin::kSettingsCompany);
    const std::u16string folder = plugin::DataFolder(key);
    const std::u16string path = folder + u"\\" + LogFileName(now);
    skyvane::UniqueHandle file = OpenAlone(path);
    if (!file) {
        SKYVANE_LOG("plugin", "log row dropped: %s cannot be opened (error %u): %s", skyvane::ToUtf8(path).c_str(),
                    unsigned(GetLastError()), skyvane::ToUtf8(message).c_str());
        return;
    }
    bool ok = true;
    DWORD size = GetFileSize(file.get(), nullptr);
    // A new day's file, or one grown past twice the limit (the size compared
    // in characters), starts with the header.
    if (size == 0 || size / 2 > kMaxLogFileSize) {
        ok = Restart(file.get(), Header(now));
        std::u16string old = folder + u"\\" + LogFileName(DaysBefore(now, 5));
        DeleteFileW(old.c_str());
        key.WriteText(u"LastLogFile", path);
        size = GetFileSize(file.get(), nullptr);
    }
    std::u16string row = Row(isError, now, message);
    if (ok && size <= kMaxLogFileSize && size > kFooterBytes) {
        // The row goes where the footer was and brings the footer with it.
        ok = SetFilePointer(file.get(), LONG(size - kFooterBytes), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
             SetEndOfFile(file.get()) && WriteAll(file.get(), row);
    } else if (ok) {
        ok = Restart(file.get(), row);
    }
    if (!ok)
        SKYVANE_LOG("plugin", "log row lost: writing %s failed (error %u)", skyvane::ToUtf8(path).c_str(),
                    unsigned(GetLastError()));
}

}  // namespace skyvane::ui
