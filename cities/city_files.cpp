#include "cities/city_files.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/kernel/nls/text_conv.h"

namespace skyvane::cities {

bool LineReader::Fill() {
    if (eof_ || failed_) return false;
    long got = source_(chunk_, sizeof chunk_);
    if (got < 0) {
        failed_ = true;
        return false;
    }
    if (got == 0) {
        eof_ = true;
        return false;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(got) < sizeof chunk_ ? static_cast<std::size_t>(got) : sizeof chunk_;
    return true;
}

bool LineReader::Next(std::string& line) {
    line.clear();
    bool any = false;  // a line exists once one byte of it was read
    for (;;) {
        if (pos_ == end_ && !Fill()) {
            // End of input: a last line without its line feed still counts.
            if (failed_) return false;
            break;
        }
        any = true;
        const char* start = chunk_ + pos_;
        const void* lf = std::memchr(start, '\n', end_ - pos_);
        std::size_t take = lf ? static_cast<const char*>(lf) - start : end_ - pos_;
        if (line.size() < kMaxLineText + 1) {
            // One byte more than the text limit is kept so that a carriage
            // return right after 253 bytes of text can still be recognised.
            line.append(start, std::min(take, kMaxLineText + 1 - line.size()));
        }
        pos_ += take;
        consumed_ += take;
        if (lf) {
            ++pos_;
            ++consumed_;
            break;
        }
    }
    if (!any) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineText) line.resize(kMaxLineText);
    return true;
}

CountryEntry ParseCountryLine(std::string_view line) {
    CountryEntry entry;
    if (line.find('*') == std::string_view::npos) {
        entry.name.assign(line);
        return entry;
    }
    entry.isLetter = 1;
    for (char c : line) {
        if (c != '*' && c != ';') entry.name.push_back(c);
    }
    return entry;
}

LONG ReadIndexNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<LONG>::max()) return -1;
    }
    if (digits == 0) return -1;
    return static_cast<LONG>(negative ? -value : value);
}

SectionEntry ParseSectionLine(std::string_view line) {
    SectionEntry entry;
    std::size_t semicolon = line.find(';');
    entry.name.assign(line.substr(0, semicolon));
    if (semicolon == std::string_view::npos) return entry;
    std::string_view rest = line.substr(semicolon + 1);
    std::size_t paren = rest.find('(');
    entry.offset = ReadIndexNumber(rest.substr(0, paren));
    if (paren != std::string_view::npos) entry.count = ReadIndexNumber(rest.substr(paren + 1));
    return entry;
}

CityLine SplitCityLine(std::string_view line) {
    std::size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos) return {line, {}};
    return {line.substr(0, semicolon), line.substr(semicolon + 1)};
}

std::string CityNameToAnsi(std::string_view utf8, UINT codePage) {
    return ToAnsi(FromUtf8(utf8), codePage);
}

}  // namespace skyvane::cities
