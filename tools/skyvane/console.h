// Output for people: UTF-8 texts on standard output, failures as one
// sentence on standard error, and the widths that keep columns straight.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace skyvane::cli {

void Print(std::u16string_view text);
void PrintLine(std::u16string_view text);
void PrintLine(std::string_view utf8);
// "skyvane: <sentence>" on standard error; the failure status (1).
int Fail(std::string_view sentence);

std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view utf8);

// The columns a text takes on a terminal: one per character, two for the
// wide characters of East Asian scripts.
size_t DisplayWidth(std::u16string_view text);
// The text followed by blanks up to `width` columns.
std::u16string PadRight(std::u16string_view text, size_t width);

bool StdinIsTerminal();
bool StdoutIsTerminal();

}  // namespace skyvane::cli
