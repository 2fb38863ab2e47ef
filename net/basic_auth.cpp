#include "net/basic_auth.h"

#include "net/base64.h"
#include "platform/kernel/nls/text_conv.h"

namespace skyvane::net {
namespace {
constexpr size_t kMaxChallenge = 1024;
constexpr size_t kMaxCredentials = 510;  // "user:password" without its terminator
constexpr DWORD kCloseBeforeAnswer = 255;
}  // namespace

BasicAuthenticator::BasicAuthenticator(DWORD proxyFlags, std::u16string userName, std::u16string password)
    : proxyFlags_(proxyFlags), userName_(std::move(userName)), password_(std::move(password)) {}

bool BasicAuthenticator::BuildHeaderLine(bool proxy, std::u16string& line) const {
    std::u16string joined = userName_ + u":" + password_;
    if (joined.size() > kMaxCredentials) return false;
    std::string encoded = Base64Encode(ToAnsi(joined), Base64NoLineBreaks);
    line = proxy ? u"Proxy-Authorization: Basic " : u"Authorization: Basic ";
    line += FromAnsi(encoded);
    line += u"\r\n";
    return true;
}

bool BasicAuthenticator::Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) {
    if (proxyFlags_ == kCloseBeforeAnswer && client.SocketOpen()) client.Close();
    if (challenge.size() > kMaxChallenge) return false;
    proxy_ = proxy;
    std::u16string line;
    if (!BuildHeaderLine(proxy, line)) return false;

    std::u16string url;
    if (!BuildAbsoluteUrl(client.CurrentUrl(), url)) return false;
    const NavigateRequest* first = client.CurrentRequest();
    NavigateRequest retry = first ? *first : NavigateRequest();
    const uint32_t firstFlags = retry.flags;
    if (!client.PrepareForRetry()) return false;

    retry.extraHeaders += line;
    retry.flags &= ~ProcessResult;
    if (!client.Navigate(url, &retry)) return false;
    // Refused again: the same credentials will not do better.
    if (client.StatusCode() == 401 || client.StatusCode() == 407) client.DisableAuthenticator(u"basic");

    // The answer is judged as the first request would have been, and a
    // redirect from here on still carries the credentials.
    retry.flags = firstFlags;
    client.SetCurrentRequest(&retry);
    bool ok = client.JudgeStatus(firstFlags);
    client.SetCurrentRequest(first);
    return ok;
}

}  // namespace skyvane::net
