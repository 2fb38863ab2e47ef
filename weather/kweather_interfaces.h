// The COM surface of the weather service library, as its type library
// "KWeatherLib" defines it: enumerations, class identifiers and the dual
// interfaces in slot order. Callers bind to the library only through these.
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"

// Weather info type
enum KWeatherType : LONG {
    KWUnknown = 0,
    KWCurrent = 1,
    KWDay = 2,
    KWNight = 3,
    KWLocal = 4,
    KWHBH = 5,
    KWAlert = 6,
    KWPressureArchive = 7,
    KWTempArchive = 8,
    KWWindchillArchive = 9,
    KWHBHArchive = 10,
    KWGraph24 = 11,
    KWHBHArchiveUV = 12,
    KWMap = 13,
};

// Unit type
enum KWeatherUnitType : LONG {
    KWImperial = 1,
    KWMetric = 2,
};

extern const GUID LIBID_KWeatherLib;  // {46ADF213-1563-4B65-B0CD-AC61F85DFA8D}

extern const CLSID CLSID_KWeatherService;   // {F9FCC6F4-43CE-4431-8234-ED648982713C}
extern const CLSID CLSID_KWeatherResponse;  // {C1C7D854-9AC9-4FFC-B1E3-3FDF13508B57}
extern const CLSID CLSID_KWeatherInfo;      // {C0A37C90-4E2B-40D3-92B6-B8E2ADDB1EDD}
extern const CLSID CLSID_KWeatherCity;      // {76608526-5E1E-494A-9F91-E17E30733EEC}
extern const CLSID CLSID_KWeatherCityCtrl;  // {5F047B8C-2924-40FE-B1BA-217453B1CF91}

extern const IID IID_IKWeatherService;   // {8572774D-6C86-4624-98E4-1B2722791CE8}
extern const IID IID_IKWeatherService2;  // {67907B04-3F64-42CF-8CA6-672BE523349E}
extern const IID IID_IKWeatherService3;  // {28E10E6D-5DCE-4415-8200-4BE5AA3470ED}
extern const IID IID_IKWeatherService4;  // {0056432D-ABC7-4D95-AA0F-96DB27518EB1}
extern const IID IID_IKWeatherResponse;  // {CA7AD732-D4D5-46DE-9251-C02F6DF4E0DC}
extern const IID IID_IKWeatherInfo;      // {6736C86C-B3C6-4023-A2AD-44E95CE0C8B4}
extern const IID IID_IKWeatherInfo2;     // {336EAB8D-743D-48FB-B64F-AE3FFCDCF416}
extern const IID IID_IKWeatherInfo3;     // {BA8759EC-0EAC-4FE4-BB66-EDF623BE345B}
extern const IID IID_IKWeatherInfo4;     // {4D758668-B808-40B9-AE27-2D96E7852632}
extern const IID IID_IKWeatherInfo5;     // {12A9AD57-D965-44A8-B9CA-739B77D28A4D}
extern const IID IID_IKWeatherInfo6;     // {F5C1A4CE-5538-43E2-9167-99114D3EA822}
extern const IID IID_IKWeatherInfo7;     // {89283A0E-A4E7-4B65-95B8-1611301676EB}
extern const IID IID_IKWeatherInfo8;     // {EAE20863-B6F0-4110-B144-A68062D6964D}

// ---------------------------------------------------------------------------
// Weather records.

struct IKWeatherInfo : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Type(KWeatherType* pVal) = 0;                  // 1
    virtual HRESULT STDMETHODCALLTYPE put_Type(KWeatherType newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromXMLNode(IUnknown* pNode, KWeatherType Type) = 0;  // 2
    virtual HRESULT STDMETHODCALLTYPE get_SuppliedString(BSTR* pVal) = 0;               // 3
    virtual HRESULT STDMETHODCALLTYPE put_SuppliedString(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Date(DATE* pVal) = 0;                         // 4
    virtual HRESULT STDMETHODCALLTYPE put_Date(DATE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Sunrise(DATE* pVal) = 0;                      // 5
    virtual HRESULT STDMETHODCALLTYPE put_Sunrise(DATE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Sunset(DATE* pVal) = 0;                       // 6
    virtual HRESULT STDMETHODCALLTYPE put_Sunset(DATE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TempLow(double* pVal) = 0;                    // 7
    virtual HRESULT STDMETHODCALLTYPE put_TempLow(double newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TempHigh(double* pVal) = 0;                   // 8
    virtual HRESULT STDMETHODCALLTYPE put_TempHigh(double newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* pVal) = 0;                 // 9
    virtual HRESULT STDMETHODCALLTYPE put_LocationName(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DebugInfo(BSTR* pVal) = 0;                    // 10
    virtual HRESULT STDMETHODCALLTYPE get_ForecastDate(DATE* pVal) = 0;                 // 11
    virtual HRESULT STDMETHODCALLTYPE put_ForecastDate(DATE newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Icon(INT* pVal) = 0;                          // 12
    virtual HRESULT STDMETHODCALLTYPE get_Text(BSTR* pVal) = 0;                         // 13
    virtual HRESULT STDMETHODCALLTYPE get_VeroyatnostOsadkov(LONG* pVal) = 0;           // 14
    virtual HRESULT STDMETHODCALLTYPE get_Humidity(INT* pVal) = 0;                      // 15
    virtual HRESULT STDMETHODCALLTYPE get_WindSpeed(INT* pVal) = 0;                     // 16
    virtual HRESULT STDMETHODCALLTYPE get_WindPorivy(INT* pVal) = 0;                    // 17
    virtual HRESULT STDMETHODCALLTYPE get_WindDirection(INT* pVal) = 0;                 // 18
    virtual HRESULT STDMETHODCALLTYPE get_WindText(BSTR* pVal) = 0;                     // 19
    virtual HRESULT STDMETHODCALLTYPE get_CCTempFeelsLike(INT* pVal) = 0;               // 20
    virtual HRESULT STDMETHODCALLTYPE get_CCPressure(double* pVal) = 0;                 // 21
    virtual HRESULT STDMETHODCALLTYPE get_CCPressureText(BSTR* pVal) = 0;               // 22
    virtual HRESULT STDMETHODCALLTYPE get_CCVisibility(INT* pVal) = 0;                  // 23
    virtual HRESULT STDMETHODCALLTYPE get_CCUVIndex(INT* pVal) = 0;                     // 24
    virtual HRESULT STDMETHODCALLTYPE get_CCUVText(BSTR* pVal) = 0;                     // 25
    virtual HRESULT STDMETHODCALLTYPE get_CCTochkaRosy(INT* pVal) = 0;                  // 26
    virtual HRESULT STDMETHODCALLTYPE get_CCMoonIcon(INT* pVal) = 0;                    // 27
    virtual HRESULT STDMETHODCALLTYPE get_CCMoonText(BSTR* pVal) = 0;                   // 28
};

struct IKWeatherInfo2 : IKWeatherInfo {
    virtual HRESULT STDMETHODCALLTYPE get_GMT(INT* pVal) = 0;  // 31
    virtual HRESULT STDMETHODCALLTYPE put_GMT(INT newVal) = 0;
};

struct IKWeatherInfo3 : IKWeatherInfo2 {
    virtual HRESULT STDMETHODCALLTYPE get_Icon2(INT* pVal) = 0;         // 32
    virtual HRESULT STDMETHODCALLTYPE get_Description(BSTR* pVal) = 0;  // 34
};

struct IKWeatherInfo4 : IKWeatherInfo3 {
    virtual HRESULT STDMETHODCALLTYPE get_AlertType(BSTR* pVal) = 0;  // 36
    virtual HRESULT STDMETHODCALLTYPE get_Bulletin(BSTR* pVal) = 0;   // 38
    virtual HRESULT STDMETHODCALLTYPE get_AlertEnd(DATE* pVal) = 0;   // 42
    virtual HRESULT STDMETHODCALLTYPE put_USLoc(BSTR newVal) = 0;     // 43 (put first)
    virtual HRESULT STDMETHODCALLTYPE get_USLoc(BSTR* pVal) = 0;
};

struct IKWeatherInfo5 : IKWeatherInfo4 {
    virtual HRESULT STDMETHODCALLTYPE get_CCWindChill(double* pVal) = 0;  // 44
    virtual HRESULT STDMETHODCALLTYPE put_CCWindChill(double newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CCHeatIndex(double* pVal) = 0;  // 45
    virtual HRESULT STDMETHODCALLTYPE put_CCHeatIndex(double newVal) = 0;
};

struct IKWeatherInfo6 : IKWeatherInfo5 {
    // iHoursBack is in/out; the value is the property's result.
    virtual HRESULT STDMETHODCALLTYPE get_NextArchive(INT* iHoursBack, INT* pVal) = 0;  // 46
    virtual HRESULT STDMETHODCALLTYPE BeginArchive(BSTR bstrReserved) = 0;              // 47
};

struct IKWeatherInfo7 : IKWeatherInfo6 {
    virtual HRESULT STDMETHODCALLTYPE get_MoonRise(DATE* pVal) = 0;        // 48
    virtual HRESULT STDMETHODCALLTYPE get_MoonSet(DATE* pVal) = 0;         // 49
    virtual HRESULT STDMETHODCALLTYPE get_MoonPhaseIndex(LONG* pVal) = 0;  // 50
    virtual HRESULT STDMETHODCALLTYPE get_MoonPhaseText(BSTR* pVal) = 0;   // 51
    virtual HRESULT STDMETHODCALLTYPE get_IconEx(LONG* pVal) = 0;          // 52
    virtual HRESULT STDMETHODCALLTYPE get_GolfIndex(LONG* pVal) = 0;       // 53
    virtual HRESULT STDMETHODCALLTYPE get_GolfText(BSTR* pVal) = 0;        // 54
    virtual HRESULT STDMETHODCALLTYPE get_CC(LONG* pVal) = 0;              // 55
    virtual HRESULT STDMETHODCALLTYPE get_PPCP(LONG* pVal) = 0;            // 56
    virtual HRESULT STDMETHODCALLTYPE get_PSNow(LONG* pVal) = 0;           // 57
    virtual HRESULT STDMETHODCALLTYPE get_ShortText(BSTR* pVal) = 0;       // 58
    virtual HRESULT STDMETHODCALLTYPE get_StationIndex(BSTR* pVal) = 0;    // 59
    virtual HRESULT STDMETHODCALLTYPE get_ppcp3h(LONG* pVal) = 0;          // 60
    virtual HRESULT STDMETHODCALLTYPE get_ppcp6h(LONG* pVal) = 0;          // 61
    virtual HRESULT STDMETHODCALLTYPE get_ppcp24h(LONG* pVal) = 0;         // 62
    virtual HRESULT STDMETHODCALLTYPE get_max6h(LONG* pVal) = 0;           // 63
    virtual HRESULT STDMETHODCALLTYPE get_min24h(LONG* pVal) = 0;          // 64
    virtual HRESULT STDMETHODCALLTYPE get_min6h(LONG* pVal) = 0;           // 65
    virtual HRESULT STDMETHODCALLTYPE get_cl(BSTR* pVal) = 0;              // 66
};

struct IKWeatherInfo8 : IKWeatherInfo7 {
    virtual HRESULT STDMETHODCALLTYPE get_MapURL(BSTR* pVal) = 0;  // 71
    virtual HRESULT STDMETHODCALLTYPE put_MapURL(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MapName(BSTR* pVal) = 0;  // 72
    virtual HRESULT STDMETHODCALLTYPE put_MapName(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_MapIdx(INT* pVal) = 0;  // 73
    virtual HRESULT STDMETHODCALLTYPE put_MapIdx(INT newVal) = 0;
};

// ---------------------------------------------------------------------------
// The response shell.

struct IKWeatherResponse : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetWeatherInfo(DATE WeatherDate, IUnknown** WeatherInfos) = 0;  // 1
};

SKYVANE_DECLARE_IID(IKWeatherInfo, IID_IKWeatherInfo);
SKYVANE_DECLARE_IID(IKWeatherInfo2, IID_IKWeatherInfo2);
SKYVANE_DECLARE_IID(IKWeatherInfo3, IID_IKWeatherInfo3);
SKYVANE_DECLARE_IID(IKWeatherInfo4, IID_IKWeatherInfo4);
SKYVANE_DECLARE_IID(IKWeatherInfo5, IID_IKWeatherInfo5);
SKYVANE_DECLARE_IID(IKWeatherInfo6, IID_IKWeatherInfo6);
SKYVANE_DECLARE_IID(IKWeatherInfo7, IID_IKWeatherInfo7);
SKYVANE_DECLARE_IID(IKWeatherInfo8, IID_IKWeatherInfo8);
SKYVANE_DECLARE_IID(IKWeatherResponse, IID_IKWeatherResponse);
