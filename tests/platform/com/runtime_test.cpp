// The COM runtime against a real in-process server: registration through its
// own DllRegisterServer, creation by ProgID (dlopen), aggregation, reference
// balance, unloading, failure results and per-thread error objects.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/runtime.h"
#include "platform/com/com_ptr.h"
#include "platform/com/test_server/test_server.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "test_util/outer_object.h"
#include "test_util/test_util.h"

using skyvane::Bstr;
using skyvane::ComPtr;
using skyvane::Variant;

namespace {

std::string ServerPath() { return std::filesystem::canonical(skyvane::test::BuildDir() + "/lib/comserver.so").string(); }

bool IsLoaded(const std::string& path) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

// Calls an export of the server while it is loaded by the runtime.
template <class Fn>
Fn Export(const std::string& path, const char* name) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return nullptr;
    auto fn = reinterpret_cast<Fn>(dlsym(h, name));
    dlclose(h);  // the runtime's own reference keeps it loaded
    return fn;
}

HRESULT RunServerExport(const std::string& path, const char* name) {
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(h, name));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(h);
    return hr;
}

void SetString(HKEY root, const std::u16string& path, const std::u16string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
}

std::u16string GetString(HKEY root, const std::u16string& path, const char16_t* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
    char16_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(char16_t), type = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? std::u16string(buffer) : u"<no value>";
}

bool KeyExists(HKEY root, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::u16string ClsidKey(REFCLSID clsid) { return u"CLSID\\" + skyvane::GuidToString(clsid); }

// Late-bound call with the arguments in their natural order.
HRESULT Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<Variant> args, VARIANT* result,
               EXCEPINFO* excep = nullptr, UINT* argErr = nullptr) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr, UINT(reversed.size()),
                      flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, excep, argErr);
}

class ComRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        path_ = ServerPath();
        CoFreeUnusedLibraries();
        ASSERT_FALSE(IsLoaded(path_)) << "an earlier test left the server loaded";
        ASSERT_EQ(RunServerExport(path_, "DllRegisterServer"), S_OK);
        ASSERT_FALSE(IsLoaded(path_)) << "the server must unload after registering itself";
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }
    long LiveWidgets() {
        auto fn = Export<PFN_ComServerLiveObjects>(path_, "ComServerLiveObjects");
        return fn ? fn() : -1;
    }
    long ModuleLocks() {
        auto fn = Export<PFN_ComServerModuleLocks>(path_, "ComServerModuleLocks");
        return fn ? fn() : -1;
    }

    skyvane::test::ScopedDeviceRoot root_;
    std::string path_;
};

TEST_F(ComRuntimeTest, RegistrationWritesTheClassAndBothProgIds) {
    CLSID clsid = CLSID_NULL;
    ASSERT_EQ(CLSIDFromProgID(TESTWIDGET_PROGID, &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestWidget);
    clsid = CLSID_NULL;
    ASSERT_EQ(CLSIDFromProgID(u"skyvanetest.WIDGET", &clsid), S_OK);  // ProgIDs are case-insensitive
    EXPECT_EQ(clsid, CLSID_TestWidget);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestWidget, &progId), S_OK);
    EXPECT_EQ(std::u16string(progId), TESTWIDGET_PROGID);
    CoTaskMemFree(progId);

    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestWidget) + u"\\InprocServer32"),
              skyvane::FromUtf8(path_));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestWidget) + u"\\InprocServer32", u"ThreadingModel"), u"Free");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, TESTWIDGET_VI_PROGID u"\\CurVer"), TESTWIDGET_PROGID);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestWidget) + u"\\Programmable"));
}

TEST_F(ComRuntimeTest, CreateByProgIdLoadsBalancesAndUnloads) {
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(TESTWIDGET_VI_PROGID, &clsid), S_OK);
    {
        ComPtr<ITestWidget> widget;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);
        ASSERT_TRUE(IsLoaded(path_));
        EXPECT_EQ(LiveWidgets(), 1);

        // Every numbered level and IDispatch answer with the same pointer.
        ComPtr<ITestWidget2> second;
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(widget.As(second), S_OK);
        ASSERT_EQ(widget.As(dispatch), S_OK);
        EXPECT_EQ(static_cast<void*>(second.Get()), static_cast<void*>(widget.Get()));
        EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(widget.Get()));
        EXPECT_TRUE(skyvane::IsSameObject(second.Get(), dispatch.Get()));

        ASSERT_EQ(second->put_Name(Bstr(u"Moscow")), S_OK);
        Bstr name;
        ASSERT_EQ(widget->get_Name(name.Out()), S_OK);
        EXPECT_EQ(name.View(), u"Moscow");

        // Loaded while an object lives.
        EXPECT_EQ(Export<LPFNCANUNLOADNOW>(path_, "DllCanUnloadNow")(), S_FALSE);
        CoFreeUnusedLibraries();
        EXPECT_TRUE(IsLoaded(path_));
    }
    EXPECT_EQ(LiveWidgets(), 0);
    EXPECT_EQ(ModuleLocks(), 0);
    EXPECT_EQ(Export<LPFNCANUNLOADNOW>(path_, "DllCanUnloadNow")(), S_OK);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(path_));

    // A second creation loads it again.
    ComPtr<IUnknown> again;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_TRUE(IsLoaded(path_));
    EXPECT_EQ(LiveWidgets(), 1);
}

TEST_F(ComRuntimeTest, LockServerKeepsTheLibraryLoaded) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestWidget, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(ModuleLocks(), 1);
    CoFreeUnusedLibraries();
    ASSERT_TRUE(IsLoaded(path_));

    ASSERT_EQ(CoGetClassObject(CLSID_TestWidget, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(ModuleLocks(), 0);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(path_));
}

TEST_F(ComRuntimeTest, CreationHandsTheOuterObjectToTheServer) {
    using skyvane::test::OuterObject;
    OuterObject* outer = OuterObject::New();
    ASSERT_EQ(outer->Aggregate([](IUnknown* o, void** inner) {
        return CoCreateInstance(CLSID_TestWidget, o, CLSCTX_INPROC_SERVER, IID_IUnknown, inner);
    }),
              S_OK);
    EXPECT_EQ(LiveWidgets(), 1);
    {
        ComPtr<ITestWidget> widget;
        ASSERT_EQ(outer->QueryInterface(IID_PPV_ARGS(&widget)), S_OK);
        ComPtr<IUnknown> identity;
        ASSERT_EQ(widget->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(outer));
        LONG sum = 0;
        EXPECT_EQ(widget->Add(40, 2, &sum), S_OK);
        EXPECT_EQ(sum, 42);
    }
    outer->Release();
    EXPECT_EQ(OuterObject::live, 0);
    EXPECT_EQ(LiveWidgets(), 0);
    EXPECT_EQ(ModuleLocks(), 0);
}

TEST_F(ComRuntimeTest, LateBoundCallsByNameAndDispid) {
    ComPtr<IDispatch> widget;
    ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);

    OLECHAR name[] = u"aDD";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(widget->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 2);

    Variant sum;
    ASSERT_EQ(Invoke(widget.Get(), id, DISPATCH_METHOD, {Variant::I4(2), Variant::Str(u"40")}, &sum), S_OK);
    EXPECT_EQ(sum.vt, VT_I4);
    EXPECT_EQ(sum.lVal, 42);

    Variant none;
    ASSERT_EQ(Invoke(widget.Get(), 1, DISPATCH_PROPERTYPUT, {Variant::Str(u"Omsk")}, nullptr), S_OK);
    ASSERT_EQ(Invoke(widget.Get(), 1, DISPATCH_PROPERTYGET, {}, &none), S_OK);
    ASSERT_EQ(none.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(none.bstrVal), u"Omsk");

    // A failing member: DISP_E_EXCEPTION with its result and description.
    EXCEPINFO excep{};
    Variant ignored;
    ASSERT_EQ(Invoke(widget.Get(), 3, DISPATCH_METHOD, {Variant::Str(u"City code is empty")}, &ignored, &excep),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    EXPECT_EQ(skyvane::BstrView(excep.bstrDescription), u"City code is empty");
    EXPECT_EQ(skyvane::BstrView(excep.bstrSource), TESTWIDGET_PROGID);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
}

TEST_F(ComRuntimeTest, EnumeratorOfServerObjectsHoldsThemAndTheLibrary) {
    ComPtr<IEnumUnknown> children;
    {
        ComPtr<ITestWidget2> widget;
        ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(widget->get_Children(3, &unknown), S_OK);
        ASSERT_EQ(unknown.As(children), S_OK);
    }
    EXPECT_EQ(LiveWidgets(), 3);
    CoFreeUnusedLibraries();
    ASSERT_TRUE(IsLoaded(path_));

    IUnknown* items[4] = {};
    ULONG fetched = 99;
    ASSERT_EQ(children->Next(4, items, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    ComPtr<ITestWidget> third;
    ASSERT_EQ(items[2]->QueryInterface(IID_PPV_ARGS(&third)), S_OK);
    Bstr name;
    ASSERT_EQ(third->get_Name(name.Out()), S_OK);
    EXPECT_EQ(name.View(), u"child 2");
    third.Reset();
    for (ULONG i = 0; i < fetched; ++i) items[i]->Release();

    children.Reset();
    EXPECT_EQ(LiveWidgets(), 0);
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(path_));
}

TEST_F(ComRuntimeTest, FailuresHaveTheirOwnResults) {
    CLSID clsid = CLSID_TestWidget;
    EXPECT_EQ(CLSIDFromProgID(u"SkyvaneTest.NoSuchThing", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, CLSID_NULL);

    const CLSID unregistered = skyvane::MakeGuid("{9E1D7C3B-2A45-4F60-8B17-C3D2E1F0A9B8}");
    void* sentinel = reinterpret_cast<void*>(0xdeadbeef);
    void* out = sentinel;
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);

    // A class whose library does not exist.
    SetString(HKEY_CLASSES_ROOT, ClsidKey(unregistered) + u"\\InprocServer32", u"/nonexistent/libnothing.so");
    out = sentinel;
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out), CO_E_DLLNOTFOUND);
    EXPECT_EQ(out, nullptr);

    // A library that is no COM server.
    std::string platform = skyvane::test::BuildDir() + "/lib/libskyvane-platform.so";
    SetString(HKEY_CLASSES_ROOT, ClsidKey(unregistered) + u"\\InprocServer32", skyvane::FromUtf8(platform));
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out), CO_E_ERRORINDLL);

    // A server that does not know the class.
    SetString(HKEY_CLASSES_ROOT, ClsidKey(unregistered) + u"\\InprocServer32", skyvane::FromUtf8(path_));
    EXPECT_EQ(CoCreateInstance(unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);

    // Only in-process servers exist.
    EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ComRuntimeTest, ProgIdFollowsCurVerAndSurvivesLoops) {
    SetString(HKEY_CLASSES_ROOT, u"SkyvaneTest.Alias\\CurVer", TESTWIDGET_PROGID);
    CLSID clsid = CLSID_NULL;
    ASSERT_EQ(CLSIDFromProgID(u"SkyvaneTest.Alias", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestWidget);

    SetString(HKEY_CLASSES_ROOT, u"SkyvaneTest.LoopA\\CurVer", u"SkyvaneTest.LoopB");
    SetString(HKEY_CLASSES_ROOT, u"SkyvaneTest.LoopB\\CurVer", u"SkyvaneTest.LoopA");
    EXPECT_EQ(CLSIDFromProgID(u"SkyvaneTest.LoopA", &clsid), CO_E_CLASSSTRING);

    SetString(HKEY_CLASSES_ROOT, u"SkyvaneTest.Broken\\CLSID", u"not a guid");
    EXPECT_EQ(CLSIDFromProgID(u"SkyvaneTest.Broken", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, CLSID_NULL);
}

TEST_F(ComRuntimeTest, ServerRegisteredByDevicePathLoadsFromTheDeviceRoot) {
    std::filesystem::create_directories(root_.path() + "/Windows");
    std::string copy = root_.path() + "/Windows/TestServer.dll";
    std::filesystem::copy_file(path_, copy);
    SetString(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestWidget) + u"\\InprocServer32", u"\\Windows\\TestServer.dll");

    ComPtr<ITestWidget> widget;
    ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);
    EXPECT_TRUE(IsLoaded(copy));
    EXPECT_FALSE(IsLoaded(path_));
    widget.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(IsLoaded(copy));
}

TEST_F(ComRuntimeTest, UnregistrationRemovesTheClassButKeepsSharedKeys) {
    const std::u16string appId = u"AppID\\" + skyvane::GuidToString(APPID_TestServer);
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, appId));
    ASSERT_EQ(RunServerExport(path_, "DllUnregisterServer"), S_OK);

    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(TESTWIDGET_PROGID, &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(TESTWIDGET_VI_PROGID, &clsid), CO_E_CLASSSTRING);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClsidKey(CLSID_TestWidget)));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, appId));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"AppID"));
    ComPtr<IUnknown> widget;
    EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&widget)),
              REGDB_E_CLASSNOTREG);
}

// ---------------------------------------------------------------------------
// Apartments and error objects, on threads of their own.

TEST(ComApartment, InitializationIsCountedPerThreadAndKeepsItsModel) {
    std::thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // fully left: a new model is fine
        CoUninitialize();
    }).join();
}

TEST(ComApartment, ClassCreationNeedsAnApartment) {
    skyvane::test::ScopedDeviceRoot root;
    void* out = nullptr;
    std::thread([&] {
        EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
                  CO_E_NOTINITIALIZED);
    }).join();
    // While another thread is in the multithreaded apartment, an
    // uninitialised thread belongs to it implicitly.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    std::thread([&] {
        EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
                  REGDB_E_CLASSNOTREG);
    }).join();
    CoUninitialize();
}

TEST(ComErrorInfo, EachThreadHasItsOwnErrorObjectHandedOutOnce) {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    OLECHAR text[] = u"Server did not answer";
    create->SetDescription(text);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(create.As(info), S_OK);
    ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);

    std::thread([] {
        IErrorInfo* other = reinterpret_cast<IErrorInfo*>(0xdeadbeef);
        EXPECT_EQ(GetErrorInfo(0, &other), S_FALSE);
        EXPECT_EQ(other, nullptr);
    }).join();

    ComPtr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    EXPECT_EQ(got.Get(), info.Get());
    Bstr description;
    ASSERT_EQ(got->GetDescription(description.Out()), S_OK);
    EXPECT_EQ(description.View(), u"Server did not answer");
    ComPtr<IErrorInfo> again;
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
    EXPECT_FALSE(again);

    // SetErrorInfo(0, NULL) clears.
    ASSERT_EQ(SetErrorInfo(0, info.Get()), S_OK);
    ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
}

}  // namespace
