// Asking for an update from a process that must not block (the home item,
// the background update process): the update runs in a new process of the
// UI program ("Update all" or "Update <code>"), and the cities concerned
// show "getting weather now ..." until it is done.
#pragma once

#include <memory>
#include <string_view>

#include "plugin/connection_policy.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

// codeOrAll: "all" or one city code. S_OK when the program started; E_FAIL
// when it could not (logged, and the cities' status says so).
HRESULT RequestUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install,
                      std::u16string_view codeOrAll);

// "Update forecast now": in roaming the user is asked first (anything but
// Yes cancels); then an update of all cities is requested. Whether it was.
bool RequestManualUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install, Prompt& prompt);

}  // namespace skyvane::plugin
