#include "plugin/connection_policy.h"

#include "platform/base/wide_format.h"
#include "plugin/network_state.h"
#include "plugin/plugin_log.h"
#include "ui/text_ids.h"
#include "ui/translator.h"

namespace skyvane::plugin {
namespace {

constexpr DWORD kPriorityExistingOnly = CONNMGR_PRIORITY_LOWBKGND;  // 0x8: only a path already in use
constexpr DWORD kPriorityBackground = CONNMGR_PRIORITY_HIPRIBKGND;  // 0x200

class PlatformManager final : public ConnectionManager {
public:
    HRESULT Establish(CONNMGR_CONNECTIONINFO& request, HANDLE* connection, DWORD timeoutMs, DWORD* status) override {
        return ConnMgrEstablishConnectionSync(&request, connection, timeoutMs, status);
    }
    void Release(HANDLE connection) override { ConnMgrReleaseConnection(connection, 0); }
};

}  // namespace

int32_t EffectiveDestination(int32_t choice, int32_t iteration) {
    switch (choice) {
    case 1: case 2: case 3: case 4: return choice;
    case 0: return iteration == 1 ? kDestinationCorporate : iteration == 2 ? kDestinationInternet : kDestinationNone;
    case 5: return iteration == 1 ? kDestinationInternet : iteration == 2 ? kDestinationCorporate : kDestinationNone;
    default: return kDestinationNone;
    }
}

bool CanTryAnotherConnection(int32_t choice) { return choice < 1 || choice > 4; }

const GUID* DestinationGuid(int32_t destinationIndex) {
    switch (destinationIndex) {
    case kDestinationInternet: return &IID_DestNetInternet;
    case kDestinationCorporate: return &IID_DestNetCorp;
    case kDestinationWap: return &IID_DestNetWAP;
    case kDestinationSecureWap: return &IID_DestNetSecureWAP;
    default: return nullptr;
    }
}

DWORD ProxyFlagFor(int32_t proxyFlags, bool existingOnly) {
    if (proxyFlags == kProxyFlagsAutoDetect) return existingOnly ? CONNMGR_FLAG_PROXY_HTTP : 0;
    if (proxyFlags == kProxyFlagsHttp) return CONNMGR_FLAG_PROXY_HTTP;
    return static_cast<DWORD>(proxyFlags);
}

CONNMGR_CONNECTIONINFO MakeConnectionRequest(int32_t destinationIndex, bool existingOnly, int32_t proxyFlags) {
    CONNMGR_CONNECTIONINFO request{};
    request.cbSize = sizeof request;
    if (const GUID* destination = DestinationGuid(destinationIndex)) {
        request.dwParams = CONNMGR_PARAM_GUIDDESTNET;
        request.guidDestNet = *destination;
    }
    request.dwFlags = ProxyFlagFor(proxyFlags, existingOnly);
    request.dwPriority = existingOnly ? kPriorityExistingOnly : kPriorityBackground;
    request.bExclusive = FALSE;
    request.bDisabled = FALSE;
    return request;
}

std::u16string DestinationText(int32_t choice) {
    if (choice < 0 || choice > 5) return {};
    return ui::TranslateStringId(ui::text::kDestinationNetworkThenInternet + choice);
}

std::u16string ProxyKindText(int32_t proxyFlags) {
    namespace text = ui::text;
    switch (proxyFlags) {
    case 0: return ui::TranslateStringId(text::kProxyNone);
    case kProxyFlagsAutoDetect: return ui::TranslateStringId(text::kProxyAutoDetect);
    case kProxyFlagsHttp: return ui::TranslateStringId(text::kProxyHttp);
    case 1: return ui::TranslateStringId(text::kProxyHttpKeepAlive);
    case 2: return ui::TranslateStringId(text::kProxyWap);
    case 4: return ui::TranslateStringId(text::kProxySocks4);
    case 8: return ui::TranslateStringId(text::kProxySocks5);
    default: return {};
    }
}

std::u16string ConnectionStatusText(DWORD status) {
    using namespace ui::text;
    static constexpr struct {
        DWORD status;
        int32_t text;
    } kTexts[] = {
        {CONNMGR_STATUS_UNKNOWN, kConnStatusUnknown},
        {CONNMGR_STATUS_CONNECTED, kConnStatusConnected},
        {CONNMGR_STATUS_DISCONNECTED, kConnStatusDisconnected},
        {CONNMGR_STATUS_CONNECTIONFAILED, kConnStatusFailed},
        {CONNMGR_STATUS_CONNECTIONCANCELED, kConnStatusCanceled},
        {CONNMGR_STATUS_CONNECTIONDISABLED, kConnStatusDisabled},
        {CONNMGR_STATUS_NOPATHTODESTINATION, kConnStatusNoPath},
        {CONNMGR_STATUS_WAITINGFORPATH, kConnStatusWaitingForPath},
        {CONNMGR_STATUS_WAITINGFORPHONE, kConnStatusWaitingForPhone},
        {CONNMGR_STATUS_WAITINGCONNECTION, kConnStatusWaitingConnection},
        {CONNMGR_STATUS_WAITINGFORRESOURCE, kConnStatusWaitingForResource},
        {CONNMGR_STATUS_WAITINGFORNETWORK, kConnStatusWaitingForNetwork},
        {CONNMGR_STATUS_WAITINGDISCONNECTION, kConnStatusDisconnecting},
        {CONNMGR_STATUS_WAITINGCONNECTIONABORT, kConnStatusAborting},
    };
    for (const auto& entry : kTexts)
        if (entry.status == status) return ui::TranslateStringId(entry.text);
    return ui::TranslateStringId(kConnStatusOther);
}

ConnectionManager& PlatformConnectionManager() {
    static PlatformManager manager;
    return manager;
}

ConnectionPolicy::ConnectionPolicy(SettingsKey& key, Prompt& prompt, ConnectionManager& manager)
    : key_(key), prompt_(prompt), manager_(manager) {}

ConnectionPolicy::~ConnectionPolicy() { ReleaseConnection(); }

int32_t ConnectionPolicy::Choice() const { return key_.ReadNumber(u"ConnectionGUID", 1); }

int32_t ConnectionPolicy::CurrentDestination() const {
    return EffectiveDestination(Choice(), key_.ReadNumber(u"ConnectionIteration", 1));
}

ConnectionResult ConnectionPolicy::EstablishConnection(int32_t destinationIndex, bool existingOnly) {
    ReleaseConnection();
    CONNMGR_CONNECTIONINFO request =
        MakeConnectionRequest(destinationIndex, existingOnly, key_.ReadNumber(u"ProxyFlags", kProxyFlagsAutoDetect));
    HANDLE connection = nullptr;
    ConnectionResult result;
    HRESULT hr = manager_.Establish(request, &connection, kConnectionTimeoutMs, &result.status);
    result.connected = SUCCEEDED(hr) && result.status == CONNMGR_STATUS_CONNECTED;
    if (result.connected) {
        connection_ = connection;
    } else if (connection) {
        manager_.Release(connection);  // a handle without a path to the destination is of no use
    }

    std::u16string destination = DestinationGuid(destinationIndex) ? DestinationText(destinationIndex) : u"";
    std::u16string state = NetworkStateName(ReadNetworkState());
    const int check = existingOnly ? 1 : 0;
    if (result.connected) {
        result.text = skyvane::FormatW(u"Connection %s(%s Flags=%x type=%d check=%d) established", destination.c_str(),
                                       state.c_str(), unsigned(request.dwFlags), int(destinationIndex), check);
        PLUGIN_LOG("%s", LogText(result.text).c_str());
    } else {
        result.text = skyvane::FormatW(
            u"Connection %s(%s Flags=%x type=%d check=%d) can not be established with error %x %s  ",
            destination.c_str(), state.c_str(), unsigned(request.dwFlags), int(destinationIndex), check,
            unsigned(hr), ConnectionStatusText(result.status).c_str());
        LogLine(!existingOnly, "%s", LogText(result.text).c_str());
    }
    return result;
}

void ConnectionPolicy::ReleaseConnection() {
    if (!connection_) return;
    manager_.Release(connection_);
    connection_ = nullptr;
    PLUGIN_LOG("%s", LogText(ui::LoadStringText(ui::text::kConnectionReleased)).c_str());
}

bool ConnectionPolicy::FindExisting(int32_t iteration) {
    key_.WriteNumber(u"ConnectionIteration", iteration);
    if (!EstablishConnection(EffectiveDestination(Choice(), iteration), true).connected) return false;
    PLUGIN_LOG("Detected existing connection");
    ReleaseConnection();
    return true;
}

bool ConnectionPolicy::MayConnect(bool interactive) {
    if (key_.ReadNumber(u"AllowCreateNewConection", 1) != 0) return true;
    if (FindExisting(1)) return true;
    if (CanTryAnother() && FindExisting(2)) return true;
    if (!interactive || !prompt_.Interactive()) return false;
    switch (prompt_.Ask(ui::TranslateStringId(ui::text::kUpdating),
                        ui::TranslateStringId(ui::text::kCreateConnectionQuestion), Buttons::YesNoCancel)) {
    case Answer::Yes:
        PLUGIN_LOG("Allow to create new connection in future");
        key_.WriteNumber(u"AllowCreateNewConection", 1);
        return true;
    case Answer::No:
        PLUGIN_LOG("Allow to create new connection once");
        return true;
    case Answer::Cancel:
        break;
    }
    PLUGIN_LOG("There is not existing internet connection");
    return false;
}

bool ConfirmRoamingUpdate(Prompt& prompt, int32_t networkState) {
    if (networkState != kStateRoaming) return true;
    if (!prompt.Interactive()) return false;
    return prompt.Ask(ui::TranslateStringId(ui::text::kUpdating),
                      ui::TranslateStringId(ui::text::kRoamingUpdateQuestion), Buttons::YesNoCancel) == Answer::Yes;
}

}  // namespace skyvane::plugin
