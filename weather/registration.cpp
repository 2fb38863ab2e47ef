#include "weather/registration.h"

#include <initializer_list>
#include <new>
#include <string_view>
#include <utility>

#include "platform/com/guid.h"
#include "platform/base/log.h"
#include "platform/com/registrar.h"
#include "platform/kernel/nls/text_conv.h"
#include "weather/com_helpers.h"
#include "weather/service_interfaces.h"

namespace skyvane::weather {
namespace {

// The class scripts differ only in the class; the control adds its keys.
struct ClassRegistration {
    UINT resourceId;
    const char* className;  // KWeatherService
    const char* clsid;      // braced
    bool control;
};

constexpr ClassRegistration kClasses[] = {
    {103, "KWeatherService", "{F9FCC6F4-43CE-4431-8234-ED648982713C}", false},
    {105, "KWeatherResponse", "{C1C7D854-9AC9-4FFC-B1E3-3FDF13508B57}", false},
    {107, "KWeatherInfo", "{C0A37C90-4E2B-40D3-92B6-B8E2ADDB1EDD}", false},
    {109, "KWeatherCity", "{76608526-5E1E-494A-9F91-E17E30733EEC}", false},
    {111, "KWeatherCityCtrl", "{5F047B8C-2924-40FE-B1BA-217453B1CF91}", true},
};

constexpr char kLibId[] = "{46ADF213-1563-4B65-B0CD-AC61F85DFA8D}";
constexpr char kOleMisc[] = "131473";  // the control's OLEMISC status bits

constexpr char kModuleScript[] = R"(HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'KWeather'
        'KWeather.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

// The script of one class; {CLASS}, {CLSID}, {LIBID} and {CONTROL} are
// filled in here, the %...% replacements by the registrar.
constexpr char kClassScript[] = R"(HKCR
{
    'KWeather.{CLASS}.1' = s '{CLASS} Class'
    {
        CLSID = s '{CLSID}'
    }
    'KWeather.{CLASS}' = s '{CLASS} Class'
    {
        CLSID = s '{CLSID}'
        CurVer = s 'KWeather.{CLASS}.1'
    }
    NoRemove CLSID
    {
        ForceRemove '{CLSID}' = s '{CLASS} Class'
        {
            ProgID = s 'KWeather.{CLASS}.1'
            VersionIndependentProgID = s 'KWeather.{CLASS}'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Free'
            }
            val AppID = s '%APPID%'
            'TypeLib' = s '{LIBID}'
{CONTROL}        }
    }
}
)";

// The keys only the control has.
constexpr char kControlKeys[] = R"(            ForceRemove 'Control'
            'MiscStatus' = s '0'
            {
                '1' = s '%OLEMISC%'
            }
            'Version' = s '1.0'
)";

// The type library's entry; the interfaces follow in {INTERFACES}.
constexpr char kTypeLibraryScript[] = R"(HKCR
{
    NoRemove TypeLib
    {
        '{LIBID}'
        {
            ForceRemove '1.0' = s 'KWeather 1.0 Type Library'
            {
                '0'
                {
                    win32 = s '%MODULE%'
                }
                FLAGS = s '0'
                HELPDIR = s '%MODULEDIR%'
            }
        }
    }
    NoRemove Interface
    {
{INTERFACES}    }
}
)";

constexpr char kInterfaceKeys[] = R"(        ForceRemove '{IID}' = s '{NAME}'
        {
            ProxyStubClsid = s '{MARSHALLER}'
            ProxyStubClsid32 = s '{MARSHALLER}'
            TypeLib = s '{LIBID}'
            {
                val Version = s '1.0'
            }
        }
)";

// The text with every {NAME} of the list replaced.
std::string Fill(std::string_view text, std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::string out;
    while (!text.empty()) {
        size_t open = text.find('{');
        size_t close = open == std::string_view::npos ? open : text.find('}', open);
        const std::pair<std::string_view, std::string_view>* hit = nullptr;
        if (close != std::string_view::npos)
            for (const auto& v : values)
                if (text.substr(open + 1, close - open - 1) == v.first) hit = &v;
        if (!hit) {
            // Not a placeholder (a braced identifier, say): kept as it is.
            size_t keep = open == std::string_view::npos ? text.size() : open + 1;
            out += text.substr(0, keep);
            text.remove_prefix(keep);
            continue;
        }
        out += text.substr(0, open);
        out += hit->second;
        text.remove_prefix(close + 1);
    }
    return out;
}

std::string ClassScript(const ClassRegistration& c) {
    return Fill(kClassScript, {{"CLASS", c.className},
                               {"CLSID", c.clsid},
                               {"LIBID", kLibId},
                               {"CONTROL", c.control ? kControlKeys : ""}});
}

// The interfaces the type library describes, each registered under
// HKCR\Interface with the marshaller of its kind: dual interfaces use the
// automation marshaller, the event dispinterface the dispatch one.
struct InterfaceRegistration {
    const char* name;
    const IID* iid;
    bool dispinterface;
};

const InterfaceRegistration kInterfaces[] = {
    {"IKWeatherService", &IID_IKWeatherService, false},
    {"IKWeatherService2", &IID_IKWeatherService2, false},
    {"IKWeatherService3", &IID_IKWeatherService3, false},
    {"IKWeatherService4", &IID_IKWeatherService4, false},
    {"IKWeatherResponse", &IID_IKWeatherResponse, false},
    {"IKWeatherInfo", &IID_IKWeatherInfo, false},
    {"IKWeatherInfo2", &IID_IKWeatherInfo2, false},
    {"IKWeatherInfo3", &IID_IKWeatherInfo3, false},
    {"IKWeatherInfo4", &IID_IKWeatherInfo4, false},
    {"IKWeatherInfo5", &IID_IKWeatherInfo5, false},
    {"IKWeatherInfo6", &IID_IKWeatherInfo6, false},
    {"IKWeatherInfo7", &IID_IKWeatherInfo7, false},
    {"IKWeatherInfo8", &IID_IKWeatherInfo8, false},
    {"IKWeatherCity", &IID_IKWeatherCity, false},
    {"IKWeatherCityCtrl", &IID_IKWeatherCityCtrl, false},
    {"_IKWeatherCityCtrlEvents", &DIID__IKWeatherCityCtrlEvents, true},
};

constexpr char kAutomationMarshaller[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchMarshaller[] = "{00020420-0000-0000-C000-000000000046}";

skyvane::Registrar MakeRegistrar(std::u16string_view modulePath) {
    skyvane::Registrar registrar;
    std::u16string module(modulePath);
    std::u16string folder = module.substr(0, module.find_last_of(u'/') + 1);
    registrar.AddReplacement(u"MODULE", module);
    registrar.AddReplacement(u"MODULEDIR", folder);
    registrar.AddReplacement(u"APPID", skyvane::GuidToString(APPID_KWeather));
    registrar.AddReplacement(u"OLEMISC", skyvane::FromUtf8(kOleMisc));
    return registrar;
}

// Inside a catch block: logs what was caught and gives its result.
HRESULT Caught(const char* what) noexcept {
    LogCaught(what);
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT Run(const skyvane::Registrar& registrar, const std::string& script, bool unregister, const char* what) {
    skyvane::RegistrarResult result = unregister ? registrar.Unregister(std::string_view(script))
                                                 : registrar.Register(std::string_view(script));
    if (!result.ok())
        SKYVANE_LOG("kweather", "%s of %s failed at line %d: %s", unregister ? "unregistration" : "registration",
                    what, result.line, result.message.c_str());
    return result.ToHresult();
}

}  // namespace

std::string RegistryScript(UINT resourceId) {
    if (resourceId == 101) return kModuleScript;
    for (const ClassRegistration& c : kClasses)
        if (c.resourceId == resourceId) return ClassScript(c);
    return {};
}

std::string TypeLibraryScript() {
    std::string interfaces;
    for (const InterfaceRegistration& i : kInterfaces) {
        interfaces += Fill(kInterfaceKeys, {{"IID", skyvane::ToUtf8(skyvane::GuidToString(*i.iid))},
                                            {"NAME", i.name},
                                            {"MARSHALLER", i.dispinterface ? kDispatchMarshaller : kAutomationMarshaller},
                                            {"LIBID", kLibId}});
    }
    return Fill(kTypeLibraryScript, {{"LIBID", kLibId}, {"INTERFACES", interfaces}});
}

HRESULT RegisterServer(std::u16string_view modulePath) {
    try {
        skyvane::Registrar registrar = MakeRegistrar(modulePath);
        for (UINT id : kRegistryScriptIds) {
            HRESULT hr = Run(registrar, RegistryScript(id), false, "a class");
            if (FAILED(hr)) return hr;
        }
        return Run(registrar, TypeLibraryScript(), false, "the type library");
    } catch (...) {
        return Caught("registration");
    }
}

HRESULT UnregisterServer(std::u16string_view modulePath) {
    try {
        skyvane::Registrar registrar = MakeRegistrar(modulePath);
        HRESULT result = Run(registrar, TypeLibraryScript(), true, "the type library");
        // Every script is run even when one fails, so that as much as
        // possible is removed; the first failure is returned.
        for (auto it = std::rbegin(kRegistryScriptIds); it != std::rend(kRegistryScriptIds); ++it) {
            HRESULT hr = Run(registrar, RegistryScript(*it), true, "a class");
            if (SUCCEEDED(result) && FAILED(hr)) result = hr;
        }
        return result;
    } catch (...) {
        return Caught("unregistration");
    }
}

}  // namespace skyvane::weather
