#include "plugin/startup_shortcut.h"

#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/nls/text_conv.h"
#include "plugin/plugin_log.h"
#include "plugin/schedule.h"
#include "plugin/ui_launcher.h"

namespace skyvane::plugin {

std::u16string StartupShortcutText(std::u16string_view program) {
    std::u16string command = u"\"" + std::u16string(program) + u"\" " + kCommandService;
    return skyvane::FromUtf8(std::to_string(command.size())) + u"#" + command;
}

std::u16string StartupShortcutPath() {
    WCHAR folder[MAX_PATH] = {};
    std::u16string path = SHGetSpecialFolderPath(nullptr, folder, CSIDL_STARTUP, TRUE) ? folder : u"\\Windows\\StartUp";
    return path + u"\\" + kStartupShortcutName;
}

bool DeleteStartupShortcut() {
    std::u16string path = StartupShortcutPath();
    if (DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    PLUGIN_LOG_ERROR("Cannot delete %s, error %lu", LogText(path).c_str(), static_cast<unsigned long>(GetLastError()));
    return false;
}

bool WriteStartupShortcut(const SettingsKey& key, const InstallKeys& install, bool overwrite) {
    if (AllManual(key)) return DeleteStartupShortcut();
    std::u16string path = StartupShortcutPath();
    skyvane::UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, overwrite ? CREATE_ALWAYS : CREATE_NEW, 0, nullptr));
    if (!file) {
        if (!overwrite && GetLastError() == ERROR_FILE_EXISTS) return true;
        PLUGIN_LOG_ERROR("Cannot write %s, error %lu", LogText(path).c_str(),
                         static_cast<unsigned long>(GetLastError()));
        return false;
    }
    std::string text = skyvane::ToAnsi(StartupShortcutText(install.UiProgram()), CP_ACP);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr) || written != text.size()) {
        PLUGIN_LOG_ERROR("Cannot write %s, error %lu", LogText(path).c_str(),
                         static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return true;
}

}  // namespace skyvane::plugin
