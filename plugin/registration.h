// The plugin library's registration as an in-process COM server: its
// application identifier, the plugin class with its ProgIDs, and the keys of
// its type library and interfaces.
#pragma once

#include "platform/com/server_registration.h"

namespace skyvane::plugin {

const skyvane::ServerDescription& PluginServer();
// DllRegisterServer and DllUnregisterServer for the library file at modulePath.
HRESULT RegisterServer(std::u16string_view modulePath);
HRESULT UnregisterServer(std::u16string_view modulePath);

}  // namespace skyvane::plugin
