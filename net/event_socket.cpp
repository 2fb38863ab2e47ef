#include "net/event_socket.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "net/wsa_error.h"
#include "platform/base/log.h"

namespace skyvane::net {
namespace {

using Clock = std::chrono::steady_clock;

struct AddrInfoDeleter {
    void operator()(addrinfo* ai) const { freeaddrinfo(ai); }
};

}  // namespace

EventSocket::~EventSocket() { Close(); }

bool EventSocket::Wait(short events) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0) left = 0;
        pollfd p{fd_, events, 0};
        int rc = ::poll(&p, 1, static_cast<int>(left));
        if (rc > 0) return true;  // errors and hang-ups show in the next call
        if (rc == 0) return false;
        if (errno != EINTR) {
            lastError_ = WsaErrorFromErrno(errno);
            return false;
        }
    }
}

bool EventSocket::Connect(const std::string& host, uint16_t port) {
    if (fd_ >= 0) {
        lastError_ = WSAEALREADY;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        lastError_ = WsaErrorFromGai(rc, errno);
        SKYVANE_LOG("kweather", "resolving %s failed: %d", host.c_str(), lastError_);
        return false;
    }
    std::unique_ptr<addrinfo, AddrInfoDeleter> list(found);
    const addrinfo* ai = list.get();  // only the first address is tried

    fd_ = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd_ < 0) {
        lastError_ = WsaErrorFromErrno(errno);
        return false;
    }
    if (::connect(fd_, ai->ai_addr, ai->ai_addrlen) == 0) {
        connected_ = true;
        return true;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        lastError_ = WsaErrorFromErrno(errno);
        Close();
        return false;
    }
    if (!Wait(POLLOUT)) {
        Close();
        return false;
    }
    int error = 0;
    socklen_t len = sizeof(error);
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
    if (error != 0) {
        lastError_ = WsaErrorFromErrno(error);
        Close();
        return false;
    }
    connected_ = true;
    return true;
}

bool EventSocket::PeerHasClosed() {
    if (fd_ < 0) return true;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLERR | POLLHUP)) return true;
    char c;
    long n = ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

bool EventSocket::Send(const char* first, size_t firstSize, const char* second, size_t secondSize, size_t* sent) {
    *sent = 0;
    if (!connected_) {
        lastError_ = WSAENOTCONN;
        return false;
    }
    std::unique_lock lock(sendLock_, std::try_to_lock);
    if (!lock.owns_lock()) {
        lastError_ = WSAEINPROGRESS;
        return false;
    }
    const size_t total = firstSize + secondSize;
    size_t done = 0;
    while (done < total) {
        iovec parts[2];
        int count = 0;
        if (done < firstSize) parts[count++] = {const_cast<char*>(first) + done, firstSize - done};
        size_t secondDone = done > firstSize ? done - firstSize : 0;
        if (secondSize > secondDone) parts[count++] = {const_cast<char*>(second) + secondDone, secondSize - secondDone};
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = count;
        long n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lastError_ = WsaErrorFromErrno(errno);
            *sent = done;
            return false;
        }
        if (!Wait(POLLOUT)) {
            *sent = done;
            return false;
        }
    }
    *sent = done;
    return true;
}

long EventSocket::SysRecv(int fd, char* buffer, size_t size) { return ::recv(fd, buffer, size, 0); }

void EventSocket::SysSleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool EventSocket::Receive(char* buffer, size_t size, size_t* received) {
    *received = 0;
    if (!connected_) {
        lastError_ = WSAENOTCONN;
        return false;
    }
    std::unique_lock lock(receiveLock_, std::try_to_lock);
    if (!lock.owns_lock()) {
        lastError_ = WSAEINPROGRESS;
        return false;
    }
    bool waited = false;
    int wouldBlock = 0;
    for (;;) {
        long n = SysRecv(fd_, buffer, size);
        if (n >= 0) {
            *received = static_cast<size_t>(n);
            return true;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lastError_ = WsaErrorFromErrno(errno);
            return false;
        }
        if (!waited) {
            // Nothing there yet: wait for data up to the time-out.
            if (!Wait(POLLIN)) return false;
            waited = true;
            continue;
        }
        // Readiness was reported but the receive would still block.
        if (++wouldBlock >= kWouldBlockAttempts) {
            lastError_ = WSAEWOULDBLOCK;
            return false;
        }
        SysSleep(kWouldBlockPause);
    }
}

void EventSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connected_ = false;
}

}  // namespace skyvane::net
