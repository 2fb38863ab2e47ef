// Asking for an update from a process that must not block (the home item,
// the background update process): the update runs in a new process of the
// UI program ("Update all" or "Update <code>"), and the cities concerned
// show "getting weather now ..." until it is done.
#pragma once

#include <memory>
#include <string_view>

#include "platform/kernel/files.h"
#include "plugin/connection_policy.h"
#include "plugin/install_keys.h"
#include "plugin/settings_key.h"
#include "plugin/update_run.h"

namespace skyvane::plugin {

// codeOrAll: "all" or one city code. S_OK when the program started; E_FAIL
// when it could not (logged, and the cities' status says so). With
// `process`, the program's process handle is handed back there.
HRESULT RequestUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install,
                      std::u16string_view codeOrAll, skyvane::UniqueHandle* process = nullptr);

enum class ManualUpdate { Requested, NotConfirmed, NotStarted };

// "Update forecast now", or an update the user asked for one city: in
// roaming the user is asked first (anything but Yes cancels), then the
// update is requested as above.
ManualUpdate RequestManualUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install, Prompt& prompt,
                                 std::u16string_view codeOrAll = kUpdateAllCode, skyvane::UniqueHandle* process = nullptr);

}  // namespace skyvane::plugin
