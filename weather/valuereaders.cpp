#include "weather/valuereaders.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

#include "platform/oledate.h"
#include "platform/wintime.h"

namespace kweather {
namespace {

// The service's readers are scanf patterns over the element's text. The text is
// narrowed first: ASCII stays, anything else becomes a character that no
// pattern accepts, and a NUL ends the text as it ends a C string.
std::string Narrow(std::u16string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char16_t c : text) {
        if (c == 0) break;
        s.push_back(c < 0x80 ? char(c) : '\x7f');
    }
    return s;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A cursor with the conversions of scanf: %d, %f, %Ns and literal characters.
class Scanner {
public:
    explicit Scanner(const std::string& s) : s_(s) {}

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
    // %f into a float, in the C locale whatever the process's locale is.
    bool Float(float& out) {
        SkipSpace();
        const char* begin = s_.c_str() + pos_;
        char* end = nullptr;
        float v = strtof_l(begin, &end, CLocale());
        if (end == begin) return false;
        pos_ += size_t(end - begin);
        out = v;
        return true;
    }
    // %Ns: blanks, then up to max characters that are not blanks.
    bool Word(size_t max, std::string& out) {
        SkipSpace();
        size_t p = pos_;
        while (p < s_.size() && p - pos_ < max && !IsSpace(s_[p])) ++p;
        if (p == pos_) return false;
        out.assign(s_, pos_, p - pos_);
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

    const std::string& s_;
    size_t pos_ = 0;
};

// The am/pm rule: "am" with hour 12 is hour 0, "pm" adds 12 to any hour but
// 12; any other word leaves the hour as read.
int ApplyMeridiem(int hour, const std::string& word) {
    std::string lower;
    for (char c : word) lower.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    if (lower == "am") return hour == 12 ? 0 : hour;
    if (lower == "pm") return hour != 12 ? hour + 12 : hour;
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

}  // namespace

double ParseNumber(std::u16string_view text) {
    std::string s = Narrow(text);
    Scanner in(s);
    float v = 0;
    // Infinities and NaN read as numbers but mean nothing here: not available.
    if (!in.Float(v) || !std::isfinite(v)) return kNaDouble;
    return double(v);
}

int ParseInteger(std::u16string_view text) {
    int v = 0;
    return ScanInteger(text, v) ? v : kNaInt;
}

bool ScanInteger(std::u16string_view text, int& out) {
    std::string s = Narrow(text);
    Scanner in(s);
    return in.Int(out);
}

double ParseTemperature(std::u16string_view text) {
    double v = ParseNumber(text);
    if (v == kNaDouble) return v;
    if (text.find(u'F') != std::u16string_view::npos) v = (v - 32) * 5 / 9;
    return v;
}

DATE ParseClockTime(std::u16string_view text) {
    std::string s = Narrow(text);
    Scanner in(s);
    int hour = 0, minute = 0;
    std::string word;
    if (!in.Int(hour) || !in.Literal(':') || !in.Int(minute)) return kNaDate;
    if (!in.Word(20, word)) return hour == 0 && minute == 0 ? 0.0 : kNaDate;
    hour = ApplyMeridiem(hour, word);
    return (double(hour) * 60 + minute) / 1440;
}

DATE ParseStampDate(std::u16string_view text) {
    std::string s = Narrow(text);
    Scanner in(s);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    std::string word;
    if (!in.Int(month) || !in.Literal('/') || !in.Int(day) || !in.Literal('/') || !in.Int(year)) return kNaDate;
    in.SkipSpace();
    if (!in.Int(hour) || !in.Literal(':') || !in.Int(minute) || !in.Word(20, word)) return kNaDate;
    hour = ApplyMeridiem(hour, word);
    DATE d = kNaDate;
    return ToDate(year, month, day, hour, minute, 0, d) ? d : kNaDate;
}

DATE ParseAlertTime(std::u16string_view text) {
    std::string s = Narrow(text);
    Scanner in(s);
    int v[6] = {};
    for (int i = 0; i < 6; ++i) {
        if ((i > 0 && !in.Literal(':')) || !in.Int(v[i])) return CurrentLocalDate();
    }
    DATE d = 0;
    if (v[0] > 0xFFFF - 2000 || !ToDate(2000 + v[0], v[1], v[2], v[3], v[4], v[5], d)) return CurrentLocalDate();
    return d;
}

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

}  // namespace kweather
