// Starting the UI program: every command ("Update all", "Update <code>",
// "Service", "/Details", "Install", "Uninstall") runs in a new process of
// the program named by the installation key's "SkyvaneWeatherUI" value.
#pragma once

#include <string_view>

#include "platform/kernel/files.h"
#include "plugin/install_keys.h"

namespace skyvane::plugin {

inline constexpr char16_t kCommandUpdateAll[] = u"Update all";
inline constexpr char16_t kCommandService[] = u"Service";
inline constexpr char16_t kCommandDetails[] = u"/Details";
inline constexpr char16_t kCommandInstall[] = u"Install";
inline constexpr char16_t kCommandUninstall[] = u"Uninstall";
// "Update %s" for one city.
std::u16string UpdateCityCommand(std::u16string_view code);

// Starts the program with the command line and does not wait for it.
// ERROR_SUCCESS, or the error of the start (the program missing, ...).
// With `process`, the started process's handle is handed back there, for a
// caller that waits for the program and reads its exit status.
DWORD StartUiProgram(const InstallKeys& install, std::u16string_view commandLine,
                     skyvane::UniqueHandle* process = nullptr);

}  // namespace skyvane::plugin
