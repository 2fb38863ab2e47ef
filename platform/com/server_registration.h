// The registration of an in-process COM server as a table: its application
// identifier, its classes with their ProgIDs, and the keys of its type
// library and interfaces, turned into registrar scripts. Every server of the
// system describes itself this way and registers through one code path.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/com/guid.h"

namespace skyvane {

struct ServerClass {
    const char* className;  // "KWeatherService": ProgID "<prefix>.<className>", description "<className> Class"
    const CLSID* clsid;
    bool control = false;   // an ActiveX control: Control, MiscStatus and Version keys
};

struct ServerInterface {
    const char* name;
    const IID* iid;
    bool dispinterface = false;  // marshalled by the dispatch marshaller, not the automation one
};

struct ServerDescription {
    const char* name;             // "KWeather": AppID text, "<name>.DLL", ProgID prefix
    const GUID* appId;
    const GUID* libId;
    const char* typeLibraryHelp;  // "KWeather 1.0 Type Library"
    std::span<const ServerClass> classes;
    std::span<const ServerInterface> interfaces;
    const char* controlMiscStatus = "0";  // OLEMISC bits of a control class
};

// The script of the application identifier ("AppID\{...}" and "<name>.DLL").
std::string AppIdScript(const ServerDescription& server);
// The script of one class: both ProgIDs and the CLSID key.
std::string ClassScript(const ServerDescription& server, const ServerClass& c);
// The script of the type library key and of every interface key.
std::string TypeLibraryScript(const ServerDescription& server);

// Runs every script for the library at modulePath (%MODULE%): S_OK or the
// registrar's failure (what was written so far stays, and the failure goes
// to the developer log).
HRESULT RegisterServerTable(const ServerDescription& server, std::u16string_view modulePath);
// Removes what RegisterServerTable wrote, type library first, running every
// script even after a failure; the shared roots (AppID, CLSID, Interface,
// TypeLib) are never removed. The first failure is returned.
HRESULT UnregisterServerTable(const ServerDescription& server, std::u16string_view modulePath);

}  // namespace skyvane
