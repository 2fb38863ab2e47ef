// The POSIX calls behind the WinSock substitute, and the mapping of their
// failures to WinSock numbers.
#include "platform/winsock/host.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/winsock/wsa_errors.h"

namespace skyvane::winsock {
namespace {

// The platform's numbers, where they differ from or may differ from the host's.
constexpr int kPlatformInet = 2;
constexpr int kPlatformInet6 = 23;
constexpr int kPlatformMsgOob = 0x1;
constexpr int kPlatformMsgPeek = 0x2;
constexpr int kPlatformResolveFlags = 0x1 | 0x2 | 0x4;  // AI_PASSIVE, AI_CANONNAME, AI_NUMERICHOST
constexpr size_t kAddressIn = 16;                         // SOCKADDR_IN
constexpr size_t kAddressIn6 = 28;                        // SOCKADDR_IN6

static_assert(sizeof(sockaddr_in) == kAddressIn && sizeof(sockaddr_in6) == kAddressIn6,
              "the platform's address layouts are the host's, but for the family number");
static_assert(AI_PASSIVE == 0x1 && AI_CANONNAME == 0x2 && AI_NUMERICHOST == 0x4);

int HostFamily(int platformFamily) {
    switch (platformFamily) {
        case 0: return AF_UNSPEC;
        case kPlatformInet: return AF_INET;
        case kPlatformInet6: return AF_INET6;
        default: return -1;
    }
}

int PlatformFamily(int hostFamily) { return hostFamily == AF_INET6 ? kPlatformInet6 : kPlatformInet; }

int LastErrno() { return WsaErrorFromErrno(errno); }

}  // namespace

int WsaErrorFromErrno(int err) {
    switch (err) {
        case 0: return 0;
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;  // a closed or foreign descriptor
        case EACCES:
        case EPERM: return WSAEACCES;
        case EFAULT: return WSAEFAULT;
        case EINVAL: return WSAEINVAL;
        case EMFILE:
        case ENFILE: return WSAEMFILE;
#if EAGAIN != EWOULDBLOCK
        case EWOULDBLOCK:
#endif
        case EAGAIN: return WSAEWOULDBLOCK;
        case EINPROGRESS: return WSAEWOULDBLOCK;  // a non-blocking connect under way
        case EALREADY: return WSAEALREADY;
        case ENOTSOCK: return WSAENOTSOCK;
        case EDESTADDRREQ: return WSAEDESTADDRREQ;
        case EMSGSIZE: return WSAEMSGSIZE;
        case EPROTOTYPE: return WSAEPROTOTYPE;
        case ENOPROTOOPT: return WSAENOPROTOOPT;
        case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
        case ESOCKTNOSUPPORT: return WSAESOCKTNOSUPPORT;
        case EOPNOTSUPP: return WSAEOPNOTSUPP;
        case EPFNOSUPPORT: return WSAEPFNOSUPPORT;
        case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETDOWN: return WSAENETDOWN;
        case ENETUNREACH: return WSAENETUNREACH;
        case ENETRESET: return WSAENETRESET;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET:
        case EPIPE: return WSAECONNRESET;  // writing after the peer reset the connection
        case ENOBUFS:
        case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ESHUTDOWN: return WSAESHUTDOWN;
        case ETOOMANYREFS: return WSAETOOMANYREFS;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case ELOOP: return WSAELOOP;
        case ENAMETOOLONG: return WSAENAMETOOLONG;
        case EHOSTDOWN: return WSAEHOSTDOWN;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        case ENOTEMPTY: return WSAENOTEMPTY;
        case EUSERS: return WSAEUSERS;
        case EDQUOT: return WSAEDQUOT;
        case ESTALE: return WSAESTALE;
        case EREMOTE: return WSAEREMOTE;
        default: return WSASYSCALLFAILURE;
    }
}

int WsaErrorFromGai(int gaiError, int savedErrno) {
    switch (gaiError) {
        case 0: return 0;
        case EAI_NONAME: return WSAHOST_NOT_FOUND;
#ifdef EAI_NODATA
        case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
        case EAI_AGAIN: return WSATRY_AGAIN;
        case EAI_FAIL: return WSANO_RECOVERY;
        case EAI_FAMILY: return WSAEAFNOSUPPORT;
        case EAI_SOCKTYPE: return WSAESOCKTNOSUPPORT;
        case EAI_SERVICE: return WSATYPE_NOT_FOUND;
        case EAI_BADFLAGS: return WSAEINVAL;
        case EAI_MEMORY: return WSA_NOT_ENOUGH_MEMORY;
        case EAI_OVERFLOW: return WSAEFAULT;
        case EAI_SYSTEM: return savedErrno ? WsaErrorFromErrno(savedErrno) : WSANO_RECOVERY;
        default: return WSANO_RECOVERY;
    }
}

int HostSocket(int family, int type, int protocol, int* fd) {
    *fd = -1;
    const int hostFamily = HostFamily(family);
    if (hostFamily == -1 || hostFamily == AF_UNSPEC) return WSAEAFNOSUPPORT;
    if (type != SOCK_STREAM && type != SOCK_DGRAM) return WSAESOCKTNOSUPPORT;
    *fd = ::socket(hostFamily, type | SOCK_CLOEXEC, protocol);
    return *fd < 0 ? LastErrno() : 0;
}

void HostClose(int fd) { ::close(fd); }

int HostSetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return LastErrno();
    return 0;
}

int HostConnect(int fd, const void* address, size_t length) {
    if (!address || length < sizeof(uint16_t)) return WSAEFAULT;
    uint16_t family;
    std::memcpy(&family, address, sizeof family);
    const int hostFamily = HostFamily(family);
    const size_t needed = hostFamily == AF_INET ? kAddressIn : hostFamily == AF_INET6 ? kAddressIn6 : 0;
    if (needed == 0) return WSAEAFNOSUPPORT;
    if (length < needed) return WSAEFAULT;
    sockaddr_storage host{};
    std::memcpy(&host, address, needed);
    host.ss_family = static_cast<sa_family_t>(hostFamily);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&host), static_cast<socklen_t>(needed)) == 0) return 0;
    return LastErrno();
}

int HostConnectResult(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return LastErrno();
    return WsaErrorFromErrno(error);
}

int HostRecv(int fd, char* buffer, size_t size, int wsaFlags, size_t* received) {
    *received = 0;
    if (wsaFlags & ~(kPlatformMsgOob | kPlatformMsgPeek)) return WSAEOPNOTSUPP;
    const int flags = ((wsaFlags & kPlatformMsgPeek) ? MSG_PEEK : 0) | ((wsaFlags & kPlatformMsgOob) ? MSG_OOB : 0);
    for (;;) {
        ssize_t n = ::recv(fd, buffer, size, flags);
        if (n >= 0) {
            *received = static_cast<size_t>(n);
            return 0;
        }
        if (errno != EINTR) return LastErrno();
    }
}

int HostSend(int fd, const HostBuffer* buffers, size_t count, size_t* sent) {
    *sent = 0;
    std::vector<iovec> parts(count);
    for (size_t i = 0; i < count; ++i) parts[i] = {const_cast<char*>(buffers[i].data), buffers[i].size};
    msghdr message{};
    message.msg_iov = parts.data();
    message.msg_iovlen = count;
    for (;;) {
        // The platform has no SIGPIPE: a reset connection is an error number.
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n >= 0) {
            *sent = static_cast<size_t>(n);
            return 0;
        }
        if (errno != EINTR) return LastErrno();
    }
}

size_t HostBytesAvailable(int fd) {
    int available = 0;
    return ::ioctl(fd, FIONREAD, &available) == 0 && available > 0 ? static_cast<size_t>(available) : 0;
}

int HostPoll(HostWait* waits, size_t count, int timeoutMs) {
    std::vector<pollfd> fds(count);
    for (size_t i = 0; i < count; ++i) {
        short events = 0;
        if (waits[i].want & kReadable) events |= POLLIN;
        if (waits[i].want & kWritable) events |= POLLOUT;
        if (waits[i].want & kPeerClosed) events |= POLLRDHUP;
        fds[i] = {waits[i].fd, events, 0};
        waits[i].found = 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    int rc;
    for (;;) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        rc = ::poll(fds.data(), count, wait);
        if (rc >= 0) break;
        if (errno != EINTR) return LastErrno();
    }
    for (size_t i = 0; rc > 0 && i < count; ++i) {
        const short r = fds[i].revents;
        unsigned found = 0;
        if (r & POLLIN) found |= kReadable;
        if (r & POLLOUT) found |= kWritable;
        if (r & POLLRDHUP) found |= kPeerClosed;
        if (r & POLLERR) found |= kFailed;
        if (r & POLLHUP) found |= kHungUp;
        waits[i].found = found;
    }
    return 0;
}

int HostResolve(const char* node, const char* service, int flags, int family, int socktype, int protocol,
                std::vector<HostAddress>* found) {
    found->clear();
    if (flags & ~kPlatformResolveFlags) return WSAEINVAL;
    const int hostFamily = HostFamily(family);
    if (hostFamily == -1) return WSAEAFNOSUPPORT;
    addrinfo hints{};
    hints.ai_flags = flags;
    hints.ai_family = hostFamily;
    hints.ai_socktype = socktype;
    hints.ai_protocol = protocol;
    addrinfo* list = nullptr;
    errno = 0;
    int rc = ::getaddrinfo(node, service, &hints, &list);
    if (rc != 0) return WsaErrorFromGai(rc, errno);
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
        HostAddress a;
        a.family = PlatformFamily(ai->ai_family);
        a.socktype = ai->ai_socktype;
        a.protocol = ai->ai_protocol;
        if (ai->ai_canonname) a.canonicalName = ai->ai_canonname;
        const size_t size = ai->ai_family == AF_INET ? kAddressIn : kAddressIn6;
        a.address.assign(reinterpret_cast<const unsigned char*>(ai->ai_addr),
                         reinterpret_cast<const unsigned char*>(ai->ai_addr) + size);
        const uint16_t platformFamily = static_cast<uint16_t>(a.family);
        std::memcpy(a.address.data(), &platformFamily, sizeof platformFamily);
        found->push_back(std::move(a));
    }
    ::freeaddrinfo(list);
    return found->empty() ? WSANO_DATA : 0;
}

}  // namespace skyvane::winsock
