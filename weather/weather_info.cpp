#include "weather/weather_info.h"

#include <atomic>

#include "platform/oleaut/ole_date.h"
#include "platform/base/wide_format.h"
#include "weather/com_helpers.h"
#include "weather/record_loader.h"

using skyvane::DispGet;
using skyvane::DispMethod;
using skyvane::DispPut;

namespace skyvane::weather {
namespace {

std::atomic<long> g_liveRecords{0};

const ComSite kRecord{CLSID_KWeatherInfo, IID_IKWeatherInfo};

// The properties that are carried but never filled: always not available.
HRESULT NotAvailable(LONG* out) { return GetValue(kRecord, out, kNaInt); }
HRESULT NotAvailable(BSTR* out) { return GetText(kRecord, out, {}); }

}  // namespace

long LiveWeatherInfoCount() { return g_liveRecords.load(std::memory_order_relaxed); }

std::span<const skyvane::InterfaceEntry> KWeatherInfo::Interfaces() noexcept {
    return kDualInterfaces<KWeatherInfo, skyvane::DispatchImpl<KWeatherInfo, IKWeatherInfo8>, IID_IKWeatherInfo8, IID_IKWeatherInfo7, IID_IKWeatherInfo6, IID_IKWeatherInfo5, IID_IKWeatherInfo4, IID_IKWeatherInfo3, IID_IKWeatherInfo2, IID_IKWeatherInfo>;
}

std::span<const skyvane::DispMember> KWeatherInfo::DispatchMembers() noexcept {
    using I = IKWeatherInfo8;
    static constexpr skyvane::DispMember table[] = {
        DispGet<&I::get_Type>(u"Type", 1),
        DispPut<&I::put_Type>(u"Type", 1),
        DispMethod<&I::LoadFromXMLNode>(u"LoadFromXMLNode", 2),
        DispGet<&I::get_SuppliedString>(u"SuppliedString", 3),
        DispPut<&I::put_SuppliedString>(u"SuppliedString", 3),
        DispGet<&I::get_Date>(u"Date", 4, VT_DATE),
        DispPut<&I::put_Date>(u"Date", 4),
        DispGet<&I::get_Sunrise>(u"Sunrise", 5, VT_DATE),
        DispPut<&I::put_Sunrise>(u"Sunrise", 5),
        DispGet<&I::get_Sunset>(u"Sunset", 6, VT_DATE),
        DispPut<&I::put_Sunset>(u"Sunset", 6),
        DispGet<&I::get_TempLow>(u"TempLow", 7),
        DispPut<&I::put_TempLow>(u"TempLow", 7),
        DispGet<&I::get_TempHigh>(u"TempHigh", 8),
        DispPut<&I::put_TempHigh>(u"TempHigh", 8),
        DispGet<&I::get_LocationName>(u"LocationName", 9),
        DispPut<&I::put_LocationName>(u"LocationName", 9),
        DispGet<&I::get_DebugInfo>(u"DebugInfo", 10),
        DispGet<&I::get_ForecastDate>(u"ForecastDate", 11, VT_DATE),
        DispPut<&I::put_ForecastDate>(u"ForecastDate", 11),
        DispGet<&I::get_Icon>(u"Icon", 12),
        DispGet<&I::get_Text>(u"Text", 13),
        DispGet<&I::get_VeroyatnostOsadkov>(u"VeroyatnostOsadkov", 14),
        DispGet<&I::get_Humidity>(u"Humidity", 15),
        DispGet<&I::get_WindSpeed>(u"WindSpeed", 16),
        DispGet<&I::get_WindPorivy>(u"WindPorivy", 17),
        DispGet<&I::get_WindDirection>(u"WindDirection", 18),
        DispGet<&I::get_WindText>(u"WindText", 19),
        DispGet<&I::get_CCTempFeelsLike>(u"CCTempFeelsLike", 20),
        DispGet<&I::get_CCPressure>(u"CCPressure", 21),
        DispGet<&I::get_CCPressureText>(u"CCPressureText", 22),
        DispGet<&I::get_CCVisibility>(u"CCVisibility", 23),
        DispGet<&I::get_CCUVIndex>(u"CCUVIndex", 24),
        DispGet<&I::get_CCUVText>(u"CCUVText", 25),
        DispGet<&I::get_CCTochkaRosy>(u"CCTochkaRosy", 26),
        DispGet<&I::get_CCMoonIcon>(u"CCMoonIcon", 27),
        DispGet<&I::get_CCMoonText>(u"CCMoonText", 28),
        DispGet<&I::get_GMT>(u"GMT", 31),
        DispPut<&I::put_GMT>(u"GMT", 31),
        DispGet<&I::get_Icon2>(u"Icon2", 32),
        DispGet<&I::get_Description>(u"Description", 34),
        DispGet<&I::get_AlertType>(u"AlertType", 36),
        DispGet<&I::get_Bulletin>(u"Bulletin", 38),
        DispGet<&I::get_AlertEnd>(u"AlertEnd", 42, VT_DATE),
        DispPut<&I::put_USLoc>(u"USLoc", 43),
        DispGet<&I::get_USLoc>(u"USLoc", 43),
        DispGet<&I::get_CCWindChill>(u"CCWindChill", 44),
        DispPut<&I::put_CCWindChill>(u"CCWindChill", 44),
        DispGet<&I::get_CCHeatIndex>(u"CCHeatIndex", 45),
        DispPut<&I::put_CCHeatIndex>(u"CCHeatIndex", 45),
        DispGet<&I::get_NextArchive>(u"NextArchive", 46),
        DispMethod<&I::BeginArchive>(u"BeginArchive", 47),
        DispGet<&I::get_MoonRise>(u"MoonRise", 48, VT_DATE),
        DispGet<&I::get_MoonSet>(u"MoonSet", 49, VT_DATE),
        DispGet<&I::get_MoonPhaseIndex>(u"MoonPhaseIndex", 50),
        DispGet<&I::get_MoonPhaseText>(u"MoonPhaseText", 51),
        DispGet<&I::get_IconEx>(u"IconEx", 52),
        DispGet<&I::get_GolfIndex>(u"GolfIndex", 53),
        DispGet<&I::get_GolfText>(u"GolfText", 54),
        DispGet<&I::get_CC>(u"CC", 55),
        DispGet<&I::get_PPCP>(u"PPCP", 56),
        DispGet<&I::get_PSNow>(u"PSNow", 57),
        DispGet<&I::get_ShortText>(u"ShortText", 58),
        DispGet<&I::get_StationIndex>(u"StationIndex", 59),
        DispGet<&I::get_ppcp3h>(u"ppcp3h", 60),
        DispGet<&I::get_ppcp6h>(u"ppcp6h", 61),
        DispGet<&I::get_ppcp24h>(u"ppcp24h", 62),
        DispGet<&I::get_max6h>(u"max6h", 63),
        DispGet<&I::get_min24h>(u"min24h", 64),
        DispGet<&I::get_min6h>(u"min6h", 65),
        DispGet<&I::get_cl>(u"cl", 66),
        DispGet<&I::get_MapURL>(u"MapURL", 71),
        DispPut<&I::put_MapURL>(u"MapURL", 71),
        DispGet<&I::get_MapName>(u"MapName", 72),
        DispPut<&I::put_MapName>(u"MapName", 72),
        DispGet<&I::get_MapIdx>(u"MapIdx", 73),
        DispPut<&I::put_MapIdx>(u"MapIdx", 73),
    };
    return table;
}

KWeatherInfo::KWeatherInfo() { g_liveRecords.fetch_add(1, std::memory_order_relaxed); }
KWeatherInfo::~KWeatherInfo() { g_liveRecords.fetch_sub(1, std::memory_order_relaxed); }

// ---------------------------------------------------------------------------
// IKWeatherInfo

HRESULT KWeatherInfo::get_Type(KWeatherType* pVal) { return GetValue(kRecord, pVal, f_.type); }
HRESULT KWeatherInfo::put_Type(KWeatherType) {
    // The kind is fixed by LoadFromXMLNode alone.
    return Fail(kRecord, E_NOTIMPL, u"The record type cannot be set");
}

HRESULT KWeatherInfo::LoadFromXMLNode(IUnknown* pNode, KWeatherType Type) {
    if (Type == KWUnknown) return Fail(kRecord, E_INVALIDARG, u"The record type must be given");
    f_.type = Type;
    return Guard(kRecord, [&] {
        ReadingTime now;
        return LoadFields(f_, pNode, Type, now);
    });
}

HRESULT KWeatherInfo::get_SuppliedString(BSTR* pVal) { return GetText(kRecord, pVal, f_.suppliedString); }
HRESULT KWeatherInfo::put_SuppliedString(BSTR newVal) {
    // A null text leaves the last-updated text as it was.
    return newVal ? SetText(kRecord, f_.suppliedString, newVal) : S_OK;
}
HRESULT KWeatherInfo::get_Date(DATE* pVal) { return GetValue(kRecord, pVal, f_.date); }
HRESULT KWeatherInfo::put_Date(DATE newVal) { return SetValue(f_.date, newVal); }
HRESULT KWeatherInfo::get_Sunrise(DATE* pVal) { return GetValue(kRecord, pVal, f_.sunrise); }
HRESULT KWeatherInfo::put_Sunrise(DATE newVal) { return SetValue(f_.sunrise, newVal); }
HRESULT KWeatherInfo::get_Sunset(DATE* pVal) { return GetValue(kRecord, pVal, f_.sunset); }
HRESULT KWeatherInfo::put_Sunset(DATE newVal) { return SetValue(f_.sunset, newVal); }
HRESULT KWeatherInfo::get_TempLow(double* pVal) { return GetValue(kRecord, pVal, f_.tempLow); }
HRESULT KWeatherInfo::put_TempLow(double newVal) { return SetValue(f_.tempLow, newVal); }
HRESULT KWeatherInfo::get_TempHigh(double* pVal) { return GetValue(kRecord, pVal, f_.tempHigh); }
HRESULT KWeatherInfo::put_TempHigh(double newVal) { return SetValue(f_.tempHigh, newVal); }
HRESULT KWeatherInfo::get_LocationName(BSTR* pVal) { return GetText(kRecord, pVal, f_.locationName); }
HRESULT KWeatherInfo::put_LocationName(BSTR newVal) { return SetText(kRecord, f_.locationName, newVal); }

HRESULT KWeatherInfo::get_DebugInfo(BSTR* pVal) {
    if (!pVal) return NullPointer(kRecord);
    *pVal = nullptr;
    return Guard(kRecord, [&] { return GetText(kRecord, pVal, FormatDebugInfo(f_)); });
}

HRESULT KWeatherInfo::get_ForecastDate(DATE* pVal) { return GetValue(kRecord, pVal, f_.forecastDate); }
HRESULT KWeatherInfo::put_ForecastDate(DATE newVal) { return SetValue(f_.forecastDate, newVal); }
HRESULT KWeatherInfo::get_Icon(INT* pVal) { return GetValue(kRecord, pVal, f_.icon); }
HRESULT KWeatherInfo::get_Text(BSTR* pVal) { return GetText(kRecord, pVal, f_.text); }
HRESULT KWeatherInfo::get_VeroyatnostOsadkov(LONG* pVal) { return GetValue(kRecord, pVal, f_.veroyatnostOsadkov); }
HRESULT KWeatherInfo::get_Humidity(INT* pVal) { return GetValue(kRecord, pVal, f_.humidity); }
HRESULT KWeatherInfo::get_WindSpeed(INT* pVal) { return GetValue(kRecord, pVal, f_.windSpeed); }
HRESULT KWeatherInfo::get_WindPorivy(INT* pVal) { return GetValue(kRecord, pVal, f_.windPorivy); }
HRESULT KWeatherInfo::get_WindDirection(INT* pVal) { return GetValue(kRecord, pVal, f_.windDirection); }
HRESULT KWeatherInfo::get_WindText(BSTR* pVal) { return GetText(kRecord, pVal, f_.windText); }
HRESULT KWeatherInfo::get_CCTempFeelsLike(INT* pVal) { return GetValue(kRecord, pVal, f_.ccTempFeelsLike); }
HRESULT KWeatherInfo::get_CCPressure(double* pVal) { return GetValue(kRecord, pVal, f_.ccPressure); }
HRESULT KWeatherInfo::get_CCPressureText(BSTR* pVal) { return GetText(kRecord, pVal, f_.ccPressureText); }
HRESULT KWeatherInfo::get_CCVisibility(INT* pVal) { return GetValue(kRecord, pVal, f_.ccVisibility); }
HRESULT KWeatherInfo::get_CCUVIndex(INT* pVal) { return GetValue(kRecord, pVal, f_.ccUVIndex); }
HRESULT KWeatherInfo::get_CCUVText(BSTR* pVal) { return GetText(kRecord, pVal, f_.ccUVText); }
HRESULT KWeatherInfo::get_CCTochkaRosy(INT* pVal) { return GetValue(kRecord, pVal, f_.ccTochkaRosy); }
// The feed's moon data of the current conditions is not read.
HRESULT KWeatherInfo::get_CCMoonIcon(INT* pVal) { return GetValue(kRecord, pVal, kNaInt); }
HRESULT KWeatherInfo::get_CCMoonText(BSTR* pVal) { return NotAvailable(pVal); }

// ---------------------------------------------------------------------------
// IKWeatherInfo2 .. 5

HRESULT KWeatherInfo::get_GMT(INT* pVal) { return GetValue(kRecord, pVal, f_.gmt); }
HRESULT KWeatherInfo::put_GMT(INT newVal) { return SetValue(f_.gmt, newVal); }
HRESULT KWeatherInfo::get_Icon2(INT* pVal) { return GetValue(kRecord, pVal, f_.icon2); }
HRESULT KWeatherInfo::get_Description(BSTR* pVal) { return GetText(kRecord, pVal, f_.description); }
HRESULT KWeatherInfo::get_AlertType(BSTR* pVal) { return GetText(kRecord, pVal, f_.alertType); }
HRESULT KWeatherInfo::get_Bulletin(BSTR* pVal) { return GetText(kRecord, pVal, f_.bulletin); }
HRESULT KWeatherInfo::get_AlertEnd(DATE* pVal) { return GetValue(kRecord, pVal, f_.alertEnd); }
HRESULT KWeatherInfo::put_USLoc(BSTR newVal) {
    if (!newVal) return NullPointer(kRecord);
    return SetText(kRecord, f_.usLoc, newVal);
}
HRESULT KWeatherInfo::get_USLoc(BSTR* pVal) { return GetText(kRecord, pVal, f_.usLoc); }
HRESULT KWeatherInfo::get_CCWindChill(double* pVal) { return GetValue(kRecord, pVal, f_.ccWindChill); }
HRESULT KWeatherInfo::put_CCWindChill(double newVal) { return SetValue(f_.ccWindChill, newVal); }
HRESULT KWeatherInfo::get_CCHeatIndex(double* pVal) { return GetValue(kRecord, pVal, f_.ccHeatIndex); }
HRESULT KWeatherInfo::put_CCHeatIndex(double newVal) { return SetValue(f_.ccHeatIndex, newVal); }

// ---------------------------------------------------------------------------
// IKWeatherInfo6: the archive list.

HRESULT KWeatherInfo::get_NextArchive(INT* iHoursBack, INT* pVal) {
    if (!iHoursBack || !pVal) return NullPointer(kRecord);
    if (f_.archivePos >= f_.archive.size()) return S_FALSE;
    *iHoursBack = f_.archive[f_.archivePos].first;
    *pVal = f_.archive[f_.archivePos].second;
    ++f_.archivePos;
    return S_OK;
}

HRESULT KWeatherInfo::BeginArchive(BSTR) {
    f_.archivePos = 0;
    return f_.archive.empty() ? S_FALSE : S_OK;
}

// ---------------------------------------------------------------------------
// IKWeatherInfo7 and 8

HRESULT KWeatherInfo::get_MoonRise(DATE* pVal) { return GetValue(kRecord, pVal, f_.moonRise); }
HRESULT KWeatherInfo::get_MoonSet(DATE* pVal) { return GetValue(kRecord, pVal, f_.moonSet); }
HRESULT KWeatherInfo::get_MoonPhaseIndex(LONG* pVal) { return GetValue(kRecord, pVal, f_.moonPhaseIndex); }
HRESULT KWeatherInfo::get_MoonPhaseText(BSTR* pVal) { return GetText(kRecord, pVal, f_.moonPhaseText); }
HRESULT KWeatherInfo::get_IconEx(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_GolfIndex(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_GolfText(BSTR* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_CC(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_PPCP(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_PSNow(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_ShortText(BSTR* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_StationIndex(BSTR* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_ppcp3h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_ppcp6h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_ppcp24h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_max6h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_min24h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_min6h(LONG* pVal) { return NotAvailable(pVal); }
HRESULT KWeatherInfo::get_cl(BSTR* pVal) { return NotAvailable(pVal); }

HRESULT KWeatherInfo::get_MapURL(BSTR* pVal) { return GetText(kRecord, pVal, f_.mapURL); }
HRESULT KWeatherInfo::put_MapURL(BSTR newVal) { return SetText(kRecord, f_.mapURL, newVal); }
HRESULT KWeatherInfo::get_MapName(BSTR* pVal) { return GetText(kRecord, pVal, f_.mapName); }
HRESULT KWeatherInfo::put_MapName(BSTR newVal) { return SetText(kRecord, f_.mapName, newVal); }
HRESULT KWeatherInfo::get_MapIdx(INT* pVal) { return GetValue(kRecord, pVal, f_.mapIdx); }
HRESULT KWeatherInfo::put_MapIdx(INT newVal) { return SetValue(f_.mapIdx, newVal); }

// ---------------------------------------------------------------------------
// The debug text.

namespace {

constexpr std::u16string_view kLine = u"\n\r";  // LF then CR, as the record has always written it

std::u16string DateText(DATE d) {
    if (d < 0) return u"NA";
    BSTR text = nullptr;
    if (FAILED(VarBstrFromDate(d, LOCALE_USER_DEFAULT, 0, &text))) return {};
    skyvane::Bstr owned = skyvane::Bstr::Attach(text);
    return owned.Str();
}

std::u16string TempText(double t) { return t == kNaDouble ? u"NA" : skyvane::FormatW(u"%f", t); }

}  // namespace

std::u16string FormatDebugInfo(const WeatherFields& f) {
    using skyvane::FormatW;
    static constexpr std::u16string_view kHeadings[] = {u"Info = KWUnknown", u"Info = KWCurrent", u"Info = KWDay",
                                                        u"Info = KWNight",   u"Info = KWLocal",   u"Info = KWHBH"};
    std::u16string s;
    if (f.type >= KWUnknown && f.type <= KWHBH) {
        s += kHeadings[f.type];
        s += kLine;
    }
    s += f.locationName;
    s += u"Date:" + DateText(f.date);
    s += kLine;
    s += u"Made at:" + DateText(f.forecastDate);
    s += kLine;
    s += u"Sunrise:" + DateText(f.sunrise) + u" Sunset:" + DateText(f.sunset);
    s += kLine;
    s += u"TempLow:" + TempText(f.tempLow) + u" TempHIGH:" + TempText(f.tempHigh);
    s += kLine;
    s += FormatW(u"CURRENT:Temp feels like:%d; Text:", f.ccTempFeelsLike) + f.text + FormatW(u"(Icon:%d);", f.icon);
    s += kLine;
    s += u"Text:" + f.ccPressureText + FormatW(u";Pressure:%f", f.ccPressure == kNaDouble ? 0.0 : f.ccPressure);
    s += kLine;
    s += FormatW(u"Wind speed:%d; Text:", f.windSpeed) + f.windText + u";";
    s += kLine;
    s += FormatW(u"Poryvu do:%d;Direction:%d", f.windPorivy, f.windDirection);
    s += kLine;
    s += FormatW(u"Humidity:%d;Veroyatn.Osakdov:%d;visibility:%d;Tochka rosy:%d", f.humidity, int(f.veroyatnostOsadkov),
                 f.ccVisibility, f.ccTochkaRosy);
    s += FormatW(u"UV Index:%d; UV Text:", f.ccUVIndex) + f.ccUVText;
    return s;
}

}  // namespace skyvane::weather
