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

}  // namespace skyvane::ui::text
