#include "platform/com/server_registration.h"

#include <exception>
#include <new>
#include <vector>

#include "platform/base/log.h"
#include "platform/com/registrar.h"
#include "platform/kernel/nls/text_conv.h"

namespace skyvane {
namespace {

constexpr char kAutomationMarshaller[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchMarshaller[] = "{00020420-0000-0000-C000-000000000046}";

std::string Braced(const GUID& guid) { return ToUtf8(GuidToString(guid)); }

Registrar MakeRegistrar(const ServerDescription& server, std::u16string_view modulePath) {
    Registrar registrar;
    std::u16string module(modulePath);
    registrar.AddReplacement(u"MODULE", module);
    registrar.AddReplacement(u"MODULEDIR", module.substr(0, module.find_last_of(u'/') + 1));
    registrar.AddReplacement(u"APPID", GuidToString(*server.appId));
    registrar.AddReplacement(u"OLEMISC", FromUtf8(server.controlMiscStatus));
    return registrar;
}

// Every script of the server in the order they are registered.
std::vector<std::pair<std::string, std::string>> Scripts(const ServerDescription& server) {
    std::vector<std::pair<std::string, std::string>> scripts;
    scripts.emplace_back("the application identifier", AppIdScript(server));
    for (const ServerClass& c : server.classes) scripts.emplace_back(std::string("class ") + c.className, ClassScript(server, c));
    scripts.emplace_back("the type library", TypeLibraryScript(server));
    return scripts;
}

HRESULT Run(const Registrar& registrar, const std::string& script, bool unregister, const ServerDescription& server,
            const std::string& what) {
    RegistrarResult result = unregister ? registrar.Unregister(std::string_view(script))
                                        : registrar.Register(std::string_view(script));
    if (!result.ok())
        SKYVANE_LOG("com", "%s: %s of %s failed at line %d: %s", server.name,
                    unregister ? "unregistration" : "registration", what.c_str(), result.line,
                    result.message.c_str());
    return result.ToHresult();
}

template <class Body>
HRESULT Guarded(const ServerDescription& server, const char* what, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SKYVANE_LOG("com", "%s: out of memory during %s", server.name, what);
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        SKYVANE_LOG("com", "%s: %s failed: %s", server.name, what, e.what());
        return E_FAIL;
    }
}

}  // namespace

std::string AppIdScript(const ServerDescription& server) {
    std::string name = server.name;
    return "HKCR\n{\n"
           "    NoRemove AppID\n    {\n"
           "        '%APPID%' = s '" + name + "'\n"
           "        '" + name + ".DLL'\n        {\n"
           "            val AppID = s '%APPID%'\n"
           "        }\n    }\n}\n";
}

std::string ClassScript(const ServerDescription& server, const ServerClass& c) {
    const std::string name = c.className;
    const std::string description = name + " Class";
    const std::string progId = std::string(server.name) + "." + name;
    const std::string clsid = Braced(*c.clsid);
    std::string s = "HKCR\n{\n";
    s += "    '" + progId + ".1' = s '" + description + "'\n    {\n";
    s += "        CLSID = s '" + clsid + "'\n    }\n";
    s += "    '" + progId + "' = s '" + description + "'\n    {\n";
    s += "        CLSID = s '" + clsid + "'\n";
    s += "        CurVer = s '" + progId + ".1'\n    }\n";
    s += "    NoRemove CLSID\n    {\n";
    s += "        ForceRemove '" + clsid + "' = s '" + description + "'\n        {\n";
    s += "            ProgID = s '" + progId + ".1'\n";
    s += "            VersionIndependentProgID = s '" + progId + "'\n";
    s += "            ForceRemove 'Programmable'\n";
    s += "            InprocServer32 = s '%MODULE%'\n            {\n";
    s += "                val ThreadingModel = s 'Free'\n            }\n";
    s += "            val AppID = s '%APPID%'\n";
    if (c.control) {
        s += "            ForceRemove 'Control'\n";
        s += "            'MiscStatus' = s '0'\n            {\n";
        s += "                '1' = s '%OLEMISC%'\n            }\n";
    }
    s += "            'TypeLib' = s '" + Braced(*server.libId) + "'\n";
    if (c.control) s += "            'Version' = s '1.0'\n";
    s += "        }\n    }\n}\n";
    return s;
}

std::string TypeLibraryScript(const ServerDescription& server) {
    const std::string libId = Braced(*server.libId);
    std::string s = "HKCR\n{\n";
    s += "    NoRemove TypeLib\n    {\n";
    s += "        '" + libId + "'\n        {\n";
    s += "            ForceRemove '1.0' = s '" + std::string(server.typeLibraryHelp) + "'\n            {\n";
    s += "                '0'\n                {\n";
    s += "                    win32 = s '%MODULE%'\n                }\n";
    s += "                FLAGS = s '0'\n";
    s += "                HELPDIR = s '%MODULEDIR%'\n";
    s += "            }\n        }\n    }\n";
    s += "    NoRemove Interface\n    {\n";
    for (const ServerInterface& i : server.interfaces) {
        const char* marshaller = i.dispinterface ? kDispatchMarshaller : kAutomationMarshaller;
        s += "        ForceRemove '" + Braced(*i.iid) + "' = s '" + i.name + "'\n        {\n";
        s += "            ProxyStubClsid = s '" + std::string(marshaller) + "'\n";
        s += "            ProxyStubClsid32 = s '" + std::string(marshaller) + "'\n";
        s += "            TypeLib = s '" + libId + "'\n            {\n";
        s += "                val Version = s '1.0'\n            }\n        }\n";
    }
    s += "    }\n}\n";
    return s;
}

HRESULT RegisterServerTable(const ServerDescription& server, std::u16string_view modulePath) {
    return Guarded(server, "registration", [&] {
        Registrar registrar = MakeRegistrar(server, modulePath);
        for (const auto& [what, script] : Scripts(server)) {
            HRESULT hr = Run(registrar, script, false, server, what);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    });
}

HRESULT UnregisterServerTable(const ServerDescription& server, std::u16string_view modulePath) {
    return Guarded(server, "unregistration", [&] {
        Registrar registrar = MakeRegistrar(server, modulePath);
        auto scripts = Scripts(server);
        HRESULT result = S_OK;
        for (auto it = scripts.rbegin(); it != scripts.rend(); ++it) {
            HRESULT hr = Run(registrar, it->second, true, server, it->first);
            if (SUCCEEDED(result) && FAILED(hr)) result = hr;
        }
        return result;
    });
}

}  // namespace skyvane
