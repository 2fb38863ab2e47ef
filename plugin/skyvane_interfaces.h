// The COM surface of the plugin library, as its type library
// "SkyvaneWeatherLib" defines it: class identifiers and the dual interfaces
// in slot order. Hosts bind to the library only through these.
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"

extern const GUID LIBID_SkyvaneWeatherLib;      // {4BEF8280-3E1D-44C8-B2FE-71696ADCA688}
extern const GUID APPID_SkyvaneWeather;         // {EF43C07C-D572-4763-940C-8D8D0EA0C8C1}
extern const CLSID CLSID_SkyvaneWeatherHomeScreen;  // {D3997C0E-F6D0-4850-84A0-15DF5264264B}
extern const CLSID CLSID_SkyvaneTranslator;     // {944ED115-C821-40B7-A4A4-6BB997270DB0}

extern const IID IID_ISkyvaneWeatherHomeScreen;   // {F4D61812-A594-4E45-802F-DA1CC92426C1}
extern const IID IID_ISkyvaneWeatherHomeScreen2;  // {A2A4C9AA-1A48-4602-B943-13F8A1A7A67D}
extern const IID IID_ISkyvaneWeatherHomeScreen3;  // {CC16CC1E-24DD-4159-B4B4-EC1BCCF5381C}
extern const IID IID_ISkyvaneTranslator;          // {93656503-BF88-4168-85D2-FD49447003EC}

// The ten methods of the plugin object in slot order; the first level holds
// the commands of the UI program and the Today host's queries, the second
// the host window and focus, the third touch and colour.
struct ISkyvaneWeatherHomeScreen : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Test(LONG testLong, BSTR testBSTR) = 0;                          // 1
    virtual HRESULT STDMETHODCALLTYPE UpdateAndSave(BSTR bstrCode, LONG lUnit, LONG lDaysNumber) = 0;  // 2
    virtual HRESULT STDMETHODCALLTYPE DoDetails(ULONG pMainWnd, LONG iType, LONG* lRet) = 0;           // 3
    virtual HRESULT STDMETHODCALLTYPE QueryRefresh(ULONG pTODAYLISTITEM, LONG* lIsRefresh) = 0;        // 4
    virtual HRESULT STDMETHODCALLTYPE GetTimerPeriod(LONG lParam, LONG* lNextTimerInterrval) = 0;      // 5
};

struct ISkyvaneWeatherHomeScreen2 : ISkyvaneWeatherHomeScreen {
    virtual HRESULT STDMETHODCALLTYPE UpdateFocus(ULONG isFocus) = 0;               // 6
    virtual HRESULT STDMETHODCALLTYPE SetDesktopWindow(ULONG hDesktopWindow) = 0;   // 7
    virtual HRESULT STDMETHODCALLTYPE DestroyWindow() = 0;                          // 8
};

struct ISkyvaneWeatherHomeScreen3 : ISkyvaneWeatherHomeScreen2 {
    virtual HRESULT STDMETHODCALLTYPE OnMouseClick(LONG x, LONG y, LONG lAction, LONG* lResult) = 0;  // 9
    virtual HRESULT STDMETHODCALLTYPE SetTodayColor(ULONG dwColorINDEX, ULONG dwColorColor) = 0;      // 10
};

// The translator offered to other programs.
struct ISkyvaneTranslator : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Translate(LONG ModuleID, LONG ResourceID, LONG ResourceItemID, BSTR strSrc,
                                                BSTR* strResult) = 0;  // 1
};

SKYVANE_DECLARE_IID(ISkyvaneWeatherHomeScreen, IID_ISkyvaneWeatherHomeScreen);
SKYVANE_DECLARE_IID(ISkyvaneWeatherHomeScreen2, IID_ISkyvaneWeatherHomeScreen2);
SKYVANE_DECLARE_IID(ISkyvaneWeatherHomeScreen3, IID_ISkyvaneWeatherHomeScreen3);
SKYVANE_DECLARE_IID(ISkyvaneTranslator, IID_ISkyvaneTranslator);
