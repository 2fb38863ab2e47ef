// The mapping of the host's errno values and getaddrinfo results to WinSock
// numbers.
#include "platform/winsock/host.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "platform/winsock/wsa_errors.h"

using namespace skyvane::winsock;

TEST(WinSockHost, ErrnoAndResolverFailuresMapToWinSockNumbers) {
    struct Case {
        int from, expected;
    };
    const Case errnoCases[] = {
        {0, 0},
        {ECONNREFUSED, WSAECONNREFUSED},
        {ETIMEDOUT, WSAETIMEDOUT},
        {EHOSTUNREACH, WSAEHOSTUNREACH},
        {ENETUNREACH, WSAENETUNREACH},
        {EPIPE, WSAECONNRESET},          // writing after a reset: the platform has no SIGPIPE
        {EAGAIN, WSAEWOULDBLOCK},
        {EINPROGRESS, WSAEWOULDBLOCK},   // a non-blocking connect under way
        {EBADF, WSAENOTSOCK},
        {ENOMEM, WSAENOBUFS},
        {ENOENT, WSASYSCALLFAILURE},     // no WinSock counterpart
    };
    for (const Case& c : errnoCases) EXPECT_EQ(WsaErrorFromErrno(c.from), c.expected) << c.from;
    const Case resolverCases[] = {
        {EAI_NONAME, WSAHOST_NOT_FOUND},
        {EAI_AGAIN, WSATRY_AGAIN},
        {EAI_FAIL, WSANO_RECOVERY},
        {EAI_SERVICE, WSATYPE_NOT_FOUND},
        {EAI_MEMORY, WSA_NOT_ENOUGH_MEMORY},
    };
    for (const Case& c : resolverCases) EXPECT_EQ(WsaErrorFromGai(c.from, 0), c.expected) << c.from;
    EXPECT_EQ(WsaErrorFromGai(EAI_SYSTEM, ECONNREFUSED), WSAECONNREFUSED);
    EXPECT_EQ(WsaErrorFromGai(EAI_SYSTEM, 0), WSANO_RECOVERY);
}
