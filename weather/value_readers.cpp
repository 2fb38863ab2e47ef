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
    explicit Narrow(std::string_view text) {
        // The texts are short: a plain loop beats a library call.
        size_t n = 0;
        while (n < text.size() && text[n] != 0) ++n;
        view_ = text.substr(0, n);
    }
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

// The blanks of scanf: space, and tab through carriage return.
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A cursor with the conversions of scanf: %d, %f, %Ns and literal characters.
class Scanner {
public:
    explicit Scanner(const Narrow& text) : s_(text.View()) {}

    void SkipSpace() {
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
    }
    // %d: blanks, an optional sign and at least one digit, digit groups
    // separated by commas read as one number ("1,014"). A number no int holds
    // does not read (scanf leaves that undefined).
    bool Int(int& out) {
        SkipSpace();
        size_t p = pos_;
        bool negative = false;
        if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) negative = s_[p++] == '-';
        long long value = 0;
        if (!Digits(p, value)) return false;
        pos_ = p;
        value = negative ? -value : value;
        if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return false;
        out = int(value);
        return true;
    }
    // %f into a float, in the C locale whatever the process's locale is, with
    // the digit groups of the whole part read as for %d ("1,014.6").
    bool Float(float& out) {
        SkipSpace();
        return FastFloat(out) || SlowFloat(out);
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
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    // The digits starting at p, added to value (which stops growing far
    // beyond what any int holds): a run of digits, and when that run is one
    // to three digits long, every following group of a comma and exactly
    // three digits. False when there is no digit at p.
    bool Digits(size_t& at, long long& total) const {
        const char* const s = s_.data();
        const size_t n = s_.size();
        size_t p = at;
        long long value = total;
        // Once far beyond any int, the value only has to stay there.
        auto add = [&value](char digit) { value = value < (1LL << 40) ? value * 10 + (digit - '0') : value; };
        for (; p < n && IsDigit(s[p]); ++p) add(s[p]);
        if (p == at) return false;
        if (p - at <= 3) {
            while (p + 3 < n && s[p] == ',' && IsDigit(s[p + 1]) && IsDigit(s[p + 2]) && IsDigit(s[p + 3]) &&
                   !(p + 4 < n && IsDigit(s[p + 4]))) {
                add(s[p + 1]);
                add(s[p + 2]);
                add(s[p + 3]);
                p += 4;
            }
        }
        at = p;
        total = value;
        return true;
    }

    // The common plain decimal ("1012.9", "-4", "1,014.6"): a whole number of
    // at most 24 bits over a power of ten that a float holds exactly, so that
    // one division rounds exactly as the full conversion does. False, with
    // nothing consumed, for anything else.
    bool FastFloat(float& out) {
        static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        size_t p = pos_;
        const bool negative = p < s_.size() && s_[p] == '-';
        if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
        long long mantissa = 0;
        const bool whole = Digits(p, mantissa);
        size_t decimals = 0;
        if (p < s_.size() && s_[p] == '.') {
            for (++p; p < s_.size() && IsDigit(s_[p]); ++p, ++decimals)
                mantissa = mantissa < (1LL << 40) ? mantissa * 10 + (s_[p] - '0') : mantissa;
        }
        if (!whole && decimals == 0) return false;
        // An exponent or a hexadecimal number is left to the full conversion.
        if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E' || s_[p] == 'x' || s_[p] == 'X')) return false;
        if (mantissa > (1LL << 24) || decimals >= std::size(kPowers)) return false;
        const float v = float(mantissa) / kPowers[decimals];
        out = negative ? -v : v;
        pos_ = p;
        return true;
    }

    // Everything else, through strtof. The number ends at a blank at the
    // latest, so only that far is handed over.
    bool SlowFloat(float& out) {
        size_t end = pos_;
        while (end < s_.size() && !IsSpace(s_[end])) ++end;
        size_t digits = pos_ + (pos_ < end && (s_[pos_] == '+' || s_[pos_] == '-'));
        long long ignored = 0;
        size_t groupsEnd = digits;
        Digits(groupsEnd, ignored);
        // The word without the commas between digit groups.
        char small[64];
        std::string large;
        char* buffer = end - pos_ < sizeof small ? small : (large.resize(end - pos_ + 1), large.data());
        size_t n = 0, commas = 0;
        for (size_t p = pos_; p < end; ++p) {
            if (p < groupsEnd && s_[p] == ',') ++commas;
            else buffer[n++] = s_[p];
        }
        buffer[n] = 0;
        char* stop = nullptr;
        float v = strtof_l(buffer, &stop, CLocale());
        if (stop == buffer) return false;
        // The number reads at least its whole part, commas included.
        pos_ += size_t(stop - buffer) + commas;
        out = v;
        return true;
    }

    static locale_t CLocale() {
        static locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return c;
    }

    std::string_view s_;
    size_t pos_ = 0;
};

// The am/pm rule: "am" with hour 12 is hour 0, "pm" adds 12 to any hour but
// 12; any other word leaves the hour as read. -1 when the hour read or the
// hour of the day it gives is not one of 0 to 23.
int HourOfDay(int hour, std::string_view word) {
    if (hour < 0 || hour > 23) return -1;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (word.size() == 2 && lower(word[1]) == 'm') {
        if (lower(word[0]) == 'a') return hour == 12 ? 0 : hour;
        if (lower(word[0]) == 'p') hour = hour != 12 ? hour + 12 : hour;
    }
    return hour <= 23 ? hour : -1;
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
    hour = HourOfDay(hour, word);
    if (hour < 0) return kNaDate;
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
    hour = HourOfDay(hour, word);
    DATE d = kNaDate;
    if (hour < 0) return kNaDate;
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
