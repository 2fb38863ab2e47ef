// Registration of the library as an in-process COM server: its application
// identifier, its five classes with their ProgIDs (the city chooser as a
// control), and the keys of its type library and interfaces.
#pragma once

#include <string_view>

#include "platform/com/server_registration.h"

namespace skyvane::weather {

const skyvane::ServerDescription& WeatherServer();

// Registers everything for the library file at modulePath (%MODULE%).
// S_OK, or the registrar's failure (the keys written so far stay).
HRESULT RegisterServer(std::u16string_view modulePath);
// Removes what RegisterServer wrote, type library first; the shared roots
// ("AppID", "CLSID", "Interface", "TypeLib") are never removed.
HRESULT UnregisterServer(std::u16string_view modulePath);

}  // namespace skyvane::weather
