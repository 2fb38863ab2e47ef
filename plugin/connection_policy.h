// The Internet connection policy: before and during an update the plugin
// asks the Connection Manager for a path to the destination network the
// user chose (`ConnectionGUID`), with the proxy kind chosen (`ProxyFlags`);
// it may first only look for a connection that is already up, and asks the
// user before a new one is created when `AllowCreateNewConection` is 0.
//
// Destination choices and the destination of each attempt:
//   0 "Network then Internet"   corporate network, then the Internet
//   5 "Internet then Network"   the Internet, then the corporate network
//   1 "Internet", 2 "Corporate network", 3 "WAP network",
//   4 "Secure WAP network"      that destination only
// `ConnectionIteration` (1 or 2) says which destination of a two-step
// choice the present attempt uses.
#pragma once

#include <cstdint>
#include <string>

#include "platform/connmgr/connmgr.h"
#include "plugin/prompt.h"
#include "plugin/settings_key.h"

namespace skyvane::plugin {

inline constexpr int32_t kDestinationNone = 0;
inline constexpr int32_t kDestinationInternet = 1;
inline constexpr int32_t kDestinationCorporate = 2;
inline constexpr int32_t kDestinationWap = 3;
inline constexpr int32_t kDestinationSecureWap = 4;

inline constexpr int32_t kProxyFlagsAutoDetect = 254;
inline constexpr int32_t kProxyFlagsHttp = 255;
inline constexpr DWORD kConnectionTimeoutMs = 120000;

// The destination index (1..4) an attempt uses for a choice and an
// iteration; kDestinationNone for a choice that names none.
int32_t EffectiveDestination(int32_t choice, int32_t iteration);
// Whether a second destination can be tried: the choice is not one of 1..4.
bool CanTryAnotherConnection(int32_t choice);
// The destination network of an index 1..4; null for any other.
const GUID* DestinationGuid(int32_t destinationIndex);
// The Connection Manager proxy flag for a `ProxyFlags` value: the value
// itself, except 254 (auto detect: HTTP only when an existing connection is
// looked for) and 255 (HTTP).
DWORD ProxyFlagFor(int32_t proxyFlags, bool existingOnly);
// The request record for a destination index.
CONNMGR_CONNECTIONINFO MakeConnectionRequest(int32_t destinationIndex, bool existingOnly, int32_t proxyFlags);

// Texts in the current language: of a destination choice (0..5), of a
// proxy kind, and of a Connection Manager status.
std::u16string DestinationText(int32_t choice);
std::u16string ProxyKindText(int32_t proxyFlags);
std::u16string ConnectionStatusText(DWORD status);

// The Connection Manager as the policy uses it; the platform's by default.
class ConnectionManager {
public:
    virtual ~ConnectionManager() = default;
    virtual HRESULT Establish(CONNMGR_CONNECTIONINFO& request, HANDLE* connection, DWORD timeoutMs, DWORD* status) = 0;
    virtual void Release(HANDLE connection) = 0;
};
ConnectionManager& PlatformConnectionManager();

struct ConnectionResult {
    bool connected = false;
    DWORD status = CONNMGR_STATUS_UNKNOWN;
    // "Connection Internet(WiFi Flags=0 type=1 check=0) established", or
    // "... can not be established with error 80004005 <status text>  ".
    std::u16string text;
};

class ConnectionPolicy {
public:
    ConnectionPolicy(SettingsKey& key, Prompt& prompt, ConnectionManager& manager = PlatformConnectionManager());
    ~ConnectionPolicy();
    ConnectionPolicy(const ConnectionPolicy&) = delete;
    ConnectionPolicy& operator=(const ConnectionPolicy&) = delete;

    // Asks for a path to the destination (waiting up to 120 s) and holds it
    // when it is up. The result text is logged, as an error when a
    // connection was required (not only looked for).
    ConnectionResult EstablishConnection(int32_t destinationIndex, bool existingOnly);
    // Gives back the connection held, if any.
    void ReleaseConnection();
    bool Holding() const { return connection_ != nullptr; }

    // Whether an update may connect now: always when new connections may be
    // created; else when a connection is up already; else, when interactive
    // and somebody can answer, as the user says (Yes: from now on, No: this
    // time, Cancel: not).
    bool MayConnect(bool interactive);

    // The stored choice and the destination of the present attempt.
    int32_t Choice() const;
    int32_t CurrentDestination() const;
    bool CanTryAnother() const { return CanTryAnotherConnection(Choice()); }

    SettingsKey& Key() { return key_; }
    Prompt& GetPrompt() { return prompt_; }

private:
    bool FindExisting(int32_t iteration);

    SettingsKey& key_;
    Prompt& prompt_;
    ConnectionManager& manager_;
    HANDLE connection_ = nullptr;
};

// The question asked before a user-started update in roaming; true when the
// update may go ahead (Yes), false for anything else, also when nobody can
// answer. Outside roaming nothing is asked.
bool ConfirmRoamingUpdate(Prompt& prompt, int32_t networkState);

}  // namespace skyvane::plugin
