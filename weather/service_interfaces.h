// The service half of the "KWeatherLib" type library: the weather service,
// the city found by the online search and the city chooser control, as dual
// interfaces in slot order. The getter of a "get, put" property comes first
// and its setter right after it.
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"
#include "weather/kweather_interfaces.h"

extern const IID IID_IKWeatherCity;               // {A26050A5-1C5E-4B69-95DA-E23CAFC1FAA5}
extern const IID IID_IKWeatherCityCtrl;           // {159F2BB1-2CA5-441E-B28E-666453D85174}
extern const IID DIID__IKWeatherCityCtrlEvents;   // {4635B403-8FA3-45C7-B7A8-1AA524E96588}
// The application identifier under which the library's classes are registered.
extern const GUID APPID_KWeather;                 // {74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}

// ---------------------------------------------------------------------------
// The weather service: request settings, the request members and the city
// directory. The comment after each member is its DISPID.

struct IKWeatherService : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_FindCityCode(BSTR bstrCityName, IUnknown** pMatchCityCollection) = 0;  // 1
    virtual HRESULT STDMETHODCALLTYPE get_Weather(IUnknown** pWeatherCollection) = 0;                            // 2
    virtual HRESULT STDMETHODCALLTYPE get_RequestDayCount(LONG* pVal) = 0;                                       // 3
    virtual HRESULT STDMETHODCALLTYPE put_RequestDayCount(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RequestCityCode(BSTR* pVal) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE put_RequestCityCode(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RequestUnitType(KWeatherUnitType* pVal) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE put_RequestUnitType(KWeatherUnitType newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WeatherAsXML(BSTR* pVal) = 0;                     // 6
    virtual HRESULT STDMETHODCALLTYPE get_WeatherAsArray(IUnknown* pDoc, IUnknown** pVal) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE BeginCityByCountry(BSTR Country, BSTR Letter) = 0;     // 8
    virtual HRESULT STDMETHODCALLTYPE get_City(BSTR* pVal) = 0;                              // 9
    virtual HRESULT STDMETHODCALLTYPE BeginCountry(BSTR Letter) = 0;                          // 10
    virtual HRESULT STDMETHODCALLTYPE get_Country(BSTR* pVal) = 0;                           // 11
    virtual HRESULT STDMETHODCALLTYPE get_CountryIsLetter(LONG* pVal) = 0;                   // 12
    virtual HRESULT STDMETHODCALLTYPE CityNext(LONG* Last) = 0;                               // 13
    virtual HRESULT STDMETHODCALLTYPE CountryNext(LONG* Last) = 0;                            // 14
    virtual HRESULT STDMETHODCALLTYPE get_DatabasePath(BSTR* pVal) = 0;                      // 15
    virtual HRESULT STDMETHODCALLTYPE put_DatabasePath(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CityCode(BSTR* pVal) = 0;                                // 16
    virtual HRESULT STDMETHODCALLTYPE get_WeatherAsDocument(BSTR newVal, IUnknown** pVal) = 0;    // 17
    virtual HRESULT STDMETHODCALLTYPE get_CityIndex(LONG* pVal) = 0;                               // 18
    virtual HRESULT STDMETHODCALLTYPE put_CityIndex(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CountryIndex(LONG* pVal) = 0;  // 19
    virtual HRESULT STDMETHODCALLTYPE put_CountryIndex(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoFindCityDialog(BSTR Country, BSTR* pCode, BSTR* pCity) = 0;  // 20
    virtual HRESULT STDMETHODCALLTYPE DoFindCountryDlg(BSTR* pCountry) = 0;                         // 21
    virtual HRESULT STDMETHODCALLTYPE get_CountryCount(LONG* pVal) = 0;                             // 22
    virtual HRESULT STDMETHODCALLTYPE get_ClassPtr(LONG* pVal) = 0;                                 // 23
};

// Adds no members.
struct IKWeatherService2 : IKWeatherService {};

struct IKWeatherService3 : IKWeatherService2 {
    virtual HRESULT STDMETHODCALLTYPE get_HBHWeatherAsXML(LONG lCustomHours, BSTR bstrReserved, BSTR* pVal) = 0;  // 33
};

struct IKWeatherService4 : IKWeatherService3 {
    virtual HRESULT STDMETHODCALLTYPE get_LastRequestInfo(BSTR* pVal) = 0;  // 34
};

// ---------------------------------------------------------------------------
// A city found by the online search.

struct IKWeatherCity : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) = 0;  // 1
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Code(BSTR* pVal) = 0;  // 2
    virtual HRESULT STDMETHODCALLTYPE put_Code(BSTR newVal) = 0;
};

// ---------------------------------------------------------------------------
// The city chooser control.

struct IKWeatherCityCtrl : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_WeatherService(IUnknown** pVal) = 0;  // 1
    virtual HRESULT STDMETHODCALLTYPE put_WeatherService(IUnknown* newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsCountry(LONG* pVal) = 0;  // 2
    virtual HRESULT STDMETHODCALLTYPE put_IsCountry(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsStop(LONG* pVal) = 0;  // 3
    virtual HRESULT STDMETHODCALLTYPE put_IsStop(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectedCode(BSTR* pVal) = 0;  // 4
    virtual HRESULT STDMETHODCALLTYPE put_SelectedCode(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectedCity(BSTR* pVal) = 0;  // 5
    virtual HRESULT STDMETHODCALLTYPE put_SelectedCity(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load() = 0;    // 6
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;  // 7
};

SKYVANE_DECLARE_IID(IKWeatherService, IID_IKWeatherService);
SKYVANE_DECLARE_IID(IKWeatherService2, IID_IKWeatherService2);
SKYVANE_DECLARE_IID(IKWeatherService3, IID_IKWeatherService3);
SKYVANE_DECLARE_IID(IKWeatherService4, IID_IKWeatherService4);
SKYVANE_DECLARE_IID(IKWeatherCity, IID_IKWeatherCity);
SKYVANE_DECLARE_IID(IKWeatherCityCtrl, IID_IKWeatherCityCtrl);
