// A small in-process COM server used by the platform tests: one class with
// two numbered dual interfaces, registered by its own DllRegisterServer.
#pragma once

#include "platform/com/com_ptr.h"
#include "platform/com/unknwn.h"

inline constexpr GUID CLSID_TestWidget = skyvane::MakeGuid("{6C0F3E52-9A1B-4D37-8E2C-5B7A1D9F4E21}");
inline constexpr GUID IID_ITestWidget = skyvane::MakeGuid("{0B4E8D21-7C3A-4F59-A6D2-93E1C5B7F840}");
inline constexpr GUID IID_ITestWidget2 = skyvane::MakeGuid("{D7A2C9E4-15F3-4B86-9E0A-6C4F2B8D1A37}");
inline constexpr GUID APPID_TestServer = skyvane::MakeGuid("{3F9B6A1C-E24D-4C7B-8A53-7D0E9C2B6F14}");
#define TESTWIDGET_PROGID u"SkyvaneTest.Widget.1"
#define TESTWIDGET_VI_PROGID u"SkyvaneTest.Widget"

struct ITestWidget : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pVal) = 0;                 // DISPID 1
    virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR newVal) = 0;                // DISPID 1
    virtual HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* pSum) = 0;      // DISPID 2
    // Fails with E_INVALIDARG and the given description.
    virtual HRESULT STDMETHODCALLTYPE Fail(BSTR description) = 0;              // DISPID 3
};

struct ITestWidget2 : ITestWidget {
    // An IEnumUnknown over `count` new widgets.
    virtual HRESULT STDMETHODCALLTYPE get_Children(LONG count, IUnknown** ppEnum) = 0;  // DISPID 4
};

SKYVANE_DECLARE_IID(ITestWidget, IID_ITestWidget);
SKYVANE_DECLARE_IID(ITestWidget2, IID_ITestWidget2);

// Exports besides the four server entry points.
extern "C" {
typedef long (*PFN_ComServerLiveObjects)();  // widgets alive in this copy of the library
typedef long (*PFN_ComServerModuleLocks)();  // its module lock count
}
