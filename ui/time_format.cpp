#include "ui/time_format.h"

#include <cmath>
#include <cstdio>

#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/ole_date.h"
#include "plugin/update_lease.h"
#include "ui/text_ids.h"
#include "ui/translator.h"
#include "ui/units.h"

namespace skyvane::ui {
namespace {

using plugin::WeatherRecord;

// Names are found by weekday and month number.
static_assert(text::kWeekdayShortSaturday == text::kWeekdayShortSunday + 6);
static_assert(text::kWeekdaySaturday == text::kWeekdaySunday + 6);
static_assert(text::kMonthDecember == text::kMonthJanuary + 11);

constexpr double kHalfSecond = 5.787037037037037e-6;

std::u16string Printf(const char16_t* fmt, int32_t value) {
    // The texts are the translated patterns: only "%d" is filled in.
    std::u16string pattern(fmt), out;
    size_t at = pattern.find(u"%d");
    if (at == std::u16string::npos) return pattern;
    return pattern.substr(0, at) + skyvane::FromUtf8(std::to_string(value)) + pattern.substr(at + 2);
}

std::u16string Text(int32_t id) { return TranslateStringId(id); }

bool ToSystemTime(double date, SYSTEMTIME& st) { return VariantTimeToSystemTime(date, &st) != 0; }

long long DayNumber(double date) { return (long long)std::floor(date); }

struct Age {
    bool valid = false;
    long long days = 0, hours = 0, minutes = 0, seconds = 0;
};

Age AgeOf(double time, double now) {
    Age a;
    if (time <= 0 || time == kMissingValue || time > now) return a;
    double age = now - time;
    age += age >= 0 ? kHalfSecond : -kHalfSecond;
    a.valid = true;
    a.days = (long long)age;
    a.hours = (long long)(age * 24);
    a.minutes = (long long)(age * 1440);
    a.seconds = (long long)(age * 86400);
    return a;
}

// The row of an age table: days, hours, minutes or the last column.
std::u16string AgeText(const Age& a, const int32_t ids[4], int32_t* refresh = nullptr) {
    static constexpr int32_t kRefresh[] = {240, 60, 1, 1};
    int column = a.days > 1 ? 0 : a.hours > 1 ? 1 : a.minutes > 1 ? 2 : 3;
    long long counts[] = {a.days, a.hours, a.minutes, a.seconds};
    if (refresh) *refresh = kRefresh[column];
    return Printf(Text(ids[column]).c_str(), int32_t(counts[column]));
}

}  // namespace

std::u16string FormatDate(double date, DateOptions options) {
    SYSTEMTIME st;
    if (date == -1.0 || !ToSystemTime(date, st)) return {};
    std::u16string month = Text(text::kMonthJanuary + st.wMonth - 1);
    if (options.abbreviated && month.size() > 3) month.resize(3);
    int32_t language = CurrentLanguage();
    bool dayFirst = options.dayFirst || language == 1048 || language == 1049 || language == 1036 || language == 1040;
    std::u16string day = skyvane::FromUtf8(std::to_string(st.wDay));
    if (language == 1042) day += u"일";
    if (dayFirst) return day + u" " + month;
    if (options.parenthesised) return month + u" (" + day + u")";
    return month + u" " + day;
}

std::u16string FormatDayCaption(double date, bool relative, double now) {
    SYSTEMTIME st;
    if (date == -1.0 || !ToSystemTime(date, st)) return {};
    long long ahead = DayNumber(date) - DayNumber(now);
    if (ahead > 6) return FormatDate(date);
    if (!relative) return Text(text::kWeekdayShortSunday + st.wDayOfWeek);
    if (ahead == 0) return Text(text::kToday);
    if (ahead == 1) return Text(text::kTomorrow);
    return Text(text::kWeekdaySunday + st.wDayOfWeek);
}

std::u16string FormatClock(double time, bool twelveHour, bool withMinutes) {
    SYSTEMTIME st;
    if (!ToSystemTime(time, st)) return {};
    char buffer[32];
    if (twelveHour) {
        int hour = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
        std::snprintf(buffer, sizeof buffer, "%02d:%02d %s", hour, withMinutes ? st.wMinute : 0,
                      st.wHour < 12 ? "AM" : "PM");
    } else {
        std::snprintf(buffer, sizeof buffer, "%02d:%02d", st.wHour, withMinutes ? st.wMinute : 0);
    }
    std::string text = buffer;
    if (text[0] == '0') text.erase(0, 1);
    return skyvane::FromUtf8(text);
}

std::u16string FormatTime(WeatherRecord& item, bool withMinutes, bool relative, double explicitTime, double now) {
    const bool explicitGiven = explicitTime > 0;
    if (item.type == KWCurrent && !withMinutes && !explicitGiven) return FormatAgoShort(item, item.date, now);
    if (item.type != KWHBH && !withMinutes) return FormatDayCaption(item.date, relative, now);
    double time = explicitGiven ? explicitTime : item.type == KWCurrent ? now : item.date;
    if (time == -1.0) return {};
    std::u16string clock = FormatClock(time, Uses12HourClock(item.units), withMinutes);
    if (DayNumber(time) == DayNumber(now) && !withMinutes) return clock;
    return FormatDayCaption(time, relative, now) + u"," + clock;
}

std::u16string FormatUpdatedAgo(double time, double now) {
    static constexpr int32_t ids[] = {text::kUpdatedDaysAgo, text::kUpdatedHoursAgo, text::kUpdatedMinutesAgo,
                                      text::kUpdatedSecondsAgo};
    Age age = AgeOf(time, now);
    return age.valid ? AgeText(age, ids) : std::u16string();
}

std::u16string FormatAgoShort(WeatherRecord& item, double time, double now) {
    static constexpr int32_t ids[] = {text::kDaysAgo, text::kHoursAgo, text::kMinAgo, text::kNow};
    item.refreshMinutes = 0;
    Age age = AgeOf(time, now);
    return age.valid ? AgeText(age, ids, &item.refreshMinutes) : std::u16string();
}

std::u16string FormatAgeOrProgress(plugin::SettingsKey& key, double time, double now) {
    static constexpr int32_t ids[] = {text::kDaysAgo, text::kHoursAgo, text::kMinAgo, text::kSecAgo};
    if (plugin::UpdateInProgress(key, now)) return Text(text::kGettingWeatherNow);
    Age age = AgeOf(time, now);
    return age.valid ? AgeText(age, ids) : std::u16string();
}

}  // namespace skyvane::ui
