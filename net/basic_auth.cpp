#include "net/basic_auth.h"

#include "net/base64.h"
#include "platform/kernel/nls/text_conv.h"

namespace skyvane::net {
namespace {
constexpr size_t kMaxChallenge = 1024;
constexpr size_t kMaxCredentials = 511;  // "user:password", without the terminator of its 512-character buffer
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

NavigateResult BasicAuthenticator::Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) {
    if (proxyFlags_ == kCloseBeforeAnswer && client.SocketOpen()) client.Close();
    // A challenge that cannot be answered leaves the refusal as it was.
    const NavigateResult unanswered = client.Outcome(NavigateError::Status);
    if (challenge.size() > kMaxChallenge) return unanswered;
    proxy_ = proxy;
    std::u16string line;
    if (!BuildHeaderLine(proxy, line)) return unanswered;

    std::u16string url;
    if (!BuildAbsoluteUrl(client.CurrentUrl(), url)) return unanswered;
    const NavigateRequest* first = client.CurrentRequest();
    NavigateRequest retry = first ? *first : NavigateRequest();
    const uint32_t firstFlags = retry.flags;
    if (NavigateResult prepared = client.PrepareForRetry(); !prepared.ok()) return prepared;

    retry.extraHeaders += line;
    retry.flags &= ~ProcessResult;
    NavigateResult answer = client.Navigate(url, &retry);
    if (!answer.ok()) return answer;
    // Refused again: the same credentials will not do better.
    if (answer.status == 401 || answer.status == 407) client.DisableAuthenticator(u"basic");

    // The answer is judged as the first request would have been, and a
    // redirect from here on still carries the credentials.
    retry.flags = firstFlags;
    client.SetCurrentRequest(&retry);
    NavigateResult judged = client.JudgeStatus(firstFlags);
    client.SetCurrentRequest(first);
    return judged;
}

}  // namespace skyvane::net
