// Answers "Basic" challenges (401 from a server, 407 from a proxy) with the
// stored user name and password.
#pragma once

#include <string>
#include <string_view>

#include "net/http_client.h"
#include "platform/base/win_types.h"

namespace skyvane::net {

class BasicAuthenticator : public Authenticator {
public:
    // With proxyFlags 255 the connection is closed before every answer.
    BasicAuthenticator(DWORD proxyFlags, std::u16string userName, std::u16string password);

    // Repeats the client's current request with an "Authorization: Basic" (or,
    // for a proxy, "Proxy-Authorization: Basic") line. A second refusal
    // disables the authenticator for this client.
    NavigateResult Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) override;
    bool proxyChallenge() const { return proxy_; }

    // The header line that answers a challenge; false when "user:password"
    // does not fit 511 characters.
    bool BuildHeaderLine(bool proxy, std::u16string& line) const;

private:
    DWORD proxyFlags_;
    std::u16string userName_;
    std::u16string password_;
    bool proxy_ = false;
};

}  // namespace skyvane::net
