#include "plugin/update_request.h"

#include <vector>

#include "platform/kernel/nls/text_conv.h"
#include "plugin/city_entry.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "plugin/plugin_settings.h"
#include "plugin/ui_launcher.h"
#include "plugin/update_run.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {

HRESULT RequestUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install,
                      std::u16string_view codeOrAll, skyvane::UniqueHandle* process) {
    const bool all = codeOrAll == kUpdateAllCode;
    std::vector<CityEntry> cities;
    for (size_t i = 0; i < kMaxCities; ++i) {
        std::u16string code = key->ReadText(u"CityCode" + skyvane::FromUtf8(std::to_string(i)), u"");
        if (code.empty()) break;
        if (!all && code != codeOrAll) continue;
        cities.emplace_back(key).SetCode(std::move(code));
    }
    for (CityEntry& city : cities) city.SetStatus(ui::TranslateStringId(ui::text::kGettingWeatherNow));

    DWORD error =
        StartUiProgram(install, all ? std::u16string(kCommandUpdateAll) : UpdateCityCommand(codeOrAll), process);
    if (error == ERROR_SUCCESS) return S_OK;
    LogTableText(true, ui::text::kCannotStartProcess);
    PLUGIN_LOG_ERROR("Failed run %s with error %x", LogText(install.UiProgram()).c_str(), unsigned(error));
    for (CityEntry& city : cities) city.SetStatus(ui::TranslateStringId(ui::text::kCannotStartProcess));
    return E_FAIL;
}

ManualUpdate RequestManualUpdate(const std::shared_ptr<SettingsKey>& key, const InstallKeys& install, Prompt& prompt,
                                 std::u16string_view codeOrAll, skyvane::UniqueHandle* process) {
    if (!ConfirmRoamingUpdate(prompt, ReadNetworkState())) return ManualUpdate::NotConfirmed;
    LogTableText(false, ui::text::kManualUpdates);
    return SUCCEEDED(RequestUpdate(key, install, codeOrAll, process)) ? ManualUpdate::Requested
                                                                      : ManualUpdate::NotStarted;
}

}  // namespace skyvane::plugin
