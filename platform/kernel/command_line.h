// Splitting a command line into arguments the way the platform's
// CommandLineToArgvW does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace skyvane {
// Arguments only: whitespace (space, tab) separates them outside quotes; a
// quote opens or closes a quoted part; 2n backslashes before a quote become n
// and the quote keeps its meaning, 2n+1 become n and a literal quote;
// backslashes elsewhere are literal; runs of quotes follow the platform's "3n"
// rule (three quotes give one literal quote). An unclosed quote runs to the end.
std::vector<std::u16string> SplitArguments(std::u16string_view text);
// A full command line: the program first, which has rules of its own (it ends
// at the first whitespace, or at the second quote when it starts with one, and
// backslashes mean nothing in it), then the arguments. An empty text gives no
// words at all.
std::vector<std::u16string> SplitCommandLine(std::u16string_view text);
}  // namespace skyvane
