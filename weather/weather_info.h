// KWeatherInfo: one weather record. Every kind of record (current conditions,
// day, night, hour, local time, alert, archive, map) is this one class; its
// Type says which fields carry data. A fresh record holds the not-available
// value of every field.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/oleaut/dispatch.h"
#include "platform/msxml/msxml.h"
#include "weather/kweather_interfaces.h"
#include "weather/value_readers.h"

namespace skyvane::weather {

// The data of one record. Texts are empty when the feed gave none: a getter
// hands out a null string for an empty text.
struct WeatherFields {
    KWeatherType type = KWUnknown;
    std::u16string suppliedString;
    DATE date = kNaDate;
    DATE sunrise = kNaDate;
    DATE sunset = kNaDate;
    double tempLow = kNaDouble;
    double tempHigh = kNaDouble;
    std::u16string locationName;
    DATE forecastDate = kNaDate;
    int icon = kNaInt;
    std::u16string text;
    LONG veroyatnostOsadkov = kNaInt;
    int humidity = kNaInt;
    int windSpeed = kNaInt;
    int windPorivy = kNaInt;
    int windDirection = kNaInt;
    std::u16string windText;
    int ccTempFeelsLike = kNaInt;
    double ccPressure = kNaDouble;
    std::u16string ccPressureText;
    int ccVisibility = kNaInt;
    int ccUVIndex = kNaInt;
    std::u16string ccUVText;
    int ccTochkaRosy = kNaInt;
    int gmt = -255;  // a failed read of the element gives -1
    int icon2 = kNaInt;
    std::u16string description;
    std::u16string alertType;
    std::u16string bulletin;
    DATE alertEnd = 0.0;
    std::u16string usLoc;
    double ccWindChill = kNaDouble;
    double ccHeatIndex = kNaDouble;
    DATE moonRise = kNaDate;
    DATE moonSet = kNaDate;
    LONG moonPhaseIndex = kNaInt;
    std::u16string moonPhaseText;
    std::u16string mapURL;
    std::u16string mapName;
    int mapIdx = 0;

    // Archive records: (hours back, value) in the order of the feed, and the
    // read position of NextArchive.
    std::vector<std::pair<int, int>> archive;
    size_t archivePos = 0;
};

// The record's debug text (DebugInfo).
std::u16string FormatDebugInfo(const WeatherFields& f);

class KWeatherInfo final
    : public skyvane::ComObject<KWeatherInfo, skyvane::DispatchImpl<KWeatherInfo, IKWeatherInfo8>, ISupportErrorInfo> {
public:
    static constexpr bool kAggregatable = true;
    static std::span<const skyvane::InterfaceEntry> Interfaces() noexcept;
    static std::span<const skyvane::DispMember> DispatchMembers() noexcept;

    KWeatherInfo();
    ~KWeatherInfo() override;

    // For the reader, which fills records it made itself.
    WeatherFields& Fields() noexcept { return f_; }

    // IKWeatherInfo
    HRESULT STDMETHODCALLTYPE get_Type(KWeatherType* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Type(KWeatherType newVal) override;
    HRESULT STDMETHODCALLTYPE LoadFromXMLNode(IUnknown* pNode, KWeatherType Type) override;
    HRESULT STDMETHODCALLTYPE get_SuppliedString(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_SuppliedString(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_Date(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Date(DATE newVal) override;
    HRESULT STDMETHODCALLTYPE get_Sunrise(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Sunrise(DATE newVal) override;
    HRESULT STDMETHODCALLTYPE get_Sunset(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Sunset(DATE newVal) override;
    HRESULT STDMETHODCALLTYPE get_TempLow(double* pVal) override;
    HRESULT STDMETHODCALLTYPE put_TempLow(double newVal) override;
    HRESULT STDMETHODCALLTYPE get_TempHigh(double* pVal) override;
    HRESULT STDMETHODCALLTYPE put_TempHigh(double newVal) override;
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_LocationName(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_DebugInfo(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ForecastDate(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE put_ForecastDate(DATE newVal) override;
    HRESULT STDMETHODCALLTYPE get_Icon(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Text(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_VeroyatnostOsadkov(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Humidity(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WindSpeed(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WindPorivy(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WindDirection(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_WindText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCTempFeelsLike(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCPressure(double* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCPressureText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCVisibility(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCUVIndex(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCUVText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCTochkaRosy(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCMoonIcon(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CCMoonText(BSTR* pVal) override;
    // IKWeatherInfo2
    HRESULT STDMETHODCALLTYPE get_GMT(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE put_GMT(INT newVal) override;
    // IKWeatherInfo3
    HRESULT STDMETHODCALLTYPE get_Icon2(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* pVal) override;
    // IKWeatherInfo4
    HRESULT STDMETHODCALLTYPE get_AlertType(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_Bulletin(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_AlertEnd(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE put_USLoc(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_USLoc(BSTR* pVal) override;
    // IKWeatherInfo5
    HRESULT STDMETHODCALLTYPE get_CCWindChill(double* pVal) override;
    HRESULT STDMETHODCALLTYPE put_CCWindChill(double newVal) override;
    HRESULT STDMETHODCALLTYPE get_CCHeatIndex(double* pVal) override;
    HRESULT STDMETHODCALLTYPE put_CCHeatIndex(double newVal) override;
    // IKWeatherInfo6
    HRESULT STDMETHODCALLTYPE get_NextArchive(INT* iHoursBack, INT* pVal) override;
    HRESULT STDMETHODCALLTYPE BeginArchive(BSTR bstrReserved) override;
    // IKWeatherInfo7
    HRESULT STDMETHODCALLTYPE get_MoonRise(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE get_MoonSet(DATE* pVal) override;
    HRESULT STDMETHODCALLTYPE get_MoonPhaseIndex(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_MoonPhaseText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_IconEx(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_GolfIndex(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_GolfText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_CC(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_PPCP(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_PSNow(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ShortText(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_StationIndex(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ppcp3h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ppcp6h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_ppcp24h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_max6h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_min24h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_min6h(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE get_cl(BSTR* pVal) override;
    // IKWeatherInfo8
    HRESULT STDMETHODCALLTYPE get_MapURL(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_MapURL(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_MapName(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_MapName(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_MapIdx(INT* pVal) override;
    HRESULT STDMETHODCALLTYPE put_MapIdx(INT newVal) override;

private:
    WeatherFields f_;
};

// Live KWeatherInfo objects of this process (tests count leaks with it).
long LiveWeatherInfoCount();

}  // namespace skyvane::weather
