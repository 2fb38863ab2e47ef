// One stream socket with the handheld platform's event-socket contract, on a
// non-blocking POSIX socket: every connect, send and receive completion waits
// at most the time-out, a receive that keeps reporting WSAEWOULDBLOCK is tried
// 120 times 250 ms apart, and failures leave their WinSock number in
// LastError().
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
    // resolution failure stores the getaddrinfo error as its WinSock number; a
    // connection that does not complete within the time-out fails and leaves
    // the last error unchanged. WSAEALREADY while a socket is open.
    bool Connect(const std::string& host, uint16_t port);
    bool IsOpen() const { return fd_ >= 0; }
    bool IsConnected() const { return connected_; }
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
    void SetLastError(int code) { lastError_ = code; }

protected:
    // The system calls behind a receive, replaceable in tests.
    virtual long SysRecv(int fd, char* buffer, size_t size);
    virtual void SysSleep(DWORD ms);

private:
    // Waits until the socket is ready for events (POLLIN or POLLOUT) within the
    // time-out; false when the wait ran out or failed.
    bool Wait(short events);

    int fd_ = -1;
    bool connected_ = false;
    DWORD timeout_ = kDefaultTimeout;
    int lastError_ = 0;
    std::mutex receiveLock_;
    std::mutex sendLock_;
};

}  // namespace skyvane::net
