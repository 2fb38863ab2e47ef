// Registration of the library as an in-process COM server: the registry
// scripts of its resources (101 for the module's AppID, 103 to 111 for the
// five classes) run through the COM registrar, and the keys of its type
// library (the library entry and one entry per interface).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/base/win_types.h"

namespace skyvane::weather {

// The resources that carry a registry script, in the order they are run.
inline constexpr UINT kRegistryScriptIds[] = {101, 103, 105, 107, 109, 111};

// The script of a resource; empty for a number that has none.
std::string RegistryScript(UINT resourceId);
// The script of the type library's keys.
std::string TypeLibraryScript();

// Registers everything for the library file at modulePath (%MODULE%).
// S_OK, or the registrar's failure (the keys written so far stay).
HRESULT RegisterServer(std::u16string_view modulePath);
// Removes what RegisterServer wrote, type library first; the shared roots
// ("AppID", "CLSID", "Interface", "TypeLib") are never removed.
HRESULT UnregisterServer(std::u16string_view modulePath);

}  // namespace skyvane::weather
