#include "plugin/connection_options.h"

#include "platform/base/wide_format.h"
#include "plugin/plugin_log.h"
#include "plugin/update_run.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {

ConnectionOptions ReadConnectionOptions(const SettingsKey& key) {
    ConnectionOptions options;
    options.choice = key.ReadNumber(u"ConnectionGUID", options.choice);
    options.proxyFlags = key.ReadNumber(u"ProxyFlags", options.proxyFlags);
    options.proxyServer = key.ReadText(u"ProxyServer", u"");
    options.proxyPort = key.ReadNumber(u"ProxyPort", 0);
    options.proxyUserName = key.ReadText(u"ProxyUserName", u"");
    options.proxyPassword = key.ReadText(u"ProxyPassword", u"");
    options.allowCreateNewConnection = key.ReadNumber(u"AllowCreateNewConection", 1) != 0;
    return options;
}

void StoreConnectionOptions(SettingsKey& key, const ConnectionOptions& options) {
    key.WriteNumber(u"ConnectionGUID", options.choice);
    key.WriteNumber(u"ProxyFlags", options.proxyFlags);
    key.WriteText(u"ProxyServer", options.proxyServer);
    key.WriteNumber(u"ProxyPort", options.proxyPort);
    key.WriteText(u"ProxyUserName", options.proxyUserName);
    key.WriteText(u"ProxyPassword", options.proxyPassword);
    key.WriteNumber(u"AllowCreateNewConection", options.allowCreateNewConnection ? 1 : 0);
}

std::u16string TestConnection(const std::shared_ptr<SettingsKey>& key, ConnectionPolicy& connection,
                              const ConnectionOptions& options) {
    StoreConnectionOptions(*key, options);
    PLUGIN_LOG("Button Test pressed");
    if (!connection.MayConnect(true)) return {};
    UpdateRun run(key, connection);
    UpdateOutcome outcome = run.UpdateAndSave(kUpdateAllCode);
    const int32_t message = outcome.result == S_OK ? ui::text::kConnectionSucceeded : ui::text::kConnectionFailed;
    return skyvane::FormatW(ui::TranslateStringId(message).c_str(), outcome.text.c_str());
}

}  // namespace skyvane::plugin
