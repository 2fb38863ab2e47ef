// The COM runtime: apartments per thread, ProgID lookup, class objects from
// in-process servers loaded with dlopen, and task memory.
#include "platform/com/runtime.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/kernel/device_root.h"
#include "platform/base/log.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_string.h"

using skyvane::MakeGuid;

const IID IID_IUnknown = MakeGuid("{00000000-0000-0000-C000-000000000046}");
const IID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");
const IID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");
const IID IID_IEnumUnknown = MakeGuid("{00000100-0000-0000-C000-000000000046}");
const IID IID_IErrorInfo = MakeGuid("{1CF2B120-547D-101B-8E65-08002B2BD119}");
const IID IID_ICreateErrorInfo = MakeGuid("{22F03340-547D-101B-8E65-08002B2BD119}");
const IID IID_ISupportErrorInfo = MakeGuid("{DF0B3D60-548F-101B-8E65-08002B2BD119}");
const IID IID_ITypeInfo = MakeGuid("{00020401-0000-0000-C000-000000000046}");

namespace {

// ---------------------------------------------------------------------------
// Apartments. A thread that entered the multithreaded apartment counts into
// the process-wide MTA; while it is not empty, threads that never called
// CoInitializeEx use COM as implicit members of it, as the platform allows.
struct Apartment {
    int initCount = 0;
    DWORD model = COINIT_MULTITHREADED;
};
thread_local Apartment t_apartment;
std::atomic<int> g_mtaThreads{0};

bool ComUsable() { return t_apartment.initCount > 0 || g_mtaThreads.load() > 0; }

// ---------------------------------------------------------------------------
// Registry reading.

std::optional<std::u16string> ReadDefaultValue(const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::u16string> text;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::u16string buffer(size / sizeof(WCHAR) + 1, u'\0');
        DWORD got = DWORD(buffer.size() * sizeof(WCHAR));
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) ==
            ERROR_SUCCESS) {
            buffer.resize(got / sizeof(WCHAR));
            while (!buffer.empty() && buffer.back() == u'\0') buffer.pop_back();
            text = std::move(buffer);
        }
    }
    RegCloseKey(key);
    return text;
}

bool KeyExists(const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// ---------------------------------------------------------------------------
// Loaded in-process servers, one entry per library however often it loads.
struct LoadedServer {
    void* handle;
    std::string path;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow;  // NULL: the library stays loaded
};

// Recursive: a server's DllGetClassObject may itself create objects.
std::recursive_mutex g_serversMutex;
std::vector<LoadedServer> g_servers;

// The Linux file of a registered server path: device paths ("\Windows\x.dll")
// map below the device root, a Linux absolute path is used as it is, and a
// bare name is left to the loader's search.
std::string ServerFile(const std::u16string& registered) {
    if (registered.empty()) return {};
    if (registered.front() == u'/') return skyvane::ToUtf8(registered);
    if (registered.find_first_of(u"\\/") == std::u16string::npos) return skyvane::ToUtf8(registered);
    return skyvane::HostPath(registered);
}

// Finds or loads the server; g_serversMutex must be held.
HRESULT LoadServer(const std::string& file, LoadedServer** out) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        SKYVANE_LOG("com", "cannot load %s: %s", file.c_str(), why ? why : "?");
        return CO_E_DLLNOTFOUND;
    }
    for (LoadedServer& server : g_servers) {
        if (server.handle == handle) {
            dlclose(handle);  // the entry holds the one reference we keep
            *out = &server;
            return S_OK;
        }
    }
    auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        SKYVANE_LOG("com", "%s has no DllGetClassObject", file.c_str());
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow"));
    g_servers.push_back(LoadedServer{handle, file, getClassObject, canUnloadNow});
    SKYVANE_LOG("com", "loaded %s", file.c_str());
    *out = &g_servers.back();
    return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED;
    Apartment& apartment = t_apartment;
    if (apartment.initCount > 0) {
        if (apartment.model != model) return RPC_E_CHANGED_MODE;
        ++apartment.initCount;
        return S_FALSE;
    }
    apartment.model = model;
    apartment.initCount = 1;
    if (model == COINIT_MULTITHREADED) ++g_mtaThreads;
    return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
    Apartment& apartment = t_apartment;
    if (apartment.initCount == 0) return;  // unbalanced: ignored, as the platform does
    if (--apartment.initCount == 0 && apartment.model == COINIT_MULTITHREADED) --g_mtaThreads;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    *lpclsid = CLSID_NULL;
    std::u16string progId(lpszProgID, size_t(lstrlenW(lpszProgID)));
    if (progId.empty()) return CO_E_CLASSSTRING;
    if (progId.front() == u'{') return CLSIDFromString(lpszProgID, lpclsid);
    try {
        // A version-independent ProgID without a CLSID key of its own names its
        // current version; the hops are bounded so a CurVer loop cannot hang.
        for (int hop = 0; hop < 8; ++hop) {
            if (auto clsid = ReadDefaultValue(progId + u"\\CLSID")) {
                if (!skyvane::GuidFromString(*clsid, *lpclsid) || clsid->front() != u'{') {
                    *lpclsid = CLSID_NULL;
                    return CO_E_CLASSSTRING;
                }
                return S_OK;
            }
            auto current = ReadDefaultValue(progId + u"\\CurVer");
            if (!current || current->empty() || skyvane::EqualsNoCase(*current, progId)) break;
            progId = *current;
        }
    } catch (const std::bad_alloc&) {
        skyvane::LogCaughtException("com", "CLSIDFromProgID");
        return E_OUTOFMEMORY;
    }
    SKYVANE_LOG("com", "unknown ProgID %s", skyvane::ToUtf8(lpszProgID).c_str());
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    try {
        std::u16string key = u"CLSID\\" + skyvane::GuidToString(clsid);
        if (!KeyExists(key)) return REGDB_E_CLASSNOTREG;
        auto progId = ReadDefaultValue(key + u"\\ProgID");
        if (!progId || progId->empty()) return REGDB_E_CLASSNOTREG;
        auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((progId->size() + 1) * sizeof(OLECHAR)));
        if (!copy) return E_OUTOFMEMORY;
        std::memcpy(copy, progId->c_str(), (progId->size() + 1) * sizeof(OLECHAR));
        *lplpszProgID = copy;
        return S_OK;
    } catch (const std::bad_alloc&) {
        skyvane::LogCaughtException("com", "ProgIDFromCLSID");
        return E_OUTOFMEMORY;
    }
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!ComUsable()) return CO_E_NOTINITIALIZED;
    // Only in-process servers exist on this platform.
    if (!(dwClsContext & CLSCTX_INPROC)) return REGDB_E_CLASSNOTREG;
    std::string file;
    try {
        std::u16string key = u"CLSID\\" + skyvane::GuidToString(rclsid);
        auto registered = ReadDefaultValue(key + u"\\InprocServer32");
        if (!registered || registered->empty()) {
            SKYVANE_LOG("com", "class %s is not registered", skyvane::ToUtf8(skyvane::GuidToString(rclsid)).c_str());
            return REGDB_E_CLASSNOTREG;
        }
        file = ServerFile(*registered);
    } catch (const std::bad_alloc&) {
        skyvane::LogCaughtException("com", "CoGetClassObject");
        return E_OUTOFMEMORY;
    }
    // The lock is held across DllGetClassObject so that no other thread can
    // unload the library under the call.
    std::lock_guard lock(g_serversMutex);
    LoadedServer* server = nullptr;
    HRESULT hr = LoadServer(file, &server);
    if (FAILED(hr)) return hr;
    return server->getClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    skyvane::ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    // pUnkOuter goes through unchanged: the factory decides about aggregation.
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}

void CoFreeUnusedLibraries() {
    std::lock_guard lock(g_serversMutex);
    for (auto it = g_servers.begin(); it != g_servers.end();) {
        if (it->canUnloadNow && it->canUnloadNow() == S_OK) {
            SKYVANE_LOG("com", "unloading %s", it->path.c_str());
            dlclose(it->handle);
            it = g_servers.erase(it);
        } else {
            ++it;
        }
    }
}

LPVOID CoTaskMemAlloc(size_t cb) { return std::malloc(cb ? cb : 1); }

LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb) {
    if (!pv) return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb);
}

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
