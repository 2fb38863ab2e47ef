// The COM runtime: apartments, class creation by ProgID from HKEY_CLASSES_ROOT
// with dlopen'ed in-process servers, error objects per thread, task memory.
#pragma once

#include "platform/com/unknwn.h"

#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106u)

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT CoInitialize(LPVOID pvReserved);
void CoUninitialize();

// "KWeather.KWeatherService" → its class: HKCR\<ProgID>\CLSID, following
// HKCR\<ProgID>\CurVer when the ProgID has no CLSID key of its own.
// CO_E_CLASSSTRING when the ProgID is unknown. A braced GUID text is parsed.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// Reads HKCR\CLSID\{clsid}\InprocServer32 (default value: the library path),
// loads it with dlopen (kept loaded while its DllCanUnloadNow says S_FALSE) and
// asks its DllGetClassObject. REGDB_E_CLASSNOTREG when the class is not
// registered, CO_E_DLLNOTFOUND when the library does not load,
// CO_E_ERRORINDLL when it lacks DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
// Unloads every library whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

LPVOID CoTaskMemAlloc(size_t cb);
LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb);
void CoTaskMemFree(LPVOID pv);

// The error object of the calling thread; SetErrorInfo(0, NULL) clears it and
// GetErrorInfo hands it out once (S_FALSE and NULL when there is none).
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);

// The signatures of an in-process server's exports.
typedef HRESULT (*LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT (*LPFNCANUNLOADNOW)();
