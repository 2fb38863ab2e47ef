// The diagnostic log: one HTML file a day, "SkyvaneLog<yyyy-mm-dd>.htm" in
// the plugin's data folder, UTF-16 with a byte-order mark, that every process
// of the plugin appends to. Each day's file links to the previous day's;
// files five days old are removed; error rows are red. An append holds the
// file for itself (other writers wait a moment and then drop their row), so
// rows of processes writing at once are all kept and the footer stays last.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::ui {

// The size above which a file starts again.
inline constexpr DWORD kMaxLogFileSize = 0x80000;
// Characters of a message that are kept.
inline constexpr size_t kMaxLogMessage = 300;

// Appends one message; a message that cannot be written is lost (and said
// so on the developer log).
void WriteLog(bool isError, std::u16string_view message);

// The name of the day's log file, "SkyvaneLog2026-03-07.htm".
std::u16string LogFileName(const SYSTEMTIME& day);
// The device path of the day's log file, in the plugin's data folder.
std::u16string LogFilePath(const SYSTEMTIME& day);
// The message as it goes into its row: "&", "<" and ">" escaped, at most 300
// characters, never cut inside an escape or a character.
std::u16string EscapeLogMessage(std::u16string_view message);
// The text that ends every log file.
std::u16string_view LogFooter();

}  // namespace skyvane::ui
