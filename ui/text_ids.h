// The numbers of the plugin's string-table texts. Numbers below 1000 are the
// library's historic string table; 1000 and above were given to the other
// texts the plugin shows, and stay as they are once given (the language
// tables in data/lang/ refer to them).
// Dialog and menu items (by dialog and control) and the provider's words (by
// their text) are found in those tables without a number here.
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

// --- Product names and window titles ----------------------------------------
inline constexpr int32_t kProductTitle = 1003;       // "Skyvane Weather"
inline constexpr int32_t kClockProductTitle = 1004;  // "Weather Clock"
inline constexpr int32_t kPluginDisplayName = 1005;  // "Weather"

// --- Unit systems (by UnitType value; the knot systems 27-40 are fixed texts) ---
inline constexpr int32_t kUnitSystem2 = 1010;   // "°C, m/s, mmHg,12h"
inline constexpr int32_t kUnitSystem13 = 1011;  // "°C, m/s, mmHg, 24 h"
inline constexpr int32_t kUnitSystem5 = 1012;   // "°C, m/s, mBar,12h"
inline constexpr int32_t kUnitSystem14 = 1013;  // "°C, m/s, mBar, 24 h"
inline constexpr int32_t kUnitSystem6 = 1014;   // "°C, m/s, hPa,12h"
inline constexpr int32_t kUnitSystem15 = 1015;  // "°C, m/s, hPa, 24 h"
inline constexpr int32_t kUnitSystem1 = 1016;   // "°F, mile/h, inHg,12h"
inline constexpr int32_t kUnitSystem12 = 1017;  // "°F, mile/h, inHg, 24 h"
inline constexpr int32_t kUnitSystem7 = 1018;   // "°F, mile/h, mBar,12h"
inline constexpr int32_t kUnitSystem16 = 1019;  // "°F, mile/h, mBar, 24 h"
inline constexpr int32_t kUnitSystem8 = 1020;   // "°F, mile/h, hPa,12h"
inline constexpr int32_t kUnitSystem17 = 1021;  // "°F, mile/h, hPa, 24 h"
inline constexpr int32_t kUnitSystem9 = 1022;   // "°C, km/h, mmHg,12h"
inline constexpr int32_t kUnitSystem18 = 1023;  // "°C, km/h, mmHg, 24 h"
inline constexpr int32_t kUnitSystem10 = 1024;  // "°C, km/h, mBar,12h"
inline constexpr int32_t kUnitSystem19 = 1025;  // "°C, km/h, mBar, 24 h"
inline constexpr int32_t kUnitSystem11 = 1026;  // "°C, km/h, hPa,12h"
inline constexpr int32_t kUnitSystem20 = 1027;  // "°C, km/h, hPa, 24 h"
inline constexpr int32_t kUnitSystem21 = 1028;  // "°C, mile/h, inHg,12h"
inline constexpr int32_t kUnitSystem24 = 1029;  // "°C, mile/h, inHg, 24 h"
inline constexpr int32_t kUnitSystem22 = 1030;  // "°C, mile/h, mBar,12h"
inline constexpr int32_t kUnitSystem25 = 1031;  // "°C, mile/h, mBar, 24 h"
inline constexpr int32_t kUnitSystem23 = 1032;  // "°C, mile/h, hPa,12h"
inline constexpr int32_t kUnitSystem26 = 1033;  // "°C, mile/h, hPa, 24 h"

// --- Unit labels (F, C, kt and nmi are fixed texts) -------------------------
inline constexpr int32_t kUnitMph = 1040;     // "mph"
inline constexpr int32_t kUnitKmh = 1041;     // "km/h"
inline constexpr int32_t kUnitMs = 1042;      // "m/s"
inline constexpr int32_t kUnitInHg = 1043;    // "inHg"
inline constexpr int32_t kUnitMmHg = 1044;    // "mmHg"
inline constexpr int32_t kUnitMBar = 1045;    // "mBar"
inline constexpr int32_t kUnitHPa = 1046;     // "hPa"
inline constexpr int32_t kUnitMiles = 1047;   // "miles"
inline constexpr int32_t kUnitKm = 1048;      // "km"
inline constexpr int32_t kUnitMetres = 1049;  // "m"

// --- Weekday names, short (Sunday first) ------------------------------------
inline constexpr int32_t kWeekdayShortSunday = 1050;     // "Sun"
inline constexpr int32_t kWeekdayShortMonday = 1051;     // "Mon"
inline constexpr int32_t kWeekdayShortTuesday = 1052;    // "Tue"
inline constexpr int32_t kWeekdayShortWednesday = 1053;  // "Wed"
inline constexpr int32_t kWeekdayShortThursday = 1054;   // "Thu"
inline constexpr int32_t kWeekdayShortFriday = 1055;     // "Fri"
inline constexpr int32_t kWeekdayShortSaturday = 1056;   // "Sat"

// --- Weekday names, full (Sunday first) -------------------------------------
inline constexpr int32_t kWeekdaySunday = 1060;     // "Sunday"
inline constexpr int32_t kWeekdayMonday = 1061;     // "Monday"
inline constexpr int32_t kWeekdayTuesday = 1062;    // "Tuesday"
inline constexpr int32_t kWeekdayWednesday = 1063;  // "Wednesday"
inline constexpr int32_t kWeekdayThursday = 1064;   // "Thursday"
inline constexpr int32_t kWeekdayFriday = 1065;     // "Friday"
inline constexpr int32_t kWeekdaySaturday = 1066;   // "Saturday"

// --- Month names (abbreviations cut them to 3 characters) -------------------
inline constexpr int32_t kMonthJanuary = 1070;    // "January"
inline constexpr int32_t kMonthFebruary = 1071;   // "February"
inline constexpr int32_t kMonthMarch = 1072;      // "March"
inline constexpr int32_t kMonthApril = 1073;      // "April"
inline constexpr int32_t kMonthMay = 1074;        // "May"
inline constexpr int32_t kMonthJune = 1075;       // "June"
inline constexpr int32_t kMonthJuly = 1076;       // "July"
inline constexpr int32_t kMonthAugust = 1077;     // "August"
inline constexpr int32_t kMonthSeptember = 1078;  // "September"
inline constexpr int32_t kMonthOctober = 1079;    // "October"
inline constexpr int32_t kMonthNovember = 1080;   // "November"
inline constexpr int32_t kMonthDecember = 1081;   // "December"

// --- Relative days ----------------------------------------------------------
inline constexpr int32_t kToday = 1085;      // "Today"
inline constexpr int32_t kTomorrow = 1086;   // "Tomorrow"
inline constexpr int32_t kYesterday = 1087;  // "Yesterday"

// --- Ages of the weather ----------------------------------------------------
inline constexpr int32_t kUpdatedDaysAgo = 1090;     // "updated %d days ago"
inline constexpr int32_t kUpdatedHoursAgo = 1091;    // "updated %d hours ago"
inline constexpr int32_t kUpdatedMinutesAgo = 1092;  // "updated %d minutes ago"
inline constexpr int32_t kUpdatedSecondsAgo = 1093;  // "updated %d seconds ago"
inline constexpr int32_t kDaysAgo = 1094;            // "%d days ago"
inline constexpr int32_t kHoursAgo = 1095;           // "%d hours ago"
inline constexpr int32_t kMinAgo = 1096;             // "%d min ago"
inline constexpr int32_t kNow = 1097;                // "Now"
inline constexpr int32_t kSecAgo = 1098;             // "%d sec ago"

// --- Captions of weather values ---------------------------------------------
inline constexpr int32_t kVisibility = 1100;    // "Visibility"
inline constexpr int32_t kHumidity = 1101;      // "Humidity"
inline constexpr int32_t kChancePrecip = 1102;  // "Chance precip."
inline constexpr int32_t kUv = 1103;            // "UV"
inline constexpr int32_t kWind = 1104;          // "Wind"

// --- View types of the home item: 1110 + ViewType (no view type 9) ----------
inline constexpr int32_t kViewType0 = 1110;   // "2 lines - 1 day details"
inline constexpr int32_t kViewType1 = 1111;   // "1 line - 1 day details"
inline constexpr int32_t kViewType2 = 1112;   // "2 lines - 3 day details"
inline constexpr int32_t kViewType3 = 1113;   // "1 line - 3 days details"
inline constexpr int32_t kViewType4 = 1114;   // "2 lines - 3 days without current conditions"
inline constexpr int32_t kViewType5 = 1115;   // "1 line - 3 days without current conditions"
inline constexpr int32_t kViewType6 = 1116;   // "2 lines - Hour by hour"
inline constexpr int32_t kViewType7 = 1117;   // "1 line - Hour by hour"
inline constexpr int32_t kViewType8 = 1118;   // "3 lines - 1 day details"
inline constexpr int32_t kViewType10 = 1120;  // "3 lines - 3 day details"
inline constexpr int32_t kViewType11 = 1121;  // "3 lines - 3 days without current conditions"
inline constexpr int32_t kViewType12 = 1122;  // "3 lines - Hour by hour"

// --- Animation periods (AnimationPeriod) ------------------------------------
inline constexpr int32_t kAnimationNone = 1130;       // "No animation"
inline constexpr int32_t kAnimation5Seconds = 1131;   // "5 seconds"
inline constexpr int32_t kAnimation15Seconds = 1132;  // "15 seconds"
inline constexpr int32_t kAnimation1Minute = 1133;    // "1 minute"
inline constexpr int32_t kAnimation10Minutes = 1134;  // "10 minutes"
inline constexpr int32_t kAnimationInfinite = 1135;   // "Infinite"

// --- Update schedule choices ------------------------------------------------
inline constexpr int32_t kScheduleManual = 1140;          // "Manual"
inline constexpr int32_t kScheduleEvery10Minutes = 1141;  // "every 10 minutes"
inline constexpr int32_t kScheduleEvery30Minutes = 1142;  // "every 30 minutes"
inline constexpr int32_t kScheduleEvery1Hour = 1143;      // "every 1 hour"
inline constexpr int32_t kScheduleEvery2Hours = 1144;     // "every 2 hours"
inline constexpr int32_t kScheduleEvery4Hours = 1145;     // "every 4 hours"
inline constexpr int32_t kScheduleEvery8Hours = 1146;     // "every 8 hours"
inline constexpr int32_t kScheduleEvery12Hours = 1147;    // "every 12 hours"
inline constexpr int32_t kScheduleMidnight = 1148;        // "Each midnight"
inline constexpr int32_t kScheduleAt4Am = 1149;           // "Each 04:00 am"
inline constexpr int32_t kScheduleAt6Am = 1150;           // "Each 06:00 am"
inline constexpr int32_t kScheduleAt8Am = 1151;           // "Each 08:00 am"
inline constexpr int32_t kScheduleAt8Pm = 1152;           // "Each 08:00 pm(20:00)"

// --- Update schedule choices without the hourly forecast (double blanks are the texts' own) ---
inline constexpr int32_t kScheduleManualNoHourly = 1160;        // "Manual  without hourly forecast"
inline constexpr int32_t kScheduleEvery1HourNoHourly = 1161;    // "every 1 hour  without hourly forecast"
inline constexpr int32_t kScheduleEvery2HoursNoHourly = 1162;   // "every 2 hours without hourly forecast"
inline constexpr int32_t kScheduleEvery12HoursNoHourly = 1163;  // "every 12 hours  without hourly forecast"
inline constexpr int32_t kScheduleMidnightNoHourly = 1164;      // "Each midnight without hourly forecast"
inline constexpr int32_t kScheduleAt4AmNoHourly = 1165;         // "Each 04:00 am without hourly forecast"
inline constexpr int32_t kScheduleAt6AmNoHourly = 1166;         // "Each 06:00 am without hourly forecast"
inline constexpr int32_t kScheduleAt8AmNoHourly = 1167;         // "Each 08:00 am without hourly forecast"
inline constexpr int32_t kScheduleAt8PmNoHourly = 1168;         // "Each 08:00 pm(20:00) without hourly forecast"

// --- The manual-update reminder (CDialogManual) -----------------------------
inline constexpr int32_t kReminderLastUpdate = 1170;   // "Last weather update was %s ago. Do you want to:"
inline constexpr int32_t kReminderRoaming = 1171;      // "You are in roaming. Weather update may be expensive."
inline constexpr int32_t kReminderUpdateNow = 1172;    // "Update weather now"
inline constexpr int32_t kReminderNeverAsk = 1173;     // "Never ask me again"
inline constexpr int32_t kReminderAskNextTime = 1174;  // "Ask me next time"
inline constexpr int32_t kReminderAskTomorrow = 1175;  // "Ask me tomorrow"

// --- Connection destinations: 1180 + ConnectionGUID -------------------------
inline constexpr int32_t kDestinationNetworkThenInternet = 1180;  // "Network then Internet"
inline constexpr int32_t kDestinationInternet = 1181;             // "Internet"
inline constexpr int32_t kDestinationCorporate = 1182;            // "Corporate network"
inline constexpr int32_t kDestinationWap = 1183;                  // "WAP network"
inline constexpr int32_t kDestinationSecureWap = 1184;            // "Secure WAP network"
inline constexpr int32_t kDestinationInternetThenNetwork = 1185;  // "Internet then Network"

// --- Proxy kinds (ProxyFlags) -----------------------------------------------
inline constexpr int32_t kProxyNone = 1190;           // "no proxy"
inline constexpr int32_t kProxyAutoDetect = 1191;     // "Auto detect"
inline constexpr int32_t kProxyHttp = 1192;           // "HTTP proxy"
inline constexpr int32_t kProxyHttpKeepAlive = 1193;  // "HTTP proxy(connect alive)"
inline constexpr int32_t kProxyWap = 1194;            // "WAP proxy"
inline constexpr int32_t kProxySocks4 = 1195;         // "SOCKS4 proxy"
inline constexpr int32_t kProxySocks5 = 1196;         // "SOCKS5 proxy"

// --- Connection status texts (by status code) -------------------------------
inline constexpr int32_t kConnStatusUnknown = 1200;             // "The status is unknown."
inline constexpr int32_t kConnStatusConnected = 1201;           // "The connection is up."
inline constexpr int32_t kConnStatusDisconnected = 1202;        // "The connection has been disconnected."
inline constexpr int32_t kConnStatusFailed = 1203;              // "The connection failed and cannot be reestablished."
inline constexpr int32_t kConnStatusCanceled = 1204;            // "The user aborted the connection."
inline constexpr int32_t kConnStatusDisabled = 1205;            // "The connection can be made, although the ..."
inline constexpr int32_t kConnStatusNoPath = 1206;              // "No path to the destination could be found."
inline constexpr int32_t kConnStatusWaitingForPath = 1207;      // "A path to the destination exists but is not ..."
inline constexpr int32_t kConnStatusWaitingForPhone = 1208;     // "An in-progress voice call is using resources ..."
inline constexpr int32_t kConnStatusWaitingConnection = 1209;   // "The device is attempting to connect."
inline constexpr int32_t kConnStatusWaitingForResource = 1210;  // "Another client is using resources that this ..."
inline constexpr int32_t kConnStatusWaitingForNetwork = 1211;   // "The device is waiting for a task with a higher ..."
inline constexpr int32_t kConnStatusDisconnecting = 1212;       // "The connection is being brought down."
inline constexpr int32_t kConnStatusAborting = 1213;            // "The device is aborting the connection attempt."
inline constexpr int32_t kConnStatusOther = 1214;               // "The status of the connection is unknown"

// --- The connection page ----------------------------------------------------
inline constexpr int32_t kConnectionTest = 1216;  // "Test"

// --- The home item ----------------------------------------------------------
inline constexpr int32_t kDefaultFontAndSize = 1220;      // "(default font and size)"
inline constexpr int32_t kTouchDoubleSoundOn = 1221;      // "Double, Sound On"
inline constexpr int32_t kTouchDoubleSoundOff = 1222;     // "Double, Sound Off"
inline constexpr int32_t kTouchSingleSoundOn = 1223;      // "Single, Sound On"
inline constexpr int32_t kTouchSingleSoundOff = 1224;     // "Single, Sound Off"
inline constexpr int32_t kTouchSingleVibraOn = 1225;      // "Single, Vibra On"
inline constexpr int32_t kTouchDoubleVibraOn = 1226;      // "Double, Vibra On"
inline constexpr int32_t kTodayNoPluginInterface = 1227;  // "Error 1: please reinstall SkyvaneWeather"
inline constexpr int32_t kTodayNoPluginObject = 1228;     // "Error 2: please reinstall SkyvaneWeather"

// --- Themes -----------------------------------------------------------------
inline constexpr int32_t kDefaultTheme = 1230;        // "(default theme)"
inline constexpr int32_t kThemesNotSupported = 1231;  // "Not supported on current OS"

// --- Details views ----------------------------------------------------------
inline constexpr int32_t kDay = 1240;                  // "Day"
inline constexpr int32_t kNight = 1241;                // "Night"
inline constexpr int32_t kSunrise = 1242;              // "Sunrise"
inline constexpr int32_t kMoonrise = 1243;             // "Moonrise"
inline constexpr int32_t kFeelsLike = 1244;            // "Feels like"
inline constexpr int32_t kUpdatingNow = 1245;          // "updating now..."
inline constexpr int32_t kPleaseWait = 1246;           // "Please wait ..."
inline constexpr int32_t kAlertFrom = 1247;            // "From"
inline constexpr int32_t kAlertTo = 1248;              // "To"
inline constexpr int32_t kGraphTenDayTrend = 1249;     // "10 day trend"
inline constexpr int32_t kGraphPressure24h = 1250;     // "Pressure for last 24 hours"
inline constexpr int32_t kGraphTemperature24h = 1251;  // "Temperature for last 24 hours"
inline constexpr int32_t kNoMaps = 1252;               // "No maps"
inline constexpr int32_t kNoAlerts = 1253;             // "There are no weather alerts for this location."
inline constexpr int32_t kNoHourlyForecast = 1254;     // "There is no hourly weather forecast for this location."
inline constexpr int32_t kClockSkinMissing = 1255;     // "Error: cannot find %s. Please reinstall Skyvane Weather"
inline constexpr int32_t kNoCitySelected = 1256;       // "No city selected for the forecast. Please click on menu ..."
inline constexpr int32_t kNoWeatherForCity = 1257;     // "There is no weather for current city. Press Update ..."
inline constexpr int32_t kUpdateForecastNow = 1258;    // "Update forecast now"

// --- The city chooser control -----------------------------------------------
inline constexpr int32_t kChooserFind = 1260;              // "Find:"
inline constexpr int32_t kChooserCountryColumn = 1261;     // "Country name"
inline constexpr int32_t kChooserCityColumn = 1262;        // "City name"
inline constexpr int32_t kChooserZipEntry = 1263;          // "Entering U.S. ZIP code..."
inline constexpr int32_t kChooserNoCities = 1264;          // "No cities found"
inline constexpr int32_t kChooserStartedWith = 1265;       // "started with '%s'"
inline constexpr int32_t kChooserEnterFirstLetter = 1266;  // "Enter first letter,"
inline constexpr int32_t kChooserSelectManually = 1267;    // "and select city manually"
inline constexpr int32_t kChooserZipName = 1268;           // "U.S. ZIP code "
inline constexpr int32_t kChooserInitError = 1269;         // "Error in time cities and countries dialog init "
inline constexpr int32_t kChooserInitUnknownError = 1270;  // "Unknown error in time cities and countries dialog init"

// --- Country buttons of the country dialog (in button order) ----------------
inline constexpr int32_t kCountryUsa = 1280;          // "USA"
inline constexpr int32_t kCountryUk = 1281;           // "UK"
inline constexpr int32_t kCountryGermany = 1282;      // "Germany"
inline constexpr int32_t kCountryFrance = 1283;       // "France"
inline constexpr int32_t kCountryItaly = 1284;        // "Italy"
inline constexpr int32_t kCountryJapan = 1285;        // "Japan"
inline constexpr int32_t kCountrySouthKorea = 1286;   // "S.Korea"
inline constexpr int32_t kCountryRussia = 1287;       // "Russia"
inline constexpr int32_t kCountryCanada = 1288;       // "Canada"
inline constexpr int32_t kCountrySwitzerland = 1289;  // "Switzerland"
inline constexpr int32_t kCountryNetherlands = 1290;  // "Neterlands"
inline constexpr int32_t kCountrySpain = 1291;        // "Spain"
inline constexpr int32_t kCountryPortugal = 1292;     // "Portugal"
inline constexpr int32_t kCountryOther = 1293;        // "Other countries"

// --- The city list dialog ---------------------------------------------------
inline constexpr int32_t kCityListPrevious = 1295;       // "<<"
inline constexpr int32_t kCityListNext = 1296;           // ">>"
inline constexpr int32_t kCityListEnableOnToday = 1297;  // "Enable on Today"
inline constexpr int32_t kCityListDisplayAs = 1298;      // "Display as:"
inline constexpr int32_t kCityListAddCity = 1299;        // "Add city"
inline constexpr int32_t kCityListDeleteCity = 1300;     // "Delete city"

// --- The first-start dialog -------------------------------------------------
inline constexpr int32_t kStartupAutomatic = 1310;           // "Automatic weather update"
inline constexpr int32_t kStartupExistingConnection = 1311;  // "Update weather automatically using only existing ..."
inline constexpr int32_t kStartupManual = 1312;              // "Manual weather update"
inline constexpr int32_t kStartupTrafficNote = 1313;         // "Each weather update requires about 3 Kbytes of ..."

// --- Labels of the options pages --------------------------------------------
inline constexpr int32_t kOptionsView = 1315;             // "View:"
inline constexpr int32_t kOptionsUnits = 1316;            // "Units:"
inline constexpr int32_t kOptionsAnimation = 1317;        // "Animation:"
inline constexpr int32_t kOptionsLanguage = 1318;         // "Language:"
inline constexpr int32_t kOptionsIcons = 1319;            // "Icons:"
inline constexpr int32_t kOptionsPosition = 1320;         // "Position:"
inline constexpr int32_t kOptionsClockCorrection = 1322;  // "Clock correction, hours:"
inline constexpr int32_t kOptionsPluginHeight = 1323;     // "Today plugin height, pixels:"

// --- Plugin positions on the home screen: 1329 + line (PluginIndex + 1) -----
inline constexpr int32_t kHomeLine1 = 1330;   // "first line on home"
inline constexpr int32_t kHomeLine2 = 1331;   // "second line on home"
inline constexpr int32_t kHomeLine3 = 1332;   // "third line on home"
inline constexpr int32_t kHomeLine4 = 1333;   // "4-th line on home"
inline constexpr int32_t kHomeLine5 = 1334;   // "5-th line on home"
inline constexpr int32_t kHomeLine6 = 1335;   // "6-th line on home"
inline constexpr int32_t kHomeLine7 = 1336;   // "7-th line on home"
inline constexpr int32_t kHomeLine8 = 1337;   // "8-th line on home"
inline constexpr int32_t kHomeLine9 = 1338;   // "9-th line on home"
inline constexpr int32_t kHomeLine10 = 1339;  // "10-th line on home"
inline constexpr int32_t kHomeLine11 = 1340;  // "11-th line on home"
inline constexpr int32_t kHomeLine12 = 1341;  // "12-th line on home"
inline constexpr int32_t kHomeLine13 = 1342;  // "13-th line on home"
inline constexpr int32_t kHomeLine14 = 1343;  // "14-th line on home"
inline constexpr int32_t kHomeLine15 = 1344;  // "15-th line on home"
inline constexpr int32_t kHomeLine16 = 1345;  // "16-th line on home"
inline constexpr int32_t kHomeLine17 = 1346;  // "17-th line on home"
inline constexpr int32_t kHomeLine18 = 1347;  // "18-th line on home"
inline constexpr int32_t kHomeLine19 = 1348;  // "19-th line on home"
inline constexpr int32_t kHomeLine20 = 1349;  // "20-th line on home"

// --- Questions of the connection policy -------------------------------------
inline constexpr int32_t kCreateConnectionQuestion = 1350;  // "There is no Internet connection now. ..."

}  // namespace skyvane::ui::text
