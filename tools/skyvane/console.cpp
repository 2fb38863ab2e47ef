#include "skyvane/console.h"

#include <unistd.h>

#include <cstdio>

#include "platform/kernel/nls/text_conv.h"

namespace skyvane::cli {
namespace {

// Hangul, the CJK blocks, Hiragana, Katakana and full-width forms.
bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
           (c >= 0x1F300 && c <= 0x1FAFF) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string Utf8(std::u16string_view text) { return skyvane::ToUtf8(text); }
std::u16string Utf16(std::string_view utf8) { return skyvane::FromUtf8(utf8); }

void Print(std::u16string_view text) {
    const std::string utf8 = Utf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintLine(std::u16string_view text) {
    Print(text);
    std::fputc('\n', stdout);
}

void PrintLine(std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fputc('\n', stdout);
}

int Fail(std::string_view sentence) {
    std::fflush(stdout);
    std::fprintf(stderr, "skyvane: %.*s\n", int(sentence.size()), sentence.data());
    return 1;
}

size_t DisplayWidth(std::u16string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c == 0xFE0F) continue;  // the emoji presentation selector takes no column
        width += IsWide(c) ? 2 : 1;
    }
    return width;
}

std::u16string PadRight(std::u16string_view text, size_t width) {
    std::u16string padded(text);
    for (size_t w = DisplayWidth(text); w < width; ++w) padded += u' ';
    return padded;
}

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

}  // namespace skyvane::cli
