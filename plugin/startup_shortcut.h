// The StartUp shortcut: "\SkyvaneWeatherUpdate.lnk" in the StartUp folder
// ("\Windows\StartUp"), which starts the background update process
// ("Service") at every start of the device. It is a shortcut in the
// platform's text form "%d#%s": the command, a double-quoted program path
// followed by " Service", after its length in characters and "#", in the
// ANSI code page, for example
//   54#"\Windows\SkyvaneWeather\SkyvaneWeatherUI.exe" Service
// It exists only while some network state has automatic updates.
#pragma once

#include <string>
#include <string_view>

#include "plugin/install_keys.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr char16_t kStartupShortcutName[] = u"SkyvaneWeatherUpdate.lnk";

// The shortcut's text for a program path.
std::u16string StartupShortcutText(std::u16string_view program);
// The shortcut's device path.
std::u16string StartupShortcutPath();

// With every schedule manual, deletes the shortcut; otherwise writes it,
// replacing one that exists only when overwrite is set. False when the file
// could not be written or deleted (the reason is logged).
bool WriteStartupShortcut(const SettingsKey& key, const InstallKeys& install, bool overwrite);
// Deletes the shortcut (removal of the plugin).
bool DeleteStartupShortcut();

}  // namespace skyvane::plugin
