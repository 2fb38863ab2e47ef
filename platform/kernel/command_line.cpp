#include "platform/kernel/command_line.h"

namespace skyvane {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Splits arguments starting at pos, appending them to out.
void SplitFrom(std::u16string_view s, size_t pos, std::vector<std::u16string>& out) {
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
    if (pos >= s.size()) return;

    std::u16string arg;
    bool quoted = false;  // inside a quoted part
    size_t backslashes = 0;
    while (pos < s.size()) {
        char16_t c = s[pos];
        if (IsBlank(c) && !quoted) {
            out.push_back(std::move(arg));
            arg.clear();
            backslashes = 0;
            while (pos < s.size() && IsBlank(s[pos])) ++pos;
            if (pos >= s.size()) return;
            continue;
        }
        if (c == u'\\') {
            arg += c;
            ++backslashes;
            ++pos;
            continue;
        }
        if (c != u'"') {
            arg += c;
            backslashes = 0;
            ++pos;
            continue;
        }
        // A quote: the backslashes before it are halved; an odd one out makes
        // the quote literal.
        arg.resize(arg.size() - backslashes / 2);
        // Quote characters counting towards the run; the quote that opened a
        // quoted part counts with it.
        int quotes = quoted ? 1 : 0;
        if (backslashes % 2 == 1)
            arg.back() = u'"';  // replaces the odd backslash
        else
            ++quotes;
        backslashes = 0;
        ++pos;
        // A run of quotes: every third one is literal; the count left over
        // decides whether we end up inside a quoted part.
        while (pos < s.size() && s[pos] == u'"') {
            if (++quotes == 3) {
                arg += u'"';
                quotes = 0;
            }
            ++pos;
        }
        quoted = quotes == 1;
    }
    out.push_back(std::move(arg));
}

}  // namespace

std::vector<std::u16string> SplitArguments(std::u16string_view text) {
    std::vector<std::u16string> out;
    SplitFrom(text, 0, out);
    return out;
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view text) {
    std::vector<std::u16string> out;
    if (text.empty()) return out;
    size_t pos = 0;
    if (text[0] == u'"') {
        size_t close = text.find(u'"', 1);
        if (close == std::u16string_view::npos) close = text.size();
        out.emplace_back(text.substr(1, close - 1));
        pos = close < text.size() ? close + 1 : close;
    } else {
        while (pos < text.size() && !IsBlank(text[pos])) ++pos;
        out.emplace_back(text.substr(0, pos));
    }
    SplitFrom(text, pos, out);
    return out;
}

}  // namespace skyvane
