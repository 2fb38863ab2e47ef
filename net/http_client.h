// The library's small HTTP/1.0 client: one request at a time over one
// connection, directly or through a proxy, with redirects and answers to
// authentication challenges.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/event_socket.h"
#include "net/http_response.h"
#include "net/url.h"

namespace skyvane::net {

enum NavigateFlags : uint32_t {
    AutoRedirect = 1,   // follow 301, 302 and 303
    ProcessResult = 2,  // judge the status code after reading
    SendCallback = 4,   // the body comes from bodyProducer
    SendBlocks = 8,     // send the body in blocks of sendBlockSize
};

// What the caller asks of one request.
struct NavigateRequest {
    std::u16string extraHeaders;  // appended to the head as they stand, each line ending in CR LF
    std::u16string method = u"GET";
    std::u16string contentType;
    uint32_t bodyLength = 0;
    uint32_t flags = AutoRedirect | ProcessResult | SendBlocks;
    DWORD timeout = 10000;
    uint32_t sendBlockSize = 4096;
    uint32_t readBlockSize = 4096;
    uint16_t defaultPort = 80;  // used when the URL names port 0
    std::string_view body;      // bodyLength bytes of it are sent
    std::function<void(size_t)> sendProgress;
    // With SendCallback: fills at most the given size, returns the bytes made (0 stops).
    std::function<size_t(char*, size_t)> bodyProducer;
    // Told the byte count of every receive; false aborts the read.
    std::function<bool(size_t)> readProgress;
};

class HttpClient;

// Something that can answer an authentication challenge of one scheme.
class Authenticator {
public:
    virtual ~Authenticator() = default;
    // True when it has answered the challenge and the client has completed a
    // new request. proxy is true for a 407 challenge.
    virtual bool Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) = 0;
};

class HttpClient {
public:
    // The longest chain of redirects followed for one navigation; a longer one
    // (a loop) fails the navigation.
    static constexpr int kMaxRedirects = 10;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // All later requests go through this proxy; an empty server means direct.
    void SetProxy(std::u16string_view server, uint16_t port);
    // Registers the answer to challenges of a scheme ("basic"); names compare
    // case-insensitively.
    void AddAuthenticator(std::u16string_view scheme, std::unique_ptr<Authenticator> authenticator);
    // A disabled authenticator is skipped when challenges are matched.
    void DisableAuthenticator(std::u16string_view scheme);

    bool Navigate(std::u16string_view url, const NavigateRequest* request = nullptr);
    const std::u16string* GetHeader(std::u16string_view name) const { return response_.headers.Find(name); }
    // Closes the connection; the client can navigate again afterwards.
    void Close() { socket_.Close(); }

    int32_t StatusCode() const { return response_.status; }
    const HttpResponse& Response() const { return response_; }
    int LastError() const { return socket_.LastError(); }
    ReadResult LastReadResult() const { return response_.readResult; }
    const std::vector<std::u16string>& Challenges() const { return response_.challenges; }

    // For authenticators answering a challenge of the last response.
    const ParsedUrl& CurrentUrl() const { return url_; }
    const NavigateRequest* CurrentRequest() const { return current_; }
    bool SocketOpen() const { return socket_.IsOpen(); }
    // Applies the last response's "Connection" header ("close" connects anew),
    // then empties the header table, the response and the challenge list.
    bool PrepareForRetry();
    // Judges the status under the flags: success, a followed redirect, or the
    // answer to a challenge.
    bool JudgeStatus(uint32_t flags);
    // Makes request current while a retry judges its status.
    void SetCurrentRequest(const NavigateRequest* request) { current_ = request; }

    EventSocket& socket() { return socket_; }

private:
    struct Registered {
        std::u16string scheme;
        std::unique_ptr<Authenticator> authenticator;
        bool disabled = false;
    };

    bool PrepareUrl(ParsedUrl& url, uint16_t defaultPort) const;
    bool BuildHead(const NavigateRequest& request, uint32_t bodyLength, std::string& head) const;
    bool ConnectTarget(bool* reused);
    bool SendRequest(const NavigateRequest& request, bool withBody, bool* reused);
    bool ReadAnswer(const NavigateRequest& request);
    // Sends the request and reads the answer, once more on a new connection
    // when a reused one turns out to be gone before any answer came.
    bool Exchange(const NavigateRequest& request, bool withBody);
    bool FollowRedirect(uint32_t flags);
    bool AnswerChallenges(bool proxy);
    bool ConnectionCloseRequested() const;

    EventSocket socket_;
    HttpResponse response_;
    std::vector<Registered> authenticators_;
    ParsedUrl url_;
    std::u16string method_;
    std::u16string proxyServer_;
    uint16_t proxyPort_ = 0;
    std::u16string connectedHost_;  // the target the open socket is connected to
    uint16_t connectedPort_ = 0;
    const NavigateRequest* current_ = nullptr;
    unsigned codePage_ = 0;  // the ANSI code page, looked up once per navigation
    int navigateDepth_ = 0;
    int redirects_ = 0;
    bool redirectLimitHit_ = false;
};

}  // namespace skyvane::net
