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

// Why a navigation failed.
enum class NavigateError {
    None,           // it succeeded
    InvalidUrl,     // empty, too long once escaped, not http, or without a host
    Connect,        // name resolution or the connection failed
    Send,           // the request did not go out whole
    Read,           // the response could not be read (see readResult)
    Status,         // the status is a failure, or a challenge nobody answered
    RedirectLimit,  // more redirects in a row than the client follows
    NoMemory,       // an allocation failed on the way
};

// How a navigation ended: the one result a caller looks at.
struct NavigateResult {
    NavigateError error = NavigateError::None;
    int32_t status = -1;                              // the last status read, -1 when none
    ReadResult readResult = ReadResult::NothingRead;  // of the last response
    int socketError = 0;                              // the WinSock number of the failure, 0 when none

    bool ok() const { return error == NavigateError::None; }
};

class HttpClient;

// Something that can answer an authentication challenge of one scheme.
class Authenticator {
public:
    virtual ~Authenticator() = default;
    // Answers the challenge with a new request of the client; proxy is true
    // for a 407 challenge. The result is that request's, judged as the first
    // request would have been; a failure when the challenge was not answered.
    virtual NavigateResult Authenticate(HttpClient& client, std::u16string_view challenge, bool proxy) = 0;
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

    // Sends the request and reads the answer, following redirects and
    // answering challenges. Afterwards Response() holds the last response.
    NavigateResult Navigate(std::u16string_view url, const NavigateRequest* request = nullptr);
    const std::u16string* GetHeader(std::u16string_view name) const { return response_.headers.Find(name); }
    // Closes the connection; the client can navigate again afterwards.
    void Close() { socket_.Close(); }

    const HttpResponse& Response() const { return response_; }

    // For authenticators answering a challenge of the last response.
    const ParsedUrl& CurrentUrl() const { return url_; }
    const NavigateRequest* CurrentRequest() const { return current_; }
    bool SocketOpen() const { return socket_.IsOpen(); }
    // The result as things stand: error, with the last status and read result,
    // and the socket's last error for a failure on the way.
    NavigateResult Outcome(NavigateError error) const;
    // Applies the last response's "Connection" header ("close" connects anew),
    // then empties the header table, the response and the challenge list.
    NavigateResult PrepareForRetry();
    // Judges the status under the flags: success, a followed redirect, or the
    // answer to a challenge.
    NavigateResult JudgeStatus(uint32_t flags);
    // Makes request current while a retry judges its status.
    void SetCurrentRequest(const NavigateRequest* request) { current_ = request; }

private:
    struct Registered {
        std::u16string scheme;
        std::unique_ptr<Authenticator> authenticator;
        bool disabled = false;
    };

    bool PrepareUrl(ParsedUrl& url, uint16_t defaultPort) const;
    bool BuildHead(const NavigateRequest& request, uint32_t bodyLength, std::string& head) const;
    bool ConnectTarget(bool* reused);
    NavigateError SendRequest(const NavigateRequest& request, bool withBody, bool* reused);
    NavigateError ReadAnswer(const NavigateRequest& request);
    // Sends the request and reads the answer, once more on a new connection
    // when a reused one turns out to be gone before any answer came.
    NavigateResult Exchange(const NavigateRequest& request, bool withBody);
    NavigateResult FollowRedirect(uint32_t flags);
    NavigateResult AnswerChallenges(bool proxy);
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
};

}  // namespace skyvane::net
