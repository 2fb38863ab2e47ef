#include "platform/kernel/tz_rule.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/kernel/win_time.h"

namespace skyvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class Reader {
public:
    explicit Reader(std::string_view s) : s_(s) {}
    bool AtEnd() const { return pos_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++pos_;
        return true;
    }

    // A zone abbreviation: three or more letters, or anything but '>' in <...>.
    bool Name(std::string& out) {
        out.clear();
        if (Take('<')) {
            while (!AtEnd() && Peek() != '>') out += s_[pos_++];
            return Take('>') && !out.empty();
        }
        while (IsAlpha(Peek())) out += s_[pos_++];
        return out.size() >= 3;
    }

    // [+|-]hh[:mm[:ss]] in seconds; hours up to maxHours.
    bool Time(long& out, int maxHours) {
        int sign = 1;
        if (Take('-')) sign = -1;
        else Take('+');
        long h, m = 0, sec = 0;
        if (!Number(h, 0, maxHours)) return false;
        if (Take(':')) {
            if (!Number(m, 0, 59)) return false;
            if (Take(':') && !Number(sec, 0, 59)) return false;
        }
        out = sign * ((h * 60 + m) * 60 + sec);
        return true;
    }

    bool Number(long& out, long min, long max) {
        if (!IsDigit(Peek())) return false;
        out = 0;
        while (IsDigit(Peek())) {
            out = out * 10 + (s_[pos_++] - '0');
            if (out > max) return false;
        }
        return out >= min;
    }

    // Mm.w.d, Jn or n, with an optional /time (up to 167 hours either way).
    bool Rule(TzTransitionRule& rule) {
        long a, b, c;
        if (Take('M')) {
            if (!Number(a, 1, 12) || !Take('.') || !Number(b, 1, 5) || !Take('.') || !Number(c, 0, 6)) return false;
            rule.kind = TzTransitionRule::MonthWeekDay;
            rule.month = int(a);
            rule.week = int(b);
            rule.weekday = int(c);
        } else if (Take('J')) {
            if (!Number(a, 1, 365)) return false;
            rule.kind = TzTransitionRule::JulianNoLeap;
            rule.day = int(a);
        } else {
            if (!Number(a, 0, 365)) return false;
            rule.kind = TzTransitionRule::JulianZero;
            rule.day = int(a);
        }
        rule.seconds = 7200;
        if (Take('/') && !Time(rule.seconds, 167)) return false;
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
};

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

uint32_t BigEndian32(std::string_view s, size_t at) {
    return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
           (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

}  // namespace

bool ParsePosixTz(std::string_view text, PosixTz& zone) {
    zone = PosixTz{};
    Reader r(text);
    if (!r.Name(zone.stdName) || !r.Time(zone.stdWest, 24)) return false;
    if (r.AtEnd()) return true;
    if (!r.Name(zone.dstName)) return false;
    zone.hasDst = true;
    zone.dstWest = zone.stdWest - 3600;
    if (r.Peek() != ',' && !r.AtEnd() && !r.Time(zone.dstWest, 24)) return false;
    if (r.AtEnd()) {
        // A daylight name without rules: the C library falls back to the US rules.
        zone.start = {TzTransitionRule::MonthWeekDay, 3, 2, 0, 0, 7200};
        zone.end = {TzTransitionRule::MonthWeekDay, 11, 1, 0, 0, 7200};
        return true;
    }
    if (!r.Take(',') || !r.Rule(zone.start) || !r.Take(',') || !r.Rule(zone.end)) return false;
    return r.AtEnd();
}

std::string TzifFooter(std::string_view s) {
    // Header: "TZif", version, 15 reserved bytes, six counts.
    auto dataSize = [&](size_t at, size_t timeSize, size_t& size) {
        if (s.size() < at + 44 || s.substr(at, 4) != "TZif") return false;
        uint32_t isut = BigEndian32(s, at + 20), isstd = BigEndian32(s, at + 24), leap = BigEndian32(s, at + 28),
                 time = BigEndian32(s, at + 32), type = BigEndian32(s, at + 36), chars = BigEndian32(s, at + 40);
        size = 44 + size_t(time) * (timeSize + 1) + size_t(type) * 6 + chars + size_t(leap) * (timeSize + 4) + isstd + isut;
        return true;
    };
    size_t v1;
    if (!dataSize(0, 4, v1) || s[4] < '2') return {};
    size_t v2;
    if (!dataSize(v1, 8, v2)) return {};
    size_t at = v1 + v2;
    if (at >= s.size() || s[at] != '\n') return {};
    size_t end = s.find('\n', at + 1);
    if (end == std::string_view::npos) return {};
    return std::string(s.substr(at + 1, end - at - 1));
}

bool CurrentZoneRule(PosixTz& zone) {
    const char* tz = std::getenv("TZ");
    std::string file;
    if (!tz) {
        file = "/etc/localtime";
    } else {
        std::string_view name(tz);
        if (!name.empty() && name[0] == ':') name.remove_prefix(1);
        if (name.empty()) return ParsePosixTz("UTC0", zone);
        if (name[0] == '/') {
            file = std::string(name);
        } else {
            const char* dir = std::getenv("TZDIR");
            file = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + std::string(name);
        }
    }
    std::string contents;
    if (ReadWholeFile(file, contents) && contents.compare(0, 4, "TZif") == 0) {
        std::string footer = TzifFooter(contents);
        if (footer.empty()) return false;
        return ParsePosixTz(footer, zone) || ParsePosixTz("UTC0", zone);
    }
    if (tz && ParsePosixTz(*tz == ':' ? tz + 1 : tz, zone)) return true;
    return ParsePosixTz("UTC0", zone);
}

long long TransitionLocalDays(const TzTransitionRule& rule, int year) {
    long long jan1 = DaysFromCivil(year, 1, 1);
    switch (rule.kind) {
    case TzTransitionRule::JulianNoLeap:
        return jan1 + rule.day - 1 + (IsLeapYear(year) && rule.day >= 60 ? 1 : 0);
    case TzTransitionRule::JulianZero:
        return jan1 + rule.day;
    case TzTransitionRule::MonthWeekDay:
        break;
    }
    long long first = DaysFromCivil(year, rule.month, 1);
    int day = 1 + (rule.weekday - DayOfWeek(first) + 7) % 7 + (rule.week - 1) * 7;
    if (day > DaysInMonth(year, rule.month)) day -= 7;
    return first + day - 1;
}

}  // namespace skyvane
