// One stream socket with the client's time-out rules, on WinSock network
// events: every connect, send and receive completion waits at most the
// time-out, a receive that keeps reporting WSAEWOULDBLOCK is tried 120 times
// 250 ms apart, and failures leave their WinSock number in LastError().
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "net/http_response.h"
#include "platform/base/win_types.h"

namespace skyvane::net {

class EventSocket : public ByteSource {
public:
    static constexpr DWORD kDefaultTimeout = 10000;
    static constexpr int kWouldBlockAttempts = 120;
    static constexpr DWORD kWouldBlockPause = 250;

    EventSocket() = default;
    ~EventSocket() override;
    EventSocket(const EventSocket&) = delete;
    EventSocket& operator=(const EventSocket&) = delete;

    // Resolves host (8-bit text) and connects to its first address. A
    // resolution failure stores getaddrinfo's WinSock number; a connection
    // that does not complete within the time-out fails and leaves the last
    // error unchanged. WSAEALREADY while a socket is open.
    bool Connect(const std::string& host, uint16_t port);
    bool IsOpen() const { return socket_ != kNoSocket; }
    // True when the peer has closed or reset the connection, so that a reused
    // connection would only fail.
    bool PeerHasClosed();

    // Sends the first buffer and then the second one (either may be empty);
    // *sent is the number of bytes that went out.
    bool Send(const char* first, size_t firstSize, const char* second, size_t secondSize, size_t* sent);
    bool Receive(char* buffer, size_t size, size_t* received) override;
    void Close();

    DWORD timeout() const { return timeout_; }
    void set_timeout(DWORD ms) { timeout_ = ms; }
    int LastError() const { return lastError_; }
    void ClearLastError() { lastError_ = 0; }

protected:
    // The platform's SOCKET and WSAEVENT, by their underlying types: the
    // socket names stay out of everything that includes the client.
    using Socket = UINT_PTR;
    using Event = HANDLE;
    static constexpr Socket kNoSocket = ~Socket(0);  // INVALID_SOCKET

    // The receive call (recv) and the pause between its retries, replaceable in tests.
    virtual int Recv(Socket s, char* buffer, int size);
    virtual void Pause(DWORD ms);

private:
    // Waits within the time-out until one of the network events has been
    // recorded; false when the wait ran out (last error unchanged) or failed.
    bool WaitFor(LONG events);
    // Takes in what the platform has recorded so far, without waiting.
    bool Collect();
    // A failure of the last WinSock call: its number becomes the last error.
    bool Failed();
    // The connected check and the exclusive lock at the start of a send or a
    // receive; false with WSAENOTCONN or WSAEINPROGRESS.
    bool Begin(std::mutex& lock, std::unique_lock<std::mutex>& held);

    Socket socket_ = kNoSocket;
    Event event_ = nullptr;
    LONG recorded_ = 0;  // network events the platform reported and that are not used up
    int connectError_ = 0;
    bool connected_ = false;
    DWORD timeout_ = kDefaultTimeout;
    int lastError_ = 0;
    std::mutex receiveLock_;
    std::mutex sendLock_;
};

}  // namespace skyvane::net
