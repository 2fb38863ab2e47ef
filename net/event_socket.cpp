#include "net/event_socket.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/base/log.h"
#include "platform/kernel/process.h"
#include "platform/winsock/winsock.h"

namespace skyvane::net {
namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kSocketEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;

struct AddrInfoFree {
    void operator()(ADDRINFOA* list) const { freeaddrinfo(list); }
};

}  // namespace

static_assert(std::is_same_v<SOCKET, UINT_PTR> && std::is_same_v<WSAEVENT, HANDLE> && INVALID_SOCKET == ~UINT_PTR(0));

EventSocket::~EventSocket() { Close(); }

int EventSocket::Recv(Socket s, char* buffer, int size) { return recv(s, buffer, size, 0); }

void EventSocket::Pause(DWORD ms) { Sleep(ms); }

bool EventSocket::Failed() {
    lastError_ = WSAGetLastError();
    return false;
}

bool EventSocket::Collect() {
    WSANETWORKEVENTS events;
    if (WSAEnumNetworkEvents(socket_, event_, &events) != 0) return false;
    recorded_ |= events.lNetworkEvents;
    if (events.lNetworkEvents & FD_CONNECT) connectError_ = events.iErrorCode[FD_CONNECT_BIT];
    return true;
}

bool EventSocket::WaitFor(LONG events) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_);
    for (;;) {
        if (recorded_ & events) return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const DWORD wait = static_cast<DWORD>(std::clamp<long long>(left, 0, INT_MAX));
        DWORD rc = WSAWaitForMultipleEvents(1, &event_, FALSE, wait, FALSE);
        if (rc == WSA_WAIT_FAILED) return Failed();
        if (rc == WSA_WAIT_TIMEOUT) return false;
        if (!Collect()) return Failed();
    }
}

bool EventSocket::Connect(const std::string& host, uint16_t port) {
    if (IsOpen()) {
        lastError_ = WSAEALREADY;
        return false;
    }
    ADDRINFOA hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOA* found = nullptr;
    if (int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
        lastError_ = rc;
        SKYVANE_LOG("kweather", "resolving %s failed: %d", host.c_str(), rc);
        return false;
    }
    std::unique_ptr<ADDRINFOA, AddrInfoFree> list(found);
    const ADDRINFOA* first = list.get();  // only the first address is tried

    socket_ = socket(first->ai_family, first->ai_socktype, first->ai_protocol);
    if (socket_ == INVALID_SOCKET) return Failed();
    recorded_ = 0;
    connectError_ = 0;
    event_ = WSACreateEvent();
    if (event_ == WSA_INVALID_EVENT || WSAEventSelect(socket_, event_, kSocketEvents) != 0) {
        Failed();
        Close();
        return false;
    }
    if (connect(socket_, first->ai_addr, static_cast<int>(first->ai_addrlen)) == 0) {
        connected_ = true;
        return true;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        Failed();
        Close();
        return false;
    }
    if (!WaitFor(FD_CONNECT)) {
        Close();
        return false;
    }
    if (connectError_ != 0) {
        lastError_ = connectError_;
        Close();
        return false;
    }
    connected_ = true;
    return true;
}

bool EventSocket::PeerHasClosed() {
    if (!IsOpen()) return true;
    Collect();
    if (recorded_ & FD_CLOSE) return true;
    if (!(recorded_ & FD_READ)) return false;
    // Bytes nobody asked for, or the end of the stream.
    char c;
    int n = recv(socket_, &c, 1, MSG_PEEK);
    return n == 0 || (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK);
}

bool EventSocket::Begin(std::mutex& lock, std::unique_lock<std::mutex>& held) {
    if (!connected_) {
        lastError_ = WSAENOTCONN;
        return false;
    }
    held = std::unique_lock(lock, std::try_to_lock);
    if (!held.owns_lock()) {
        lastError_ = WSAEINPROGRESS;
        return false;
    }
    return true;
}

bool EventSocket::Send(const char* first, size_t firstSize, const char* second, size_t secondSize, size_t* sent) {
    *sent = 0;
    std::unique_lock<std::mutex> held;
    if (!Begin(sendLock_, held)) return false;
    const size_t total = firstSize + secondSize;
    size_t done = 0;
    while (done < total) {
        WSABUF parts[2];
        DWORD count = 0;
        auto part = [](const char* data, size_t size) {
            return WSABUF{ULONG(std::min<size_t>(size, INT_MAX)), const_cast<char*>(data)};
        };
        if (done < firstSize) parts[count++] = part(first + done, firstSize - done);
        const size_t secondDone = done > firstSize ? done - firstSize : 0;
        if (secondSize > secondDone) parts[count++] = part(second + secondDone, secondSize - secondDone);
        DWORD n = 0;
        if (WSASend(socket_, parts, count, &n, 0, nullptr, nullptr) == 0) {
            done += n;
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            *sent = done;
            return Failed();
        }
        // The send re-enabled FD_WRITE: an older one says nothing now.
        recorded_ &= ~FD_WRITE;
        if (!WaitFor(FD_WRITE)) {
            *sent = done;
            return false;
        }
        recorded_ &= ~FD_WRITE;
    }
    *sent = done;
    return true;
}

bool EventSocket::Receive(char* buffer, size_t size, size_t* received) {
    *received = 0;
    std::unique_lock<std::mutex> held;
    if (!Begin(receiveLock_, held)) return false;
    const int want = static_cast<int>(std::min<size_t>(size, INT_MAX));
    bool waited = false;
    int wouldBlock = 0;
    for (;;) {
        int n = Recv(socket_, buffer, want);
        if (n != SOCKET_ERROR) {
            *received = static_cast<size_t>(n);
            return true;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK) return Failed();
        recorded_ &= ~FD_READ;  // the receive re-enabled it
        if (!waited) {
            // Nothing there yet: wait for data or the end of the stream up to the time-out.
            if (!WaitFor(FD_READ | FD_CLOSE)) return false;
            recorded_ &= ~FD_READ;
            waited = true;
            continue;
        }
        // Data was reported but the receive would still block.
        if (++wouldBlock >= kWouldBlockAttempts) {
            lastError_ = WSAEWOULDBLOCK;
            return false;
        }
        Pause(kWouldBlockPause);
    }
}

void EventSocket::Close() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (event_ != WSA_INVALID_EVENT) WSACloseEvent(event_);
    socket_ = INVALID_SOCKET;
    event_ = WSA_INVALID_EVENT;
    recorded_ = 0;
    connected_ = false;
}

}  // namespace skyvane::net
