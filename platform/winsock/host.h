// The host side of the WinSock substitute: the only place that calls the
// POSIX socket functions. It speaks in plain numbers so that it never needs
// the platform's socket declarations, whose names are the host's own; every
// call answers 0 or a WinSock error number.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace skyvane::winsock {

// The WinSock number for an errno value of the socket calls; values without a
// WinSock counterpart become WSASYSCALLFAILURE.
int WsaErrorFromErrno(int err);
// The WinSock number for a getaddrinfo result (the platform's getaddrinfo
// answers these numbers itself); EAI_SYSTEM goes through savedErrno.
int WsaErrorFromGai(int gaiError, int savedErrno);

// family, type and protocol are the platform's numbers.
int HostSocket(int family, int type, int protocol, int* fd);
void HostClose(int fd);
int HostSetNonBlocking(int fd);
// address: a SOCKADDR_IN or SOCKADDR_IN6 in the platform's layout. A
// non-blocking connection under way answers WSAEWOULDBLOCK.
int HostConnect(int fd, const void* address, size_t length);
// The outcome of a non-blocking connection that has finished.
int HostConnectResult(int fd);
// wsaFlags: MSG_PEEK and MSG_OOB with the platform's numbers.
int HostRecv(int fd, char* buffer, size_t size, int wsaFlags, size_t* received);
struct HostBuffer {
    const char* data;
    size_t size;
};
int HostSend(int fd, const HostBuffer* buffers, size_t count, size_t* sent);
// Bytes that a receive would hand out at once.
size_t HostBytesAvailable(int fd);

// What a wait asks for and what it found.
enum HostReadiness : unsigned {
    kReadable = 1,
    kWritable = 2,
    kPeerClosed = 4,  // the peer will send nothing more
    kFailed = 8,      // the connection failed or was reset
    kHungUp = 16,
};
struct HostWait {
    int fd;          // negative: not waited for
    unsigned want;   // HostReadiness bits
    unsigned found;  // set by HostPoll
};
// Waits up to timeoutMs (negative: no limit) until one of the descriptors is
// ready. A time-out is success with nothing found.
int HostPoll(HostWait* waits, size_t count, int timeoutMs);

struct HostAddress {
    int flags = 0;
    int family = 0;  // the platform's numbers
    int socktype = 0;
    int protocol = 0;
    std::string canonicalName;
    std::vector<unsigned char> address;  // in the platform's layout
};
// Resolves with getaddrinfo; hints in the platform's numbers.
int HostResolve(const char* node, const char* service, int flags, int family, int socktype, int protocol,
                std::vector<HostAddress>* found);

}  // namespace skyvane::winsock
