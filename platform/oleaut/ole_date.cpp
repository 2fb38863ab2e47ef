#include "platform/oleaut/ole_date.h"

#include <cmath>
#include <cstdio>

#include "platform/kernel/handles.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"

namespace {

using skyvane::DaysFromCivil;

// DATE 0.0 is 30 December 1899, 25569 days before 1 January 1970; the range
// runs from 1 January 100 to 31 December 9999.
constexpr long long kDateEpochDays = -25569;
constexpr double kMinDate = -657434.0;
constexpr double kMaxDay = 2958465.0;

// 100-nanosecond units between 1 January 1601 and 1 January 1970.
constexpr long long kFileTimeUnixEpoch = 116444736000000000LL;
constexpr long long kFileTimePerMs = 10000;

unsigned long long FileTimeValue(const FILETIME& ft) {
    return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void SetFileTimeValue(FILETIME& ft, unsigned long long v) {
    ft.dwLowDateTime = DWORD(v & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(v >> 32);
}

// Splits a DATE into the calendar day (days from 30 December 1899) and the
// second of that day, rounded to the nearest second. The fraction always counts
// forward from midnight, also for negative dates.
bool SplitDate(double date, long long& day, long long& second) {
    // Any time of 1 January 100 (down to -657434.99...) through any time of
    // 31 December 9999; the comparison also refuses NaN.
    if (!(date > kMinDate - 1.0 && date < kMaxDay + 1.0)) return false;
    double whole = std::trunc(date);
    day = static_cast<long long>(whole);
    second = std::llround(std::fabs(date - whole) * 86400.0);
    if (second >= 86400) {
        ++day;
        second -= 86400;
    }
    return day <= static_cast<long long>(kMaxDay);
}

}  // namespace

INT SystemTimeToVariantTime(const SYSTEMTIME* st, double* pvtime) {
    if (!st || !pvtime) return FALSE;
    int year = st->wYear;
    if (year < 30) year += 2000;
    else if (year < 100) year += 1900;
    else if (year > 9999) return FALSE;
    if (st->wMonth < 1 || st->wMonth > 12) return FALSE;
    if (st->wDay < 1 || st->wDay > skyvane::DaysInMonth(year, st->wMonth)) return FALSE;
    if (st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59) return FALSE;

    long long day = DaysFromCivil(year, st->wMonth, st->wDay) - kDateEpochDays;
    double fraction = (st->wHour * 3600.0 + st->wMinute * 60.0 + st->wSecond) / 86400.0;
    *pvtime = day >= 0 ? double(day) + fraction : double(day) - fraction;
    return TRUE;
}

INT VariantTimeToSystemTime(double vtime, LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return FALSE;
    long long day, second;
    if (!SplitDate(vtime, day, second)) return FALSE;
    *lpSystemTime = skyvane::UnixMsToSystemTime(((day + kDateEpochDays) * 86400 + second) * 1000);
    return TRUE;
}

HRESULT VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut) {
    // The device's locale is English (United States); lcid does not change the form.
    if (!pbstrOut) return E_POINTER;
    *pbstrOut = nullptr;
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(dateIn, &st)) return E_INVALIDARG;

    bool dateOnly = dwFlags & VAR_DATEVALUEONLY;
    bool timeOnly = dwFlags & VAR_TIMEVALUEONLY;
    if (dateOnly && timeOnly) return E_INVALIDARG;  // nothing left to show
    if (!dateOnly && !timeOnly) {
        if (dateIn > -1.0 && dateIn < 1.0) timeOnly = true;  // the day part is 30 December 1899
        else if (st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0) dateOnly = true;
    }

    char text[64];
    int n = 0;
    if (!timeOnly) n += std::snprintf(text + n, sizeof text - n, "%u/%u/%u", st.wMonth, st.wDay, st.wYear);
    if (!dateOnly) {
        unsigned hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
        n += std::snprintf(text + n, sizeof text - n, "%s%u:%02u:%02u %s", timeOnly ? "" : " ", hour12, st.wMinute,
                           st.wSecond, st.wHour < 12 ? "AM" : "PM");
    }
    std::u16string wide(text, text + n);
    *pbstrOut = skyvane::AllocBstr(wide);
    return *pbstrOut ? S_OK : E_OUTOFMEMORY;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    long long ms;
    if (!lpSystemTime || !lpFileTime || lpSystemTime->wYear < 1601 || lpSystemTime->wYear > 30827 ||
        !skyvane::SystemTimeToUnixMs(*lpSystemTime, ms)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SetFileTimeValue(*lpFileTime, static_cast<unsigned long long>(ms * kFileTimePerMs + kFileTimeUnixEpoch));
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime || FileTimeValue(*lpFileTime) > 0x7FFFFFFFFFFFFFFFull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long long units = static_cast<long long>(FileTimeValue(*lpFileTime)) - kFileTimeUnixEpoch;
    long long ms = units / kFileTimePerMs - (units % kFileTimePerMs < 0 ? 1 : 0);
    *lpSystemTime = skyvane::UnixMsToSystemTime(ms);
    return TRUE;
}

namespace {

// The platform converts file times with the bias in force now, not the one in
// force at the file time.
BOOL ShiftFileTime(const FILETIME* from, LPFILETIME to, int direction) {
    if (!from || !to) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long long shift = skyvane::UtcOffsetMs(skyvane::ReadClock().utcMs) * kFileTimePerMs * direction;
    unsigned long long v = FileTimeValue(*from);
    if ((shift < 0 && v < static_cast<unsigned long long>(-shift)) ||
        (shift > 0 && v > 0x7FFFFFFFFFFFFFFFull - static_cast<unsigned long long>(shift))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SetFileTimeValue(*to, v + static_cast<unsigned long long>(shift));
    return TRUE;
}

}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    return ShiftFileTime(lpFileTime, lpLocalFileTime, 1);
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    return ShiftFileTime(lpLocalFileTime, lpFileTime, -1);
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
    if (!a || !b) return 0;
    unsigned long long x = FileTimeValue(*a), y = FileTimeValue(*b);
    return x < y ? -1 : x > y ? 1 : 0;
}
