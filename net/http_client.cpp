#include "net/http_client.h"

#include <algorithm>

#include "platform/base/log.h"
#include "platform/kernel/nls/text_conv.h"
#include "platform/base/wide_format.h"
#include "platform/base/wide_string.h"

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

}  // namespace

HttpClient::HttpClient() = default;
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
        if (!request.contentType.empty() && bodyLength > 0) text += u"Content-Type: " + request.contentType + u"\r\n";
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
        if (!request.contentType.empty() && bodyLength > 0) text += u"Content-Type: " + request.contentType + u"\r\n";
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

bool HttpClient::SendRequest(const NavigateRequest& request, bool withBody, bool* reused) {
    const uint32_t bodyLength = withBody ? request.bodyLength : 0;
    std::string head;
    if (!BuildHead(request, bodyLength, head)) return false;
    if (!ConnectTarget(reused)) return false;

    size_t total = 0;
    auto send = [&](const char* a, size_t na, const char* b, size_t nb) {
        size_t sent = 0;
        bool ok = socket_.Send(a, na, b, nb, &sent);
        total += sent;
        if (request.sendProgress) request.sendProgress(sent);
        return ok;
    };
    const size_t block = request.sendBlockSize ? request.sendBlockSize : 4096;

    if (bodyLength > 0 && (request.flags & SendCallback) && request.bodyProducer) {
        if (!send(head.data(), head.size(), nullptr, 0)) return false;
        std::string chunk(block, '\0');
        size_t left = bodyLength;
        while (left > 0) {
            size_t made = request.bodyProducer(chunk.data(), std::min(block, left));
            if (made == 0 || made > std::min(block, left)) break;
            if (!send(chunk.data(), made, nullptr, 0)) return false;
            left -= made;
        }
    } else if (bodyLength > 0) {
        if (request.body.size() < bodyLength) return false;
        if (request.flags & SendBlocks) {
            if (!send(head.data(), head.size(), nullptr, 0)) return false;
            for (size_t off = 0; off < bodyLength; off += block) {
                size_t n = std::min<size_t>(block, bodyLength - off);
                if (!send(request.body.data() + off, n, nullptr, 0)) return false;
            }
        } else if (!send(head.data(), head.size(), request.body.data(), bodyLength)) {
            return false;
        }
    } else if (!send(head.data(), head.size(), nullptr, 0)) {
        return false;
    }
    return total == head.size() + bodyLength;
}

bool HttpClient::ConnectionCloseRequested() const {
    const std::u16string* connection = GetHeader(u"Connection");
    return connection && EqualsNoCase(*connection, u"close");
}

bool HttpClient::ReadAnswer(const NavigateRequest& request) {
    ReadOptions options;
    options.readBlockSize = request.readBlockSize;
    options.progress = request.readProgress;
    options.codePage = codePage_;
    if (ReadResponse(response_, socket_, options) != ReadResult::Ok) {
        SKYVANE_LOG("kweather", "reading the response failed: result %d, status %d",
                    static_cast<int>(response_.readResult), response_.status);
        return false;
    }
    if (ConnectionCloseRequested()) socket_.Close();
    return true;
}

bool HttpClient::Exchange(const NavigateRequest& request, bool withBody) {
    bool reused = false;
    if (SendRequest(request, withBody, &reused) && ReadAnswer(request)) return true;
    // An HTTP/1.0 server may close a connection just as it is reused; a body
    // from the producer callback cannot be sent twice.
    const bool replayable = !(withBody && request.bodyLength > 0 && (request.flags & SendCallback));
    if (!reused || !replayable || !response_.buffer.empty()) return false;
    SKYVANE_LOG("kweather", "reused connection was gone, connecting anew");
    socket_.Close();
    return SendRequest(request, withBody, nullptr) && ReadAnswer(request);
}

bool HttpClient::Navigate(std::u16string_view url, const NavigateRequest* request) {
    if (url.empty()) return false;
    std::u16string escaped = EscapeUrl(url);
    if (escaped.size() > kMaxUrlLength) return false;
    ParsedUrl parsed;
    if (!SplitUrl(escaped, parsed)) return false;

    const NavigateRequest& req = request ? *request : DefaultRequest();
    NavigateScope scope(current_, &req, navigateDepth_);
    if (navigateDepth_ == 1) {
        redirects_ = 0;
        redirectLimitHit_ = false;
        codePage_ = GetACP();
    }
    response_.Reset();
    method_ = req.method;
    socket_.set_timeout(req.timeout);
    if (!PrepareUrl(parsed, req.defaultPort)) return false;
    url_ = std::move(parsed);

    bool ok = Exchange(req, true);
    if (ok && (req.flags & ProcessResult)) ok = JudgeStatus(req.flags);
    if (redirectLimitHit_) ok = false;
    if (!ok) socket_.Close();
    return ok;
}

bool HttpClient::JudgeStatus(uint32_t flags) {
    const int32_t status = response_.status;
    if ((status >= 200 && status <= 206) || status == 304 || status == 305) return true;
    if (status >= 301 && status <= 303) return (flags & AutoRedirect) ? FollowRedirect(flags) : false;
    if (status == 401 || status == 407) return AnswerChallenges(status == 407);
    return false;
}

bool HttpClient::FollowRedirect(uint32_t flags) {
    const std::u16string* location = GetHeader(u"Location");
    if (!location) return true;
    if (++redirects_ > kMaxRedirects) {
        SKYVANE_LOG("kweather", "more than %d redirects", kMaxRedirects);
        redirectLimitHit_ = true;
        return false;
    }
    const std::u16string target = *location;
    if (ConnectionCloseRequested()) socket_.Close();
    response_.headers.Clear();
    response_.buffer.clear();

    ParsedUrl next;
    if (!SplitUrl(target, next)) {
        // A path on the current server: absolute, or relative to the current
        // path's folder. The current extra info stays.
        ParsedUrl base = url_;
        if (!target.empty() && target[0] == u'/') {
            base.path = target;
        } else {
            std::u16string folder = base.path.empty() ? u"/" : base.path;
            folder.erase(folder.rfind(u'/') + 1);
            base.path = folder + target;
        }
        std::u16string text;
        if (!BuildAbsoluteUrl(base, text, kMaxRedirectUrl) || !SplitUrl(text, next)) return false;
    }
    const NavigateRequest& req = current_ ? *current_ : DefaultRequest();
    if (!PrepareUrl(next, req.defaultPort)) return false;
    if (next.host != url_.host || next.port != url_.port) socket_.Close();
    url_ = std::move(next);

    if (!Exchange(req, false)) return false;
    JudgeStatus(flags);
    // The caller looks at the final status; only a redirect loop fails here.
    return !redirectLimitHit_;
}

bool HttpClient::AnswerChallenges(bool proxy) {
    // The list is emptied by an authentication retry: walk a copy.
    const std::vector<std::u16string> challenges = response_.challenges;
    for (const std::u16string& challenge : challenges) {
        std::u16string_view scheme = challenge;
        scheme = scheme.substr(0, scheme.find(u' '));
        for (Registered& r : authenticators_) {
            if (r.disabled || !EqualsNoCase(r.scheme, scheme)) continue;
            if (r.authenticator->Authenticate(*this, challenge, proxy)) return true;
            break;
        }
    }
    return false;
}

bool HttpClient::PrepareForRetry() {
    bool reconnect = ConnectionCloseRequested();
    response_.headers.Clear();
    response_.buffer.clear();
    response_.challenges.clear();
    response_.status = -1;
    if (reconnect) {
        socket_.Close();
        return ConnectTarget(nullptr);
    }
    return true;
}

}  // namespace skyvane::net
