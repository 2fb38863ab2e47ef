#include "weather/value_readers.h"

#include <clocale>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>
#include <type_traits>

#include "platform/oleaut/ole_date.h"
#include "platform/kernel/win_time.h"

namespace skyvane::weather {
namespace {

// The service's readers are scanf patterns over the element's text, read as
// 8-bit characters: only ASCII takes part in the patterns, and a NUL ends the
// text as it ends a C string. A UTF-8 text is read where it lies; a UTF-16
// text is narrowed first (anything beyond ASCII becomes a character no pattern
// accepts), through a buffer on the stack for the short texts of the feed.
class Narrow {
public:
    explicit Narrow(std::string_view text) : view_(text.substr(0, std::min(text.size(), text.find('\0')))) {}
    explicit Narrow(std::u16string_view text) {
        size_t n = 0;
        while (n < text.size() && text[n] != 0) ++n;
        char* out = n <= sizeof small_ ? small_ : (large_.resize(n), large_.data());
        for (size_t i = 0; i < n; ++i) out[i] = text[i] < 0x80 ? char(text[i]) : '\x7f';
        view_ = std::string_view(out, n);
    }
    Narrow(const Narrow&) = delete;
    Narrow& operator=(const Narrow&) = delete;
    std::string_view View() const { return view_; }

private:
    char small_[64];
    std::string large_;
    std::string_view view_;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A cursor with the conversions of scanf: %d, %f, %Ns and literal characters.
class Scanner {
public:
    explicit Scanner(const Narrow& text) : s_(text.View()) {}

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    }
    // %d: blanks, an optional sign and at least one digit. A number no int
    // holds does not read (scanf leaves that undefined).
    bool Int(int& out) {
        SkipSpace();
        size_t p = pos_;
        bool negative = false;
        if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) negative = s_[p++] == '-';
        size_t digits = p;
        long long value = 0;
        bool overflow = false;
        while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') {
            if (value <= (1LL << 40)) value = value * 10 + (s_[p] - '0');
            else overflow = true;
            ++p;
        }
        if (p == digits) return false;
        pos_ = p;
        if (negative) value = -value;
        if (overflow || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
            return false;
        out = int(value);
        return true;
    }
    // %f into a float, in the C locale whatever the process's locale is. The
    // number ends at a blank at the latest, so only that far is handed over.
    bool Float(float& out) {
        SkipSpace();
        size_t end = pos_;
        while (end < s_.size() && !IsSpace(s_[end])) ++end;
        std::string_view word = s_.substr(pos_, end - pos_);
        char small[64];
        std::string large;
        const char* begin;
        if (word.size() < sizeof small) {
            std::memcpy(small, word.data(), word.size());
            small[word.size()] = 0;
            begin = small;
        } else {
            large.assign(word);
            begin = large.c_str();
        }
        char* stop = nullptr;
        float v = strtof_l(begin, &stop, CLocale());
        if (stop == begin) return false;
        pos_ += size_t(stop - begin);
        out = v;
        return true;
    }
    // %Ns: blanks, then up to max characters that are not blanks.
    bool Word(size_t max, std::string_view& out) {
        SkipSpace();
        size_t p = pos_;
        while (p < s_.size() && p - pos_ < max && !IsSpace(s_[p])) ++p;
        if (p == pos_) return false;
        out = s_.substr(pos_, p - pos_);
        pos_ = p;
        return true;
    }
    // A literal character of the pattern must match exactly.
    bool Literal(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

private:
    static locale_t CLocale() {
        static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return c;
    }

    std::string_view s_;
    size_t pos_ = 0;
};

// The am/pm rule: "am" with hour 12 is hour 0, "pm" adds 12 to any hour but
// 12; any other word leaves the hour as read.
int ApplyMeridiem(int hour, std::string_view word) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (word.size() == 2 && lower(word[1]) == 'm') {
        if (lower(word[0]) == 'a') return hour == 12 ? 0 : hour;
        if (lower(word[0]) == 'p') return hour != 12 ? hour + 12 : hour;
    }
    return hour;
}

bool FitsWord(int v) { return v >= 0 && v <= 0xFFFF; }

// The platform's calendar conversion, which also maps two-digit years.
bool ToDate(int year, int month, int day, int hour, int minute, int second, DATE& out) {
    if (!FitsWord(year) || !FitsWord(month) || !FitsWord(day) || !FitsWord(hour) || !FitsWord(minute) ||
        !FitsWord(second))
        return false;
    SYSTEMTIME st{};
    st.wYear = WORD(year);
    st.wMonth = WORD(month);
    st.wDay = WORD(day);
    st.wHour = WORD(hour);
    st.wMinute = WORD(minute);
    st.wSecond = WORD(second);
    double d = 0;
    if (!SystemTimeToVariantTime(&st, &d)) return false;
    out = d;
    return true;
}

template <class Ch>
double ParseNumberOf(std::basic_string_view<Ch> text) {
    Narrow s(text);
    Scanner in(s);
    float v = 0;
    // Infinities and NaN read as numbers but mean nothing here: not available.
    if (!in.Float(v) || !std::isfinite(v)) return kNaDouble;
    return double(v);
}

template <class Ch>
bool ScanIntegerOf(std::basic_string_view<Ch> text, int& out) {
    Narrow s(text);
    Scanner in(s);
    return in.Int(out);
}

template <class Ch>
double ParseTemperatureOf(std::basic_string_view<Ch> text) {
    double v = ParseNumberOf(text);
    if (v == kNaDouble) return v;
    if (text.find(Ch('F')) != std::basic_string_view<Ch>::npos) v = (v - 32) * 5 / 9;
    return v;
}

template <class Ch>
DATE ParseClockTimeOf(std::basic_string_view<Ch> text) {
    Narrow s(text);
    Scanner in(s);
    int hour = 0, minute = 0;
    std::string_view word;
    if (!in.Int(hour) || !in.Literal(':') || !in.Int(minute)) return kNaDate;
    if (!in.Word(20, word)) return hour == 0 && minute == 0 ? 0.0 : kNaDate;
    hour = ApplyMeridiem(hour, word);
    return (double(hour) * 60 + minute) / 1440;
}

template <class Ch>
DATE ParseStampDateOf(std::basic_string_view<Ch> text) {
    Narrow s(text);
    Scanner in(s);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    std::string_view word;
    if (!in.Int(month) || !in.Literal('/') || !in.Int(day) || !in.Literal('/') || !in.Int(year)) return kNaDate;
    in.SkipSpace();
    if (!in.Int(hour) || !in.Literal(':') || !in.Int(minute) || !in.Word(20, word)) return kNaDate;
    hour = ApplyMeridiem(hour, word);
    DATE d = kNaDate;
    return ToDate(year, month, day, hour, minute, 0, d) ? d : kNaDate;
}

template <class Ch>
bool TryParseAlertTimeOf(std::basic_string_view<Ch> text, DATE& out) {
    Narrow s(text);
    Scanner in(s);
    int v[6] = {};
    for (int i = 0; i < 6; ++i) {
        if ((i > 0 && !in.Literal(':')) || !in.Int(v[i])) return false;
    }
    return v[0] <= 0xFFFF - 2000 && ToDate(2000 + v[0], v[1], v[2], v[3], v[4], v[5], out);
}

template <class Ch>
DATE ParseAlertTimeOf(std::basic_string_view<Ch> text) {
    DATE d = 0;
    return TryParseAlertTimeOf(text, d) ? d : CurrentLocalDate();
}

}  // namespace

double ParseNumber(std::u16string_view text) { return ParseNumberOf(text); }
double ParseNumber(std::string_view text) { return ParseNumberOf(text); }
int ParseInteger(std::u16string_view text) {
    int v = 0;
    return ScanIntegerOf(text, v) ? v : kNaInt;
}
int ParseInteger(std::string_view text) {
    int v = 0;
    return ScanIntegerOf(text, v) ? v : kNaInt;
}
bool ScanInteger(std::u16string_view text, int& out) { return ScanIntegerOf(text, out); }
bool ScanInteger(std::string_view text, int& out) { return ScanIntegerOf(text, out); }
double ParseTemperature(std::u16string_view text) { return ParseTemperatureOf(text); }
double ParseTemperature(std::string_view text) { return ParseTemperatureOf(text); }
DATE ParseClockTime(std::u16string_view text) { return ParseClockTimeOf(text); }
DATE ParseClockTime(std::string_view text) { return ParseClockTimeOf(text); }
DATE ParseStampDate(std::u16string_view text) { return ParseStampDateOf(text); }
DATE ParseStampDate(std::string_view text) { return ParseStampDateOf(text); }
DATE ParseAlertTime(std::u16string_view text) { return ParseAlertTimeOf(text); }
DATE ParseAlertTime(std::string_view text) { return ParseAlertTimeOf(text); }
bool TryParseAlertTime(std::u16string_view text, DATE& out) { return TryParseAlertTimeOf(text, out); }
bool TryParseAlertTime(std::string_view text, DATE& out) { return TryParseAlertTimeOf(text, out); }

DATE CurrentLocalDate() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    double d = 0;
    return SystemTimeToVariantTime(&st, &d) ? d : kNaDate;
}

bool TruncateToInt(double value, int& out) {
    if (value == kNaDouble || !(value > -2147483649.0 && value < 2147483648.0)) return false;
    out = int(value);
    return true;
}

}  // namespace skyvane::weather
