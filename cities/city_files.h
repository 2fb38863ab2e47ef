// Readers of the three city database files: the line reader with its fixed
// line buffer, and one parser per file for a single line. They take bytes
// from anywhere (a file, a test's text, a fuzzer's input), never fail on bad
// bytes and return typed values; what a damaged value means is decided by the
// city directory.
//
//   index.txt     "Austria", or "A*;" for a letter heading (device code page)
//   kweather.idx  "austria.txt;1234(56)": section name, byte offset, line count
//   kweather.db   "Wien;AUXX0025": city name in UTF-8, code
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::cities {

// The readers keep each line in a buffer of 255 bytes: 253 bytes of text, the
// line feed and the terminator.
inline constexpr std::size_t kLineBufferSize = 255;
inline constexpr std::size_t kMaxLineText = kLineBufferSize - 2;

// Fills `buffer` with up to `size` bytes; returns how many, 0 at the end of
// the input, or a negative number when reading failed.
using ByteSource = std::function<long(char* buffer, std::size_t size)>;

// Splits a byte stream into lines as a text-mode reader does: the line feed
// ends a line and is removed, with a carriage return before it; the last line
// may lack its line feed. Text past 253 bytes is dropped up to the line feed,
// so that a long line stays one line and the lines after it keep their count.
class LineReader {
public:
    explicit LineReader(ByteSource source) : source_(std::move(source)) {}
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line in `line`; false at the end of the input or when reading
    // failed (Failed() tells which).
    bool Next(std::string& line);
    bool Failed() const { return failed_; }
    // Bytes consumed so far, line feeds included.
    std::size_t Consumed() const { return consumed_; }

private:
    bool Fill();

    ByteSource source_;
    char chunk_[4096];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::size_t consumed_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

// A line of index.txt. A line that holds "*" is a letter heading, and its
// text loses every ";" and "*"; any other line is a country name as it is.
struct CountryEntry {
    std::string name;  // device code page
    LONG isLetter = 0;
};
CountryEntry ParseCountryLine(std::string_view line);

// A line of kweather.idx: name up to the first ";", the offset from the text
// after it up to "(", the count after that "(". A part that is missing or not
// a 32-bit decimal number reads as -1.
struct SectionEntry {
    std::string name;  // device code page, compared byte for byte
    LONG offset = -1;
    LONG count = -1;
};
SectionEntry ParseSectionLine(std::string_view line);

// A line of kweather.db split at its first ";"; without one the whole line is
// the name and the code is empty.
struct CityLine {
    std::string_view name;  // UTF-8
    std::string_view code;  // ASCII
};
CityLine SplitCityLine(std::string_view line);

// A city name from the data file in the device code page: decoded from UTF-8
// (bad bytes become U+FFFD), characters the code page lacks become its
// default character.
std::string CityNameToAnsi(std::string_view utf8, UINT codePage);

// Reads a decimal number the way the index's numbers are read: optional
// blanks and sign, then digits up to the first non-digit. -1 when there is no
// digit or the value does not fit in 32 bits.
LONG ReadIndexNumber(std::string_view text);

}  // namespace skyvane::cities
