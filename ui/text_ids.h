// The numbers of the plugin's string-table texts. Numbers below 1000 are the
// library's historic string table; 1000 and above were given to the other
// texts the plugin shows, and stay as they are once given (the language
// tables in data/lang/ refer to them).
#pragma once

#include <cstdint>

namespace skyvane::ui::text {

// --- The historic string table ----------------------------------------------
inline constexpr int32_t kHttpError = 3;              // "Weather server HTTP error %d ocurred. Please try later."
inline constexpr int32_t kUpdateFailed = 4;           // "Weather update failed."
inline constexpr int32_t kWrongXml = 5;               // "Weather service returned wrong XML response. Error is %s"
inline constexpr int32_t kCannotOpenFile = 6;         // "Cannot open file %s. ..."
inline constexpr int32_t kEnterCityOrZip = 7;         // "Enter city name or ZIP:"
inline constexpr int32_t kEnterCity = 8;              // "Enter city name:"
inline constexpr int32_t kCountryLabel = 9;           // "Country:"
inline constexpr int32_t kCityLabel = 10;             // "City:"
inline constexpr int32_t kEnterCountry = 11;          // "Enter country name:"
inline constexpr int32_t kDownloadStatistics = 12;    // "time=%d ms, download size=%d bytes unpacked=%d bytes"
inline constexpr int32_t kServiceError = 102;         // "Weather service returned error. Error is %s"
inline constexpr int32_t kClickToAddCity = 109;       // "Click here to add city"
inline constexpr int32_t kNoWeather = 112;            // "There is no weather"
inline constexpr int32_t kGettingWeatherNow = 113;    // "getting weather now ..."
inline constexpr int32_t kUnknownError = 127;         // "Unknown error"
inline constexpr int32_t kCannotStartProcess = 129;   // "Can not start process to connect with server"
inline constexpr int32_t kUpdatedSuccessfully = 142;  // "updated successfully"
inline constexpr int32_t kConfirmDelete = 205;        // "Are you sure want to delete %s?"
inline constexpr int32_t kInitialize = 244;           // "Initialize"
inline constexpr int32_t kRenewalFinished = 247;      // "Renewal for %s finished successfully(now is %d items, %s)"
inline constexpr int32_t kUpdatedCities = 250;        // "Updated weather for %d cities"
inline constexpr int32_t kConnectionSucceeded = 273;  // "Connection is successful. Details: %s."
inline constexpr int32_t kConnectionFailed = 274;     // "Connection is failed. Details: %s."
inline constexpr int32_t kCityAdded = 326;            // "%s added"
inline constexpr int32_t kCityDeleted = 327;          // "%s deleted"
inline constexpr int32_t kManualUpdates = 328;        // "weather will updated manually"
inline constexpr int32_t kNoneUpdated = 334;          // "None sites updated"
inline constexpr int32_t kUpdateProcessWillStart = 386;  // "Weather update process will start."
inline constexpr int32_t kUpdateProcessFailed = 387;     // "Weather update process failed."
inline constexpr int32_t kUpdateProcessStarted = 388;    // "Weather update process started successfully."
inline constexpr int32_t kConnectionReleased = 395;      // "Connection released"
inline constexpr int32_t kSoftRebootRequired = 408;      // "The soft-reboot is required. Continue?"
inline constexpr int32_t kUpdating = 410;                // "Updating"
inline constexpr int32_t kRoamingUpdateQuestion = 414;   // "You are in roaming. ..."
inline constexpr int32_t kRoamingAutoQuestion = 415;     // "Auto updates in roaming may be expensive. ..."
inline constexpr int32_t kUpdate = 443;                  // "Update"
inline constexpr int32_t kCradled = 454;                 // "Cradled"
inline constexpr int32_t kWiFi = 455;                    // "WiFi"
inline constexpr int32_t kRoaming = 456;                 // "Roaming"
inline constexpr int32_t kGsm = 457;                     // "GSM"

// --- The diagnostic log ----------------------------------------------------
inline constexpr int32_t kLogReportFrom = 1000;      // "report from"
inline constexpr int32_t kLogGotoBottom = 1001;      // "goto bottom"
inline constexpr int32_t kLogGotoPreviousDay = 1002; // "goto previous day"

// --- Formatting of values, times and ages ------------------------------------
// Weekday names from Sunday: short at kShortWeekdays + day, full at
// kWeekdays + day; month names at kMonths + month - 1.
inline constexpr int32_t kShortWeekdays = 1100;  // "Sun" ... "Sat"
inline constexpr int32_t kWeekdays = 1107;       // "Sunday" ... "Saturday"
inline constexpr int32_t kMonths = 1114;         // "January" ... "December"
inline constexpr int32_t kToday = 1126;          // "Today"
inline constexpr int32_t kTomorrow = 1127;       // "Tomorrow"
inline constexpr int32_t kUpdatedDaysAgo = 1130;  // "updated %d days ago"
inline constexpr int32_t kUpdatedHoursAgo = 1131; // "updated %d hours ago"
inline constexpr int32_t kUpdatedMinutesAgo = 1132;// "updated %d minutes ago"
inline constexpr int32_t kUpdatedSecondsAgo = 1133;// "updated %d seconds ago"
inline constexpr int32_t kDaysAgo = 1134;         // "%d days ago"
inline constexpr int32_t kHoursAgo = 1135;        // "%d hours ago"
inline constexpr int32_t kMinAgo = 1136;          // "%d min ago"
inline constexpr int32_t kNow = 1137;             // "Now"
inline constexpr int32_t kSecAgo = 1138;          // "%d sec ago"
inline constexpr int32_t kMph = 1140;             // "mph"
inline constexpr int32_t kKmh = 1141;             // "km/h"
inline constexpr int32_t kMps = 1142;             // "m/s"
inline constexpr int32_t kInHg = 1143;            // "inHg"
inline constexpr int32_t kMmHg = 1144;            // "mmHg"
inline constexpr int32_t kMBar = 1145;            // "mBar"
inline constexpr int32_t kHPa = 1146;             // "hPa"
inline constexpr int32_t kMiles = 1147;           // "miles"
inline constexpr int32_t kKm = 1148;              // "km"
inline constexpr int32_t kMetres = 1149;          // "m"
inline constexpr int32_t kVisibility = 1150;      // "Visibility"
inline constexpr int32_t kHumidity = 1151;        // "Humidity"
inline constexpr int32_t kChancePrecip = 1152;    // "Chance precip."
inline constexpr int32_t kUv = 1153;              // "UV"
// The unit systems of the options list, in its order: kUnitSystems + i for
// the i-th of the first 24 entries (the knot entries are fixed texts).
inline constexpr int32_t kUnitSystems = 1160;  // "°C, m/s, mmHg,12h" ...

}  // namespace skyvane::ui::text
