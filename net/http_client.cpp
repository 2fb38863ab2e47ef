#include "net/http_client.h"

#include <algorithm>
#include <new>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "platform/base/wide_string.h"
#include "platform/winsock/winsock.h"

namespace skyvane::net {
namespace {

constexpr std::u16string_view kUserAgentLine = u"User-Agent: Skyvane-Weather/1.00\r\n";
// A redirect target is rebuilt as text of at most this many characters.
constexpr size_t kMaxRedirectUrl = 2048;

const NavigateRequest& DefaultRequest() {
    static const NavigateRequest request;
    return request;
}

// Restores the enclosing request when a nested navigation (an authentication
// retry) ends, and counts the nesting.
class NavigateScope {
public:
    NavigateScope(const NavigateRequest*& current, const NavigateRequest* request, int& depth)
        : current_(current), saved_(current), depth_(depth) {
        current_ = request;
        ++depth_;
    }
    ~NavigateScope() {
        current_ = saved_;
        --depth_;
    }

private:
    const NavigateRequest*& current_;
    const NavigateRequest* saved_;
    int& depth_;
};

// WinSock is started once per process, by the first client, and stays started.
void StartWinSock() {
    static const bool started = [] {
        WSADATA data;
        int rc = WSAStartup(MAKEWORD(2, 0), &data);
        if (rc != 0) SKYVANE_LOG("kweather", "WSAStartup failed: %d", rc);
        return rc == 0;
    }();
    (void)started;
}

}  // namespace

HttpClient::HttpClient() { StartWinSock(); }
HttpClient::~HttpClient() = default;

void HttpClient::SetProxy(std::u16string_view server, uint16_t port) {
    proxyServer_.assign(server);
    proxyPort_ = port;
}

void HttpClient::AddAuthenticator(std::u16string_view scheme, std::unique_ptr<Authenticator> authenticator) {
    for (Registered& r : authenticators_) {
        if (EqualsNoCase(r.scheme, scheme)) {
            r.authenticator = std::move(authenticator);
            r.disabled = false;
            return;
        }
    }
    authenticators_.push_back({std::u16string(scheme), std::move(authenticator), false});
}

void HttpClient::DisableAuthenticator(std::u16string_view scheme) {
    for (Registered& r : authenticators_)
        if (EqualsNoCase(r.scheme, scheme)) r.disabled = true;
}

bool HttpClient::PrepareUrl(ParsedUrl& url, uint16_t defaultPort) const {
    if (url.schemeIndex != kSchemeHttp || url.host.empty()) return false;
    if (url.path.empty()) url.path = u"/";
    if (url.port == 0) url.port = defaultPort;
    return true;
}

bool HttpClient::BuildHead(const NavigateRequest& request, uint32_t bodyLength, std::string& head) const {
    std::u16string text;
    if (proxyServer_.empty()) {
        text = method_ + u" " + url_.path + url_.extraInfo + u" HTTP/1.0\r\n";
        if (bodyLength > 0) text += FormatW(u"Content-Length: %d\r\n", static_cast<int>(bodyLength));
        if (!request.contentType.empty()) text += u"Content-Type: " + request.contentType + u"\r\n";
        text += request.extraHeaders;
        text += u"Host: " + url_.host + u"\r\n";
    } else {
        std::u16string absolute;
        if (!BuildAbsoluteUrl(url_, absolute)) return false;
        text = method_ + u" " + absolute + u" HTTP/1.0\r\n";
        if (url_.port == 80)
            text += u"Host: " + url_.host + u"\r\n";
        else
            text += FormatW(u"Host: %s:%d\r\n", url_.host.c_str(), static_cast<int>(url_.port));
        if (bodyLength > 0) text += FormatW(u"Content-Length: %d\r\n", static_cast<int>(bodyLength));
        if (!request.contentType.empty()) text += u"Content-Type: " + request.contentType + u"\r\n";
        text += request.extraHeaders;
    }
    text += kUserAgentLine;
    text += u"\r\n";
    head = ToAnsi(text, codePage_);
    return true;
}

bool HttpClient::ConnectTarget(bool* reused) {
    const std::u16string& host = proxyServer_.empty() ? url_.host : proxyServer_;
    const uint16_t port = proxyServer_.empty() ? url_.port : proxyPort_;
    if (reused) *reused = false;
    if (socket_.IsOpen()) {
        // An open connection is reused while it leads to the same target and
        // the peer has not closed it after its last answer.
        if (host == connectedHost_ && port == connectedPort_ && !socket_.PeerHasClosed()) {
            if (reused) *reused = true;
            return true;
        }
        socket_.Close();
    }
    if (!socket_.Connect(ToAnsi(host, codePage_), port)) return false;
    connectedHost_ = host;
    connectedPort_ = port;
    return true;
}

NavigateResult HttpClient::Outcome(NavigateError error) const {
    NavigateResult result;
    result.error = error;
    result.status = response_.status;
    result.readResult = response_.readResult;
    // Only a failure on the way carries a socket error; a status is no socket failure.
    const bool onTheWay = error == NavigateError::Connect || error == NavigateError::Send || error == NavigateError::Read;
    result.socketError = onTheWay ? socket_.LastError() : 0;
    return result;
}

NavigateError HttpClient::SendRequest(const NavigateRequest& request, bool withBody, bool* reused) {
    const uint32_t bodyLength = withBody ? request.bodyLength : 0;
    std::string head;
    if (!BuildHead(request, bodyLength, head)) return NavigateError::InvalidUrl;
    if (!ConnectTarget(reused)) return NavigateError::Connect;

    size_t total = 0;
    auto send = [&](const char* a, size_t na, const char* b, size_t nb) {
        size_t sent = 0;
        bool ok = socket_.Send(a, na, b, nb, &sent);
        total += sent;
        if (request.sendProgress) request.sendProgress(sent);
        return ok;
    };
    const size_t block = request.sendBlockSize ? request.sendBlockSize : 4096;

    bool sent = true;
    if (bodyLength > 0 && (request.flags & SendCallback) && request.bodyProducer) {
        sent = send(head.data(), head.size(), nullptr, 0);
        std::string chunk(block, '\0');
        for (size_t left = bodyLength; sent && left > 0;) {
            size_t made = request.bodyProducer(chunk.data(), std::min(block, left));
            if (made == 0 || made > std::min(block, left)) break;
            sent = send(chunk.data(), made, nullptr, 0);
            left -= made;
        }
    } else if (bodyLength > 0) {
        if (request.body.size() < bodyLength) return NavigateError::Send;
        if (request.flags & SendBlocks) {
            sent = send(head.data(), head.size(), nullptr, 0);
            for (size_t off = 0; sent && off < bodyLength; off += block)
                sent = send(request.body.data() + off, std::min<size_t>(block, bodyLength - off), nullptr, 0);
        } else {
            sent = send(head.data(), head.size(), request.body.data(), bodyLength);
        }
    } else {
        sent = send(head.data(), head.size(), nullptr, 0);
    }
    return sent && total == head.size() + bodyLength ? NavigateError::None : NavigateError::Send;
}

bool HttpClient::ConnectionCloseRequested() const {
    const std::u16string* connection = GetHeader(u"Connection");
    return connection && EqualsNoCase(*connection, u"close");
}

NavigateError HttpClient::ReadAnswer(const NavigateRequest& request) {
    ReadOptions options;
    options.readBlockSize = request.readBlockSize;
    options.progress = request.readProgress;
    options.codePage = codePage_;
    if (ReadResponse(response_, socket_, options) != ReadResult::Ok) {
        SKYVANE_LOG("kweather", "reading the response failed: result %d, status %d",
                    static_cast<int>(response_.readResult), response_.status);
        return NavigateError::Read;
    }
    if (ConnectionCloseRequested()) socket_.Close();
    return NavigateError::None;
}

NavigateResult HttpClient::Exchange(const NavigateRequest& request, bool withBody) {
    bool reused = false;
    NavigateError error = SendRequest(request, withBody, &reused);
    if (error == NavigateError::None) error = ReadAnswer(request);
    if (error == NavigateError::None) return Outcome(error);
    // An HTTP/1.0 server may close a connection just as it is reused; a body
    // from the producer callback cannot be sent twice.
    const bool replayable = !(withBody && request.bodyLength > 0 && (request.flags & SendCallback));
    if (!reused || !replayable || !response_.buffer.empty()) return Outcome(error);
    SKYVANE_LOG("kweather", "reused connection was gone, connecting anew");
    socket_.Close();
    socket_.ClearLastError();
    error = SendRequest(request, withBody, nullptr);
    if (error == NavigateError::None) error = ReadAnswer(request);
    return Outcome(error);
}

NavigateResult HttpClient::Navigate(std::u16string_view url, const NavigateRequest* request) {
    NavigateResult invalid;
    invalid.error = NavigateError::InvalidUrl;
    if (url.empty()) return invalid;
    std::u16string escaped = EscapeUrl(url);
    if (escaped.size() > kMaxUrlLength) return invalid;
    ParsedUrl parsed;
    if (!SplitUrl(escaped, parsed)) return invalid;

    const NavigateRequest& req = request ? *request : DefaultRequest();
    NavigateScope scope(current_, &req, navigateDepth_);
    if (navigateDepth_ == 1) {
        redirects_ = 0;
        codePage_ = GetACP();
        socket_.ClearLastError();
    }
    response_.Reset();
    method_ = req.method;
    socket_.set_timeout(req.timeout);
    if (!PrepareUrl(parsed, req.defaultPort)) return invalid;
    url_ = std::move(parsed);

    NavigateResult result;
    try {
        result = Exchange(req, true);
        if (result.ok() && (req.flags & ProcessResult)) result = JudgeStatus(req.flags);
    } catch (const std::bad_alloc&) {
        // A navigation that cannot allocate fails like any other.
        SKYVANE_LOG("kweather", "navigation ran out of memory");
        result = Outcome(NavigateError::NoMemory);
    }
    if (!result.ok()) socket_.Close();
    return result;
}

NavigateResult HttpClient::JudgeStatus(uint32_t flags) {
    const int32_t status = response_.status;
    if ((status >= 200 && status <= 206) || status == 304 || status == 305) return Outcome(NavigateError::None);
    if (status >= 301 && status <= 303)
        return (flags & AutoRedirect) ? FollowRedirect(flags) : Outcome(NavigateError::Status);
    if (status == 401 || status == 407) return AnswerChallenges(status == 407);
    return Outcome(NavigateError::Status);
}

NavigateResult HttpClient::FollowRedirect(uint32_t flags) {
    const std::u16string* location = GetHeader(u"Location");
    if (!location) return Outcome(NavigateError::None);
    if (++redirects_ > kMaxRedirects) {
        SKYVANE_LOG("kweather", "more than %d redirects", kMaxRedirects);
        return Outcome(NavigateError::RedirectLimit);
    }
    // Escaped as the first address is, so that nothing the server wrote can
    // end the request line or add header lines.
    const std::u16string target = EscapeUrl(*location);
    if (ConnectionCloseRequested()) socket_.Close();
    response_.headers.Clear();
    response_.buffer.clear();

    ParsedUrl next;
    if (!SplitUrl(target, next)) {
        // A path on the current server: absolute, or relative to the current
        // path's folder. A Location with a query of its own keeps it; one
        // without takes the current one.
        ParsedUrl base = url_;
        const size_t extra = target.find_first_of(u"?#");
        const std::u16string_view path = std::u16string_view(target).substr(0, extra);
        if (extra != std::u16string::npos) base.extraInfo = target.substr(extra);
        if (!path.empty() && path[0] == u'/') {
            base.path = path;
        } else if (!path.empty()) {
            std::u16string folder = base.path.empty() ? u"/" : base.path;
            folder.erase(folder.rfind(u'/') + 1);
            base.path = folder + std::u16string(path);
        }
        std::u16string text;
        if (!BuildAbsoluteUrl(base, text, kMaxRedirectUrl) || !SplitUrl(text, next))
            return Outcome(NavigateError::InvalidUrl);
    }
    const NavigateRequest& req = current_ ? *current_ : DefaultRequest();
    if (!PrepareUrl(next, req.defaultPort)) return Outcome(NavigateError::InvalidUrl);
    if (next.host != url_.host || next.port != url_.port) socket_.Close();
    url_ = std::move(next);

    NavigateResult result = Exchange(req, false);
    if (!result.ok()) return result;
    result = JudgeStatus(flags);
    // The caller looks at the final status, whatever it is; a failure on the
    // way (a body cut short, a redirect loop) stays a failure.
    return result.error == NavigateError::Status ? Outcome(NavigateError::None) : result;
}

NavigateResult HttpClient::AnswerChallenges(bool proxy) {
    NavigateResult result = Outcome(NavigateError::Status);
    // The list is emptied by an authentication retry: walk a copy.
    const std::vector<std::u16string> challenges = response_.challenges;
    for (const std::u16string& challenge : challenges) {
        std::u16string_view scheme = challenge;
        scheme = scheme.substr(0, scheme.find(u' '));
        for (Registered& r : authenticators_) {
            if (r.disabled || !EqualsNoCase(r.scheme, scheme)) continue;
            result = r.authenticator->Authenticate(*this, challenge, proxy);
            if (result.ok()) return result;
            break;
        }
    }
    return result;
}

NavigateResult HttpClient::PrepareForRetry() {
    bool reconnect = ConnectionCloseRequested();
    response_.headers.Clear();
    response_.buffer.clear();
    response_.challenges.clear();
    response_.status = -1;
    if (reconnect) {
        socket_.Close();
        if (!ConnectTarget(nullptr)) return Outcome(NavigateError::Connect);
    }
    return Outcome(NavigateError::None);
}

}  // namespace skyvane::net
