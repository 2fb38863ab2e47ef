// WinSock 2: stream sockets, name resolution and network events, the part
// the weather service library's HTTP client calls. Built on non-blocking POSIX
// sockets and poll; errno values and getaddrinfo failures come back as the
// WinSock error numbers.
//
// What callers rely on:
// - Nothing works before WSAStartup: socket, getaddrinfo and the event calls
//   fail with WSANOTINITIALISED until it has succeeded once more often than
//   WSACleanup was called.
// - Failures return SOCKET_ERROR (INVALID_SOCKET, WSA_WAIT_FAILED, a non-zero
//   getaddrinfo result) and leave the number in WSAGetLastError, which is the
//   thread's last error as GetLastError reads it.
// - A socket starts in blocking mode. WSAEventSelect makes it non-blocking:
//   connect then answers WSAEWOULDBLOCK while the connection is under way,
//   and recv and WSASend answer WSAEWOULDBLOCK instead of waiting.
// - Network events are recorded once and not again until re-enabled, as the
//   platform documents: FD_READ by the next recv, FD_WRITE by a send that
//   answered WSAEWOULDBLOCK; FD_CONNECT and FD_CLOSE once per connection.
//   FD_WRITE is also recorded when a connection completes. FD_CLOSE carries 0
//   for an orderly close and WSAECONNRESET when the connection failed; recv
//   then reports the failure itself.
// - Events are recorded while a thread waits in WSAWaitForMultipleEvents or
//   asks with WSAEnumNetworkEvents; there is no background thread.
// - These functions have C++ linkage: the host's C functions of the same
//   names stay untouched for everything else in the process.
#pragma once

#include "platform/base/win_types.h"
#include "platform/winsock/wsa_errors.h"

typedef UINT_PTR SOCKET;
typedef HANDLE WSAEVENT;

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)
#define WSA_INVALID_EVENT ((WSAEVENT) nullptr)

#define MAKEWORD(low, high) ((WORD)(((BYTE)(low)) | (((WORD)((BYTE)(high))) << 8)))
#define LOBYTE(w) ((BYTE)((w) & 0xff))
#define HIBYTE(w) ((BYTE)(((w) >> 8) & 0xff))

// Address families, socket types and protocols, with the platform's numbers
// (AF_INET6 is 23 here, not the host's 10).
#define AF_UNSPEC 0
#define AF_INET 2
#define AF_INET6 23
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17

#define MSG_OOB 0x1
#define MSG_PEEK 0x2

// getaddrinfo flags.
#define AI_PASSIVE 0x01
#define AI_CANONNAME 0x02
#define AI_NUMERICHOST 0x04

// Network events and their bit numbers in WSANETWORKEVENTS.iErrorCode.
#define FD_READ_BIT 0
#define FD_READ (1 << FD_READ_BIT)
#define FD_WRITE_BIT 1
#define FD_WRITE (1 << FD_WRITE_BIT)
#define FD_OOB_BIT 2
#define FD_OOB (1 << FD_OOB_BIT)
#define FD_ACCEPT_BIT 3
#define FD_ACCEPT (1 << FD_ACCEPT_BIT)
#define FD_CONNECT_BIT 4
#define FD_CONNECT (1 << FD_CONNECT_BIT)
#define FD_CLOSE_BIT 5
#define FD_CLOSE (1 << FD_CLOSE_BIT)
#define FD_MAX_EVENTS 10

#define WSA_MAXIMUM_WAIT_EVENTS 64
#define WSA_INFINITE INFINITE
#define WSA_WAIT_EVENT_0 ((DWORD)0)
#define WSA_WAIT_TIMEOUT ((DWORD)258)
#define WSA_WAIT_FAILED ((DWORD)0xFFFFFFFF)

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    USHORT iMaxSockets;
    USHORT iMaxUdpDg;
    char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

// The structures carry their platform names as tags; the lower-case names are
// typedefs, so that they never stand for a second definition of the host's
// own `struct sockaddr` or `struct addrinfo` in one program.
struct SOCKADDR {
    USHORT sa_family;
    char sa_data[14];
};
typedef SOCKADDR sockaddr;

struct IN_ADDR {
    BYTE s_b[4];  // network order
};
struct SOCKADDR_IN {
    SHORT sin_family;
    USHORT sin_port;  // network order
    IN_ADDR sin_addr;
    char sin_zero[8];
};
typedef SOCKADDR_IN sockaddr_in;

struct IN6_ADDR {
    BYTE s6_bytes[16];
};
struct SOCKADDR_IN6 {
    SHORT sin6_family;
    USHORT sin6_port;  // network order
    ULONG sin6_flowinfo;
    IN6_ADDR sin6_addr;
    ULONG sin6_scope_id;
};
typedef SOCKADDR_IN6 sockaddr_in6;

struct ADDRINFOA {
    int ai_flags;
    int ai_family;
    int ai_socktype;
    int ai_protocol;
    size_t ai_addrlen;
    char* ai_canonname;
    SOCKADDR* ai_addr;
    ADDRINFOA* ai_next;
};
typedef ADDRINFOA ADDRINFO;
typedef ADDRINFOA addrinfo;
typedef ADDRINFOA* PADDRINFOA;

struct WSANETWORKEVENTS {
    LONG lNetworkEvents;
    int iErrorCode[FD_MAX_EVENTS];
};
typedef WSANETWORKEVENTS* LPWSANETWORKEVENTS;

struct WSABUF {
    ULONG len;
    char* buf;
};
typedef WSABUF* LPWSABUF;

// Only non-overlapped sends are offered: lpOverlapped must be null.
struct WSAOVERLAPPED;
typedef WSAOVERLAPPED* LPWSAOVERLAPPED;
typedef void (*LPWSAOVERLAPPED_COMPLETION_ROUTINE)(DWORD dwError, DWORD cbTransferred, LPWSAOVERLAPPED lpOverlapped,
                                                   DWORD dwFlags);

// Versions 1.1 to 2.2 are accepted; lpWSAData gets the version agreed (the
// lower of the one asked for and 2.2). An earlier version answers
// WSAVERNOTSUPPORTED, a null lpWSAData WSAEFAULT; both are returned, not set.
int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
// SOCKET_ERROR with WSANOTINITIALISED when there is no startup left to undo.
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int iError);

// A blocking socket. WSAEAFNOSUPPORT for families other than AF_INET and
// AF_INET6, WSAESOCKTNOSUPPORT for other types.
SOCKET socket(int af, int type, int protocol);
// Connects to an AF_INET or AF_INET6 address. A non-blocking socket answers
// SOCKET_ERROR with WSAEWOULDBLOCK while the connection is under way; its
// outcome arrives as FD_CONNECT.
int connect(SOCKET s, const SOCKADDR* name, int namelen);
// The bytes received, 0 when the peer has closed its side, or SOCKET_ERROR.
// MSG_PEEK leaves the bytes where they are. WSAENOTCONN on a socket that is
// not connected.
int recv(SOCKET s, char* buf, int len, int flags);
// Sends the buffers in order as one stream of bytes, without overlapped I/O
// (lpOverlapped and lpCompletionRoutine must be null). A non-blocking socket
// may send fewer bytes than given; *lpNumberOfBytesSent says how many.
int WSASend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
            LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
// WSAENOTSOCK for a socket that is not open.
int closesocket(SOCKET s);

// Resolves a host name or numeric address and a decimal service. Answers 0 or
// the WinSock number of the failure (WSAHOST_NOT_FOUND for an unknown name,
// WSATRY_AGAIN when the name service did not answer), which is also set as the
// last error. The list is freed with freeaddrinfo.
int getaddrinfo(const char* pNodeName, const char* pServiceName, const ADDRINFOA* pHints, PADDRINFOA* ppResult);
void freeaddrinfo(PADDRINFOA pAddrInfo);

// A manual-reset event object, not signalled; WSA_INVALID_EVENT on failure.
WSAEVENT WSACreateEvent();
BOOL WSACloseEvent(WSAEVENT hEvent);
// Associates the socket's network events in lNetworkEvents with hEvent
// (replacing any earlier association and clearing the recorded events), and
// makes the socket non-blocking. lNetworkEvents 0 ends the association.
int WSAEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents);
// Waits until one of the events is signalled (fWaitAll FALSE) or all are
// (TRUE): WSA_WAIT_EVENT_0 plus the index of the lowest signalled one,
// WSA_WAIT_TIMEOUT after dwTimeout milliseconds (WSA_INFINITE: no limit), or
// WSA_WAIT_FAILED. Waiting uses the real clock, also under the test clock.
DWORD WSAWaitForMultipleEvents(DWORD cEvents, const WSAEVENT* lphEvents, BOOL fWaitAll, DWORD dwTimeout,
                               BOOL fAlertable);
// Hands out the network events recorded for the socket, with the error number
// of each, and forgets them; hEventObject, when given, is reset.
int WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents);
