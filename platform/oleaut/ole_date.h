// OLE Automation dates: days since 30 December 1899 00:00 in local time, the
// fraction being the time of day (for negative dates the fraction still counts
// forward from midnight: -1.25 is 29 December 1899 06:00).
#pragma once

#include "platform/oleaut/bstr.h"
#include "platform/base/win_types.h"

// Two-digit years 0..29 are 2000..2029 and 30..99 are 1930..1999. Months out of
// 1..12, days past the month's end, hours over 23 and so on are refused (FALSE);
// wDayOfWeek and wMilliseconds are ignored. Valid years run 100..9999.
INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, double* pvtime);
// Rounds to the nearest second; fills wDayOfWeek; wMilliseconds is 0. FALSE for
// dates outside 1 January 100 .. 31 December 9999.
INT VariantTimeToSystemTime(double vtime, LPSYSTEMTIME lpSystemTime);

#define VAR_TIMEVALUEONLY 0x00000001
#define VAR_DATEVALUEONLY 0x00000002
// The default text of a DATE in the user's locale (English, United States: the
// short date "M/D/YYYY" and the time "h:mm:ss AM"). A whole number of days gives
// the date alone, a date whose day part is 30 December 1899 gives the time alone.
HRESULT VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime);
LONG CompareFileTime(const FILETIME* a, const FILETIME* b);
