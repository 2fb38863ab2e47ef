// The weather service library as callers see it: registered with its own
// DllRegisterServer into a fresh device root, loaded by the COM runtime and
// driven through CoCreateInstance by ProgID, the interfaces in slot order and
// late-bound calls. The test program does not link the library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/oleaut/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/runtime.h"
#include "platform/msxml/msxml.h"
#include "platform/registry/registry.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/oleaut/variant.h"
#include "test_util/outer_object.h"
#include "test_util/registry_dump.h"
#include "test_util/test_util.h"
#include "weather/kweather_interfaces.h"
#include "weather/service_interfaces.h"

using skyvane::Bstr;
using skyvane::ComPtr;
using skyvane::Variant;

namespace {

std::string LibraryPath() {
    return std::filesystem::canonical(skyvane::test::BuildDir() + "/lib/libKWeather.so").string();
}

std::string Utf8(std::u16string_view s) { return skyvane::ToUtf8(s); }

// Runs one export of the library in a load of its own.
HRESULT RunExport(const char* name) {
    void* h = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) return E_FAIL;
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(h, name));
    HRESULT hr = fn ? fn() : E_FAIL;
    dlclose(h);
    return hr;
}

// An export of the library as loaded by the COM runtime.
template <class Fn>
Fn LoadedExport(const char* name) {
    void* h = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h) return nullptr;
    auto fn = reinterpret_cast<Fn>(dlsym(h, name));
    dlclose(h);
    return fn;
}

std::set<std::string> DumpClassesRoot() { return skyvane::test::DumpRegistry(HKEY_CLASSES_ROOT); }
using skyvane::test::Join;
using skyvane::test::Minus;

// What registration must write, from the library's published description.
std::set<std::string> ExpectedRegistration(const std::string& module) {
    const std::string appId = "{74C1D6E9-8B78-40C5-A9AA-F4FA563762E4}";
    const std::string libId = "{46ADF213-1563-4B65-B0CD-AC61F85DFA8D}";
    std::set<std::string> e = {
        "AppID",
        "AppID\\" + appId,
        "AppID\\" + appId + "|@=KWeather",
        "AppID\\KWeather.DLL",
        "AppID\\KWeather.DLL|AppID=" + appId,
    };
    struct Class {
        std::string name, clsid;
    };
    const Class classes[] = {
        {"KWeatherService", "{F9FCC6F4-43CE-4431-8234-ED648982713C}"},
        {"KWeatherResponse", "{C1C7D854-9AC9-4FFC-B1E3-3FDF13508B57}"},
        {"KWeatherInfo", "{C0A37C90-4E2B-40D3-92B6-B8E2ADDB1EDD}"},
        {"KWeatherCity", "{76608526-5E1E-494A-9F91-E17E30733EEC}"},
        {"KWeatherCityCtrl", "{5F047B8C-2924-40FE-B1BA-217453B1CF91}"},
    };
    e.insert("CLSID");
    for (const Class& c : classes) {
        const std::string desc = c.name + " Class", prog = "KWeather." + c.name, key = "CLSID\\" + c.clsid;
        for (const std::string& p : {prog + ".1", prog}) {
            e.insert(p);
            e.insert(p + "|@=" + desc);
            e.insert(p + "\\CLSID");
            e.insert(p + "\\CLSID|@=" + c.clsid);
        }
        e.insert(prog + "\\CurVer");
        e.insert(prog + "\\CurVer|@=" + prog + ".1");
        e.insert(key);
        e.insert(key + "|@=" + desc);
        e.insert(key + "|AppID=" + appId);
        e.insert(key + "\\ProgID");
        e.insert(key + "\\ProgID|@=" + prog + ".1");
        e.insert(key + "\\VersionIndependentProgID");
        e.insert(key + "\\VersionIndependentProgID|@=" + prog);
        e.insert(key + "\\Programmable");
        e.insert(key + "\\InprocServer32");
        e.insert(key + "\\InprocServer32|@=" + module);
        e.insert(key + "\\InprocServer32|ThreadingModel=Free");
        e.insert(key + "\\TypeLib");
        e.insert(key + "\\TypeLib|@=" + libId);
        if (c.name == "KWeatherCityCtrl") {
            e.insert(key + "\\Control");
            e.insert(key + "\\MiscStatus");
            e.insert(key + "\\MiscStatus|@=0");
            e.insert(key + "\\MiscStatus\\1");
            e.insert(key + "\\MiscStatus\\1|@=131473");
            e.insert(key + "\\Version");
            e.insert(key + "\\Version|@=1.0");
        }
    }
    const std::string lib = "TypeLib\\" + libId;
    const std::string folder = module.substr(0, module.rfind('/') + 1);
    for (const std::string& line :
         {std::string("TypeLib"), lib, lib + "\\1.0", lib + "\\1.0|@=KWeather 1.0 Type Library", lib + "\\1.0\\0",
          lib + "\\1.0\\0\\win32", lib + "\\1.0\\0\\win32|@=" + module, lib + "\\1.0\\FLAGS",
          lib + "\\1.0\\FLAGS|@=0", lib + "\\1.0\\HELPDIR", lib + "\\1.0\\HELPDIR|@=" + folder})
        e.insert(line);
    struct Itf {
        std::string name, iid;
    };
    const Itf interfaces[] = {
        {"IKWeatherService", "{8572774D-6C86-4624-98E4-1B2722791CE8}"},
        {"IKWeatherService2", "{67907B04-3F64-42CF-8CA6-672BE523349E}"},
        {"IKWeatherService3", "{28E10E6D-5DCE-4415-8200-4BE5AA3470ED}"},
        {"IKWeatherService4", "{0056432D-ABC7-4D95-AA0F-96DB27518EB1}"},
        {"IKWeatherResponse", "{CA7AD732-D4D5-46DE-9251-C02F6DF4E0DC}"},
        {"IKWeatherInfo", "{6736C86C-B3C6-4023-A2AD-44E95CE0C8B4}"},
        {"IKWeatherInfo2", "{336EAB8D-743D-48FB-B64F-AE3FFCDCF416}"},
        {"IKWeatherInfo3", "{BA8759EC-0EAC-4FE4-BB66-EDF623BE345B}"},
        {"IKWeatherInfo4", "{4D758668-B808-40B9-AE27-2D96E7852632}"},
        {"IKWeatherInfo5", "{12A9AD57-D965-44A8-B9CA-739B77D28A4D}"},
        {"IKWeatherInfo6", "{F5C1A4CE-5538-43E2-9167-99114D3EA822}"},
        {"IKWeatherInfo7", "{89283A0E-A4E7-4B65-95B8-1611301676EB}"},
        {"IKWeatherInfo8", "{EAE20863-B6F0-4110-B144-A68062D6964D}"},
        {"IKWeatherCity", "{A26050A5-1C5E-4B69-95DA-E23CAFC1FAA5}"},
        {"IKWeatherCityCtrl", "{159F2BB1-2CA5-441E-B28E-666453D85174}"},
        {"_IKWeatherCityCtrlEvents", "{4635B403-8FA3-45C7-B7A8-1AA524E96588}"},
    };
    e.insert("Interface");
    for (const Itf& i : interfaces) {
        const std::string key = "Interface\\" + i.iid;
        const std::string stub = i.name[0] == '_' ? "{00020420-0000-0000-C000-000000000046}"
                                                  : "{00020424-0000-0000-C000-000000000046}";
        for (const std::string& line :
             {key, key + "|@=" + i.name, key + "\\ProxyStubClsid", key + "\\ProxyStubClsid|@=" + stub,
              key + "\\ProxyStubClsid32", key + "\\ProxyStubClsid32|@=" + stub, key + "\\TypeLib",
              key + "\\TypeLib|@=" + libId, key + "\\TypeLib|Version=1.0"})
            e.insert(line);
    }
    return e;
}

// The vtable slot of a virtual member (Itanium C++ ABI on x86-64: the
// member pointer holds 1 + the byte offset of the slot).
template <class Pmf>
long Slot(Pmf pmf) {
    struct Rep {
        uintptr_t ptr;
        ptrdiff_t adj;
    };
    static_assert(sizeof(Pmf) == sizeof(Rep));
    Rep rep;
    std::memcpy(&rep, &pmf, sizeof rep);
    if (!(rep.ptr & 1)) return -1;  // not virtual
    return long((rep.ptr - 1) / sizeof(void*));
}

// Late-bound call with the arguments in their natural order.
HRESULT Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<Variant> args, VARIANT* result,
               EXCEPINFO* excep = nullptr) {
    std::vector<VARIANTARG> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), put ? &named : nullptr, UINT(reversed.size()), put ? 1u : 0u};
    UINT argErr = 0;
    return d->Invoke(id, IID_NULL, 0, flags, &params, result, excep, &argErr);
}

DISPID IdOf(IDispatch* d, const char16_t* name) {
    DISPID id = -12345;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    return SUCCEEDED(hr) ? id : -1;
}

Variant Text(const char16_t* s) {
    Variant v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

Variant Long(LONG n) {
    Variant v;
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ComSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        before_ = DumpClassesRoot();
        ASSERT_EQ(RunExport("DllRegisterServer"), S_OK);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    template <class I>
    ComPtr<I> Create(const char16_t* progId) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << Utf8(progId);
        ComPtr<I> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK)
            << Utf8(progId);
        return object;
    }

    skyvane::test::ScopedDeviceRoot root_;
    std::set<std::string> before_;
};

// ---------------------------------------------------------------------------
// Registration

TEST_F(ComSurfaceTest, RegistrationWritesExactlyTheKeysOfTheScriptsAndTheTypeLibrary) {
    std::set<std::string> written = Minus(DumpClassesRoot(), before_);
    std::set<std::string> expected = ExpectedRegistration(LibraryPath());
    EXPECT_EQ(Join(Minus(expected, written)), "") << "missing";
    EXPECT_EQ(Join(Minus(written, expected)), "") << "unexpected";
}

TEST_F(ComSurfaceTest, RegisteringAgainRewritesTheClassKeysFromScratch) {
    std::set<std::string> first = DumpClassesRoot();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{F9FCC6F4-43CE-4431-8234-ED648982713C}\\Stale", 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RunExport("DllRegisterServer"), S_OK);
    EXPECT_EQ(Join(DumpClassesRoot()), Join(first));
}

TEST_F(ComSurfaceTest, UnregistrationRemovesWhatRegistrationWroteAndKeepsTheSharedRoots) {
    // A key of another server under a shared root must survive.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{00000000-1111-2222-3333-444444444444}", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RunExport("DllUnregisterServer"), S_OK);
    std::set<std::string> left = Minus(DumpClassesRoot(), before_);
    EXPECT_EQ(Join(left), "AppID\nCLSID\nCLSID\\{00000000-1111-2222-3333-444444444444}\nInterface\nTypeLib\n");

    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"KWeather.KWeatherService", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(RunExport("DllUnregisterServer"), S_OK) << "unregistering twice is harmless";
}

TEST_F(ComSurfaceTest, DllRegisterSkyvaneIsTheSameEntryAndWritesTheSameKeys) {
    std::set<std::string> viaServer = DumpClassesRoot();
    void* h = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(dlsym(h, "DllRegisterSkyvane"), dlsym(h, "DllRegisterServer"));
    dlclose(h);

    skyvane::test::ScopedDeviceRoot other;
    std::set<std::string> empty = DumpClassesRoot();
    ASSERT_EQ(RunExport("DllRegisterSkyvane"), S_OK);
    EXPECT_EQ(Join(Minus(DumpClassesRoot(), empty)), Join(Minus(viaServer, before_)));
}

TEST_F(ComSurfaceTest, OnlyTheFiveEntryPointsAreExported) {
    void* h = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    for (const char* name :
         {"DllRegisterServer", "DllRegisterSkyvane", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_NE(dlsym(h, name), nullptr) << name;
    // The library's own classes stay inside it.
    EXPECT_EQ(dlsym(h, "_ZN8kweather16ReadServiceHostsEv"), nullptr);
    dlclose(h);
}

// ---------------------------------------------------------------------------
// Creation, identity and the class factory

TEST_F(ComSurfaceTest, EveryClassIsCreatableByBothProgIds) {
    const std::pair<const char16_t*, const CLSID*> classes[] = {
        {u"KWeather.KWeatherService", &CLSID_KWeatherService}, {u"KWeather.KWeatherResponse", &CLSID_KWeatherResponse},
        {u"KWeather.KWeatherInfo", &CLSID_KWeatherInfo},       {u"KWeather.KWeatherCity", &CLSID_KWeatherCity},
        {u"KWeather.KWeatherCityCtrl", &CLSID_KWeatherCityCtrl},
    };
    for (const auto& [progId, clsid] : classes) {
        for (const std::u16string& name : {std::u16string(progId), std::u16string(progId) + u".1"}) {
            CLSID found{};
            ASSERT_EQ(CLSIDFromProgID(name.c_str(), &found), S_OK) << Utf8(name);
            EXPECT_TRUE(IsEqualCLSID(found, *clsid)) << Utf8(name);
            ComPtr<IDispatch> object;
            EXPECT_EQ(CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK)
                << Utf8(name);
            ComPtr<ISupportErrorInfo> errors;
            ASSERT_EQ(object.As(errors), S_OK);
        }
    }
}

TEST_F(ComSurfaceTest, EveryNumberedLevelIsTheSamePointer) {
    auto service = Create<IUnknown>(u"KWeather.KWeatherService");
    ASSERT_TRUE(service);
    void* first = nullptr;
    for (const IID* iid :
         {&IID_IKWeatherService4, &IID_IKWeatherService3, &IID_IKWeatherService2, &IID_IKWeatherService, &IID_IDispatch}) {
        void* p = nullptr;
        ASSERT_EQ(service->QueryInterface(*iid, &p), S_OK);
        if (!first) first = p;
        EXPECT_EQ(p, first);
        static_cast<IUnknown*>(p)->Release();
    }
    ComPtr<ISupportErrorInfo> errors;
    ASSERT_EQ(service.As(errors), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IKWeatherService), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IKWeatherService4), S_OK);

    auto record = Create<IUnknown>(u"KWeather.KWeatherInfo");
    first = nullptr;
    for (const IID* iid : {&IID_IKWeatherInfo8, &IID_IKWeatherInfo7, &IID_IKWeatherInfo6, &IID_IKWeatherInfo5,
                           &IID_IKWeatherInfo4, &IID_IKWeatherInfo3, &IID_IKWeatherInfo2, &IID_IKWeatherInfo}) {
        void* p = nullptr;
        ASSERT_EQ(record->QueryInterface(*iid, &p), S_OK);
        if (!first) first = p;
        EXPECT_EQ(p, first);
        static_cast<IUnknown*>(p)->Release();
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(service->QueryInterface(IID_IKWeatherInfo, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(ComSurfaceTest, RecordsAnswerAlikeThroughEveryLevel) {
    auto service = Create<IKWeatherService>(u"KWeather.KWeatherService");
    ASSERT_TRUE(service);
    Bstr xml(skyvane::FromUtf8(ReadFile(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/weather_moscow.xml")));
    ComPtr<IUnknown> document, unknown;
    ASSERT_EQ(service->get_WeatherAsDocument(xml, &document), S_OK);
    ASSERT_EQ(service->get_WeatherAsArray(document.Get(), &unknown), S_OK);
    ComPtr<IEnumUnknown> records;
    ASSERT_EQ(unknown.As(records), S_OK);
    int count = 0;
    for (ComPtr<IUnknown> item; records->Next(1, &item, nullptr) == S_OK; ++count) {
        ComPtr<IKWeatherInfo3> low;
        ComPtr<IKWeatherInfo8> high;
        ComPtr<IDispatch> late;
        ASSERT_EQ(item.As(low), S_OK);
        ASSERT_EQ(item.As(high), S_OK);
        ASSERT_EQ(item.As(late), S_OK);
        KWeatherType t3 = KWUnknown, t8 = KWUnknown;
        ASSERT_EQ(low->get_Type(&t3), S_OK);
        ASSERT_EQ(high->get_Type(&t8), S_OK);
        EXPECT_EQ(t3, t8);
        Variant viaName;
        ASSERT_EQ(Invoke(late.Get(), IdOf(late.Get(), u"Type"), DISPATCH_PROPERTYGET, {}, &viaName), S_OK);
        EXPECT_EQ(viaName.vt, VT_I4);
        EXPECT_EQ(viaName.lVal, LONG(t8));
        Bstr d3, d8;
        ASSERT_EQ(low->get_DebugInfo(d3.Out()), S_OK);
        ASSERT_EQ(high->get_DebugInfo(d8.Out()), S_OK);
        EXPECT_EQ(d3.Str(), d8.Str());
        INT icon3 = 0, icon8 = 0;
        EXPECT_EQ(low->get_Icon2(&icon3), S_OK);
        EXPECT_EQ(high->get_Icon2(&icon8), S_OK);
        EXPECT_EQ(icon3, icon8);
    }
    EXPECT_GT(count, 10);
}

TEST_F(ComSurfaceTest, ClassFactoryAndUnloading) {
    auto canUnload = [] {
        auto fn = LoadedExport<HRESULT (*)()>("DllCanUnloadNow");
        return fn ? fn() : E_FAIL;
    };
    auto getClassObject = [] { return LoadedExport<LPFNGETCLASSOBJECT>("DllGetClassObject"); };
    {
        auto service = Create<IKWeatherService>(u"KWeather.KWeatherService");
        ASSERT_TRUE(service);
        EXPECT_EQ(canUnload(), S_FALSE);
        auto get = getClassObject();
        ASSERT_NE(get, nullptr);
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(get(CLSID_DOMDocument, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(p, nullptr);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(get(CLSID_KWeatherCity, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->LockServer(TRUE), S_OK);
        service.Reset();
        factory.Reset();
        EXPECT_EQ(canUnload(), S_FALSE) << "a server lock keeps the library";
        ASSERT_EQ(get(CLSID_KWeatherCity, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    }
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComSurfaceTest, ServiceResponseAndRecordAggregateTheCitiesDoNot) {
    using skyvane::test::OuterObject;
    for (const CLSID* clsid : {&CLSID_KWeatherService, &CLSID_KWeatherResponse, &CLSID_KWeatherInfo,
                               &CLSID_KWeatherCity, &CLSID_KWeatherCityCtrl}) {
        const bool aggregatable = clsid != &CLSID_KWeatherCity && clsid != &CLSID_KWeatherCityCtrl;
        OuterObject* outer = OuterObject::New();
        HRESULT hr = outer->Aggregate([&](IUnknown* o, void** inner) {
            return CoCreateInstance(*clsid, o, CLSCTX_INPROC_SERVER, IID_IUnknown, inner);
        });
        EXPECT_EQ(hr, aggregatable ? S_OK : CLASS_E_NOAGGREGATION) << Utf8(skyvane::GuidToString(*clsid));
        if (SUCCEEDED(hr)) {
            // The inner object's IUnknown is the outer one.
            ComPtr<IDispatch> inner;
            ASSERT_EQ(outer->QueryInterface(IID_PPV_ARGS(&inner)), S_OK);
            ComPtr<IUnknown> identity;
            ASSERT_EQ(inner->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
            EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(outer));
        }
        outer->Release();
    }
    EXPECT_EQ(OuterObject::live, 0);
}

// ---------------------------------------------------------------------------
// Slot order

TEST(ComSurfaceLayout, ServiceInterfacesFollowTheTypeLibrary) {
    using S = IKWeatherService4;
    // The seven IUnknown and IDispatch slots come first.
    EXPECT_EQ(Slot(&S::get_FindCityCode), 7);
    const long expected[] = {
        Slot(&S::get_FindCityCode),   Slot(&S::get_Weather),        Slot(&S::get_RequestDayCount),
        Slot(&S::put_RequestDayCount), Slot(&S::get_RequestCityCode), Slot(&S::put_RequestCityCode),
        Slot(&S::get_RequestUnitType), Slot(&S::put_RequestUnitType), Slot(&S::get_WeatherAsXML),
        Slot(&S::get_WeatherAsArray), Slot(&S::BeginCityByCountry),  Slot(&S::get_City),
        Slot(&S::BeginCountry),       Slot(&S::get_Country),         Slot(&S::get_CountryIsLetter),
        Slot(&S::CityNext),           Slot(&S::CountryNext),         Slot(&S::get_DatabasePath),
        Slot(&S::put_DatabasePath),   Slot(&S::get_CityCode),        Slot(&S::get_WeatherAsDocument),
        Slot(&S::get_CityIndex),      Slot(&S::put_CityIndex),       Slot(&S::get_CountryIndex),
        Slot(&S::put_CountryIndex),   Slot(&S::DoFindCityDialog),    Slot(&S::DoFindCountryDlg),
        Slot(&S::get_CountryCount),   Slot(&S::get_ClassPtr),        Slot(&S::get_HBHWeatherAsXML),
        Slot(&S::get_LastRequestInfo),
    };
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(expected[i], long(7 + i)) << "member " << i;
    // IKWeatherService2 adds nothing: the first member of level 3 follows the
    // last member of level 1 directly.
    EXPECT_EQ(Slot(&IKWeatherService3::get_HBHWeatherAsXML), Slot(&IKWeatherService::get_ClassPtr) + 1);
}

TEST(ComSurfaceLayout, CityAndControlInterfacesFollowTheTypeLibrary) {
    EXPECT_EQ(Slot(&IKWeatherCity::get_Name), 7);
    EXPECT_EQ(Slot(&IKWeatherCity::put_Name), 8);
    EXPECT_EQ(Slot(&IKWeatherCity::get_Code), 9);
    EXPECT_EQ(Slot(&IKWeatherCity::put_Code), 10);
    using C = IKWeatherCityCtrl;
    const long expected[] = {Slot(&C::get_WeatherService), Slot(&C::put_WeatherService), Slot(&C::get_IsCountry),
                             Slot(&C::put_IsCountry),      Slot(&C::get_IsStop),         Slot(&C::put_IsStop),
                             Slot(&C::get_SelectedCode),   Slot(&C::put_SelectedCode),   Slot(&C::get_SelectedCity),
                             Slot(&C::put_SelectedCity),   Slot(&C::Load),               Slot(&C::Select)};
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(expected[i], long(7 + i)) << "member " << i;
}

// ---------------------------------------------------------------------------
// Late binding

TEST_F(ComSurfaceTest, EveryServiceMemberIsKnownByNameWithItsDispid) {
    auto service = Create<IDispatch>(u"KWeather.KWeatherService");
    ASSERT_TRUE(service);
    const std::pair<const char16_t*, DISPID> members[] = {
        {u"FindCityCode", 1},     {u"Weather", 2},           {u"RequestDayCount", 3},   {u"RequestCityCode", 4},
        {u"RequestUnitType", 5},  {u"WeatherAsXML", 6},      {u"WeatherAsArray", 7},    {u"BeginCityByCountry", 8},
        {u"City", 9},             {u"BeginCountry", 10},     {u"Country", 11},          {u"CountryIsLetter", 12},
        {u"CityNext", 13},        {u"CountryNext", 14},      {u"DatabasePath", 15},     {u"CityCode", 16},
        {u"WeatherAsDocument", 17}, {u"CityIndex", 18},      {u"CountryIndex", 19},     {u"DoFindCityDialog", 20},
        {u"DoFindCountryDlg", 21}, {u"CountryCount", 22},    {u"ClassPtr", 23},         {u"HBHWeatherAsXML", 33},
        {u"LastRequestInfo", 34},
    };
    for (const auto& [name, id] : members) EXPECT_EQ(IdOf(service.Get(), name), id) << Utf8(name);
    EXPECT_EQ(IdOf(service.Get(), u"requestdaycount"), 3) << "names compare case-insensitively";
    EXPECT_EQ(IdOf(service.Get(), u"NoSuchMember"), -1);

    auto city = Create<IDispatch>(u"KWeather.KWeatherCity");
    EXPECT_EQ(IdOf(city.Get(), u"Name"), 1);
    EXPECT_EQ(IdOf(city.Get(), u"Code"), 2);
    auto ctrl = Create<IDispatch>(u"KWeather.KWeatherCityCtrl");
    const std::pair<const char16_t*, DISPID> ctrlMembers[] = {{u"WeatherService", 1}, {u"IsCountry", 2},
                                                              {u"IsStop", 3},         {u"SelectedCode", 4},
                                                              {u"SelectedCity", 5},   {u"Load", 6},
                                                              {u"Select", 7}};
    for (const auto& [name, id] : ctrlMembers) EXPECT_EQ(IdOf(ctrl.Get(), name), id) << Utf8(name);
}

TEST_F(ComSurfaceTest, LateBoundServiceCalls) {
    auto service = Create<IDispatch>(u"KWeather.KWeatherService");
    ASSERT_TRUE(service);
    IDispatch* d = service.Get();

    Variant value;
    ASSERT_EQ(Invoke(d, 3, DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 7);
    ASSERT_EQ(Invoke(d, 3, DISPATCH_PROPERTYPUT, {Long(10)}, nullptr), S_OK);
    EXCEPINFO excep{};
    EXPECT_EQ(Invoke(d, 3, DISPATCH_PROPERTYPUT, {Long(11)}, nullptr, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    value = Variant();
    ASSERT_EQ(Invoke(d, 3, DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_EQ(value.lVal, 10) << "a refused put keeps the old value";

    // A text property, with a number converted to text on the way in.
    ASSERT_EQ(Invoke(d, IdOf(d, u"RequestCityCode"), DISPATCH_PROPERTYPUT, {Long(12345)}, nullptr), S_OK);
    value = Variant();
    ASSERT_EQ(Invoke(d, 4, DISPATCH_PROPERTYGET, {}, &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(skyvane::BstrView(value.bstrVal), u"12345");

    // A document in, records out.
    Bstr xml(skyvane::FromUtf8(ReadFile(std::string(SKYVANE_SOURCE_DIR) + "/tests/data/weather_moscow.xml")));
    Variant xmlArg;
    xmlArg.vt = VT_BSTR;
    xmlArg.bstrVal = xml.Copy();
    Variant document;
    ASSERT_EQ(Invoke(d, 17, DISPATCH_PROPERTYGET, {xmlArg}, &document), S_OK);
    ASSERT_EQ(document.vt, VT_UNKNOWN);
    Variant records;
    ASSERT_EQ(Invoke(d, 7, DISPATCH_PROPERTYGET, {document}, &records), S_OK);
    ASSERT_EQ(records.vt, VT_UNKNOWN);
    ComPtr<IEnumUnknown> list;
    ASSERT_EQ(records.punkVal->QueryInterface(IID_PPV_ARGS(&list)), S_OK);
    ComPtr<IUnknown> first;
    EXPECT_EQ(list->Next(1, &first, nullptr), S_OK);

    // Members of levels 3 and 4 through the same IDispatch.
    value = Variant();
    ASSERT_EQ(Invoke(d, 34, DISPATCH_PROPERTYGET, {}, &value), S_OK);
    EXPECT_EQ(skyvane::BstrView(value.bstrVal), u"none");
    value = Variant();
    EXPECT_EQ(Invoke(d, 33, DISPATCH_PROPERTYGET, {Long(24), Text(u"")}, &value), S_FALSE);
    EXPECT_TRUE(value.vt == VT_EMPTY || (value.vt == VT_BSTR && value.bstrVal == nullptr));

    // A method that fails reports through the exception information.
    excep = EXCEPINFO{};
    EXPECT_EQ(Invoke(d, 21, DISPATCH_METHOD, {}, nullptr, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_NOTIMPL);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    EXPECT_EQ(Invoke(d, 99, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST_F(ComSurfaceTest, LateBoundCityAndControl) {
    auto city = Create<IDispatch>(u"KWeather.KWeatherCity");
    ASSERT_TRUE(city);
    ASSERT_EQ(Invoke(city.Get(), 1, DISPATCH_PROPERTYPUT, {Text(u"Moscow, Russia")}, nullptr), S_OK);
    ASSERT_EQ(Invoke(city.Get(), 2, DISPATCH_PROPERTYPUT, {Text(u"RSXX0091")}, nullptr), S_OK);
    ComPtr<IKWeatherCity> early;
    ASSERT_EQ(city.As(early), S_OK);
    Bstr name, code;
    ASSERT_EQ(early->get_Name(name.Out()), S_OK);
    ASSERT_EQ(early->get_Code(code.Out()), S_OK);
    EXPECT_EQ(name.Str(), u"Moscow, Russia");
    EXPECT_EQ(code.Str(), u"RSXX0091");

    auto service = Create<IUnknown>(u"KWeather.KWeatherService");
    auto ctrl = Create<IDispatch>(u"KWeather.KWeatherCityCtrl");
    Variant serviceArg;
    serviceArg.vt = VT_UNKNOWN;
    serviceArg.punkVal = service.Get();
    service->AddRef();
    ASSERT_EQ(Invoke(ctrl.Get(), 1, DISPATCH_PROPERTYPUT, {serviceArg}, nullptr), S_OK);
    Variant got;
    ASSERT_EQ(Invoke(ctrl.Get(), 1, DISPATCH_PROPERTYGET, {}, &got), S_OK);
    ASSERT_EQ(got.vt, VT_UNKNOWN);
    EXPECT_TRUE(skyvane::IsSameObject(got.punkVal, service.Get()));
    EXCEPINFO excep{};
    EXPECT_EQ(Invoke(ctrl.Get(), 6, DISPATCH_METHOD, {}, nullptr, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_NOTIMPL);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
}

// ---------------------------------------------------------------------------
// The chooser control's stored properties

TEST_F(ComSurfaceTest, ChooserPropertiesAreStored) {
    auto a = Create<IKWeatherCityCtrl>(u"KWeather.KWeatherCityCtrl");
    auto b = Create<IKWeatherCityCtrl>(u"KWeather.KWeatherCityCtrl");
    ASSERT_TRUE(a && b);

    // IsStop is one flag for the whole process.
    ASSERT_EQ(a->put_IsStop(1), S_OK);
    LONG stop = 0;
    ASSERT_EQ(b->get_IsStop(&stop), S_OK);
    EXPECT_EQ(stop, 1);
    ASSERT_EQ(b->put_IsStop(0), S_OK);
    ASSERT_EQ(a->get_IsStop(&stop), S_OK);
    EXPECT_EQ(stop, 0);

    // In city mode SelectedCity put names the country and leaves the choice.
    ASSERT_EQ(a->put_IsCountry(0), S_OK);
    ASSERT_EQ(a->put_SelectedCity(Bstr(u"Russia")), S_OK);
    BSTR text = reinterpret_cast<BSTR>(uintptr_t(0xdeadbeef));
    ASSERT_EQ(a->get_SelectedCity(&text), S_OK);
    EXPECT_EQ(text, nullptr);
    // In country mode it is the choice.
    ASSERT_EQ(a->put_IsCountry(1), S_OK);
    ASSERT_EQ(a->put_SelectedCity(Bstr(u"Austria")), S_OK);
    Bstr city;
    ASSERT_EQ(a->get_SelectedCity(city.Out()), S_OK);
    EXPECT_EQ(city.Str(), u"Austria");
    ASSERT_EQ(a->put_SelectedCode(Bstr(u"AUXX0025")), S_OK);
    Bstr code;
    ASSERT_EQ(a->get_SelectedCode(code.Out()), S_OK);
    EXPECT_EQ(code.Str(), u"AUXX0025");

    // The service is kept by its IKWeatherService; other objects are refused.
    auto service = Create<IKWeatherService4>(u"KWeather.KWeatherService");
    ASSERT_EQ(a->put_WeatherService(service.Get()), S_OK);
    ComPtr<IUnknown> kept;
    ASSERT_EQ(a->get_WeatherService(&kept), S_OK);
    EXPECT_TRUE(skyvane::IsSameObject(kept.Get(), service.Get()));
    auto record = Create<IUnknown>(u"KWeather.KWeatherInfo");
    EXPECT_EQ(a->put_WeatherService(record.Get()), E_NOINTERFACE);
    ASSERT_EQ(a->get_WeatherService(&kept), S_OK);
    EXPECT_TRUE(skyvane::IsSameObject(kept.Get(), service.Get())) << "a refused put keeps the service";

    EXPECT_EQ(a->Load(), E_NOTIMPL);
    EXPECT_EQ(a->Select(), E_NOTIMPL);
}

}  // namespace
