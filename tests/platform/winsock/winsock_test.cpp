// Conformance of the WinSock functions with the platform's documented
// results: startup, name resolution in the platform's layout, blocking
// exchanges, and network events with their re-enabling rules.
#include "platform/winsock/winsock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/kernel/handles.h"
#include "servers/scripted_server.h"

using skyvane::test::FreePort;
using skyvane::test::ScriptedResponse;
using skyvane::test::ScriptedServer;

namespace {

constexpr int kSentinel = 0xdeadbeef;
const char kRequest[] = "GET / HTTP/1.0\r\n\r\n";

SOCKADDR_IN Loopback(uint16_t port) {
    SOCKADDR_IN address{};
    address.sin_family = AF_INET;
    const BYTE portBytes[2] = {BYTE(port >> 8), BYTE(port & 0xFF)};  // network order
    std::memcpy(&address.sin_port, portBytes, 2);
    address.sin_addr = {{127, 0, 0, 1}};
    return address;
}

int Connect(SOCKET s, uint16_t port) {
    SOCKADDR_IN address = Loopback(port);
    return connect(s, reinterpret_cast<const SOCKADDR*>(&address), sizeof address);
}

int SendText(SOCKET s, const std::string& text) {
    WSABUF buffer{static_cast<ULONG>(text.size()), const_cast<char*>(text.data())};
    DWORD sent = kSentinel;
    return WSASend(s, &buffer, 1, &sent, 0, nullptr, nullptr) == 0 ? static_cast<int>(sent) : SOCKET_ERROR;
}

// Waits and collects network events until all of `wanted` were seen or two
// seconds have passed; the error numbers of the last enumeration go to errors.
LONG Collect(SOCKET s, WSAEVENT event, LONG wanted, int* errors = nullptr) {
    LONG seen = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((seen & wanted) != wanted && std::chrono::steady_clock::now() < give_up) {
        if (WSAWaitForMultipleEvents(1, &event, FALSE, 200, FALSE) != WSA_WAIT_EVENT_0) continue;
        WSANETWORKEVENTS events;
        EXPECT_EQ(WSAEnumNetworkEvents(s, event, &events), 0);
        seen |= events.lNetworkEvents;
        if (errors) std::memcpy(errors, events.iErrorCode, sizeof events.iErrorCode);
    }
    return seen;
}

class WinSockTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    }
    void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }
};

}  // namespace

TEST(WinSockStartup, NothingWorksBeforeStartupAndCleanupsBalance) {
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    ADDRINFOA* found = reinterpret_cast<ADDRINFOA*>(&found);
    EXPECT_EQ(getaddrinfo("127.0.0.1", "80", nullptr, &found), WSANOTINITIALISED);
    EXPECT_EQ(WSACreateEvent(), WSA_INVALID_EVENT);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);

    WSADATA data;
    std::memset(&data, 0xCC, sizeof data);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);  // returned, not set
    EXPECT_EQ(WSAStartup(MAKEWORD(2, 0), nullptr), WSAEFAULT);
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 0), &data), 0);
    EXPECT_EQ(data.wVersion, 0x0002);
    EXPECT_EQ(data.wHighVersion, 0x0202);
    ASSERT_EQ(WSAStartup(MAKEWORD(3, 1), &data), 0);
    EXPECT_EQ(data.wVersion, 0x0202);  // the highest the platform has
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);

    // One last error per thread for both spellings.
    WSASetLastError(WSAECONNRESET);
    EXPECT_EQ(GetLastError(), DWORD(WSAECONNRESET));
}

TEST_F(WinSockTest, ResolvesIntoThePlatformsLayout) {
    ADDRINFOA hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOA* found = nullptr;
    ASSERT_EQ(getaddrinfo("127.0.0.1", "8642", &hints, &found), 0);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->ai_family, AF_INET);
    EXPECT_EQ(found->ai_socktype, SOCK_STREAM);
    ASSERT_EQ(found->ai_addrlen, 16u);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(found->ai_addr);
    EXPECT_EQ(found->ai_addr->sa_family, AF_INET);
    EXPECT_EQ(bytes[2], 0x21);  // 8642 in network order
    EXPECT_EQ(bytes[3], 0xC2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 4), 4), std::string("\x7f\0\0\x01", 4));
    EXPECT_EQ(found->ai_next, nullptr);
    freeaddrinfo(found);

    ASSERT_EQ(getaddrinfo("::1", "80", &hints, &found), 0);
    EXPECT_EQ(found->ai_family, 23);  // the platform's AF_INET6, not the host's
    ASSERT_EQ(found->ai_addrlen, 28u);
    const auto* v6 = reinterpret_cast<const SOCKADDR_IN6*>(found->ai_addr);
    EXPECT_EQ(v6->sin6_family, 23);
    EXPECT_EQ(v6->sin6_addr.s6_bytes[15], 1);
    EXPECT_EQ(v6->sin6_addr.s6_bytes[0], 0);
    freeaddrinfo(found);
}

TEST_F(WinSockTest, ResolutionFailuresAreWinSockNumbers) {
    struct Case {
        const char* node;
        const char* service;
        int flags, family;
        int expected;
    } cases[] = {
        {"localhost", "80", AI_NUMERICHOST, AF_UNSPEC, WSAHOST_NOT_FOUND},        // EAI_NONAME
        {"127.0.0.1", "no-such-service", 0, AF_UNSPEC, WSATYPE_NOT_FOUND},        // EAI_SERVICE
        {"127.0.0.1", "80", 0, 99, WSAEAFNOSUPPORT},                              // an unknown family
        {"127.0.0.1", "80", 0x10000, AF_UNSPEC, WSAEINVAL},                       // an unknown flag
    };
    for (const Case& c : cases) {
        ADDRINFOA hints{};
        hints.ai_flags = c.flags;
        hints.ai_family = c.family;
        hints.ai_socktype = SOCK_STREAM;
        ADDRINFOA* found = reinterpret_cast<ADDRINFOA*>(&hints);  // must be cleared
        WSASetLastError(0);
        EXPECT_EQ(getaddrinfo(c.node, c.service, &hints, &found), c.expected) << c.node << " " << c.service;
        EXPECT_EQ(found, nullptr);
        EXPECT_EQ(WSAGetLastError(), c.expected);
    }
    EXPECT_EQ(getaddrinfo("127.0.0.1", "80", nullptr, nullptr), WSAEINVAL);
}

TEST_F(WinSockTest, SocketArgumentsAndClosedSockets) {
    EXPECT_EQ(socket(AF_UNSPEC, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
    EXPECT_EQ(socket(AF_INET, 99, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAESOCKTNOSUPPORT);

    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    char buffer[8];
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
    EXPECT_EQ(connect(s, nullptr, 16), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    SOCKADDR_IN address = Loopback(80);
    EXPECT_EQ(connect(s, reinterpret_cast<const SOCKADDR*>(&address), 8), SOCKET_ERROR);  // too short
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    address.sin_family = 99;
    EXPECT_EQ(connect(s, reinterpret_cast<const SOCKADDR*>(&address), sizeof address), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);

    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    WSANETWORKEVENTS events;
    EXPECT_EQ(WSAEnumNetworkEvents(s, nullptr, &events), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(WinSockTest, BlockingExchange) {
    ScriptedServer server;
    server.Add("HTTP/1.0 200 OK\r\n\r\nhello");
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(s, INVALID_SOCKET);
    ASSERT_EQ(Connect(s, server.port()), 0);

    // Two buffers go out as one stream.
    WSABUF parts[2] = {{16, const_cast<char*>("GET / HTTP/1.0\r\n")}, {2, const_cast<char*>("\r\n")}};
    DWORD sent = kSentinel;
    ASSERT_EQ(WSASend(s, parts, 2, &sent, 0, nullptr, nullptr), 0);
    EXPECT_EQ(sent, 18u);
    EXPECT_EQ(WSASend(s, parts, 2, &sent, 0, reinterpret_cast<LPWSAOVERLAPPED>(&sent), nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);  // no overlapped sends

    std::string answer;
    char buffer[7];
    for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
    EXPECT_EQ(answer, "HTTP/1.0 200 OK\r\n\r\nhello");
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);  // the end of the stream stays
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].bytes, kRequest);
    EXPECT_EQ(closesocket(s), 0);
}

TEST_F(WinSockTest, NetworkEventsAreRecordedOnceUntilReEnabled) {
    ScriptedServer server;
    ScriptedResponse answer;
    answer.bytes = "0123456789";
    answer.delayMs = 100;
    server.Add(answer);
    WSAEVENT event = WSACreateEvent();
    ASSERT_NE(event, WSA_INVALID_EVENT);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAEventSelect(s, event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE), 0);

    // The socket is non-blocking now: the connection completes as FD_CONNECT and FD_WRITE.
    ASSERT_EQ(Connect(s, server.port()), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    int errors[FD_MAX_EVENTS];
    std::fill(std::begin(errors), std::end(errors), kSentinel);
    EXPECT_EQ(Collect(s, event, FD_CONNECT | FD_WRITE, errors), FD_CONNECT | FD_WRITE);
    EXPECT_EQ(errors[FD_CONNECT_BIT], 0);
    // FD_WRITE is not recorded again while no send has blocked.
    EXPECT_EQ(WSAWaitForMultipleEvents(1, &event, FALSE, 50, FALSE), WSA_WAIT_TIMEOUT);

    char buffer[16];
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_EQ(SendText(s, kRequest), 18);
    EXPECT_EQ(Collect(s, event, FD_READ | FD_CLOSE, errors), FD_READ | FD_CLOSE);
    EXPECT_EQ(errors[FD_CLOSE_BIT], 0);  // an orderly close
    // Recorded once: with the bytes still unread, nothing more is signalled ...
    EXPECT_EQ(WSAWaitForMultipleEvents(1, &event, FALSE, 50, FALSE), WSA_WAIT_TIMEOUT);
    // ... until a recv re-enables FD_READ while bytes remain.
    ASSERT_EQ(recv(s, buffer, 4, MSG_PEEK), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(Collect(s, event, FD_READ), FD_READ);
    ASSERT_EQ(recv(s, buffer, sizeof buffer, 0), 10);
    EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);
    EXPECT_EQ(WSAWaitForMultipleEvents(1, &event, FALSE, 50, FALSE), WSA_WAIT_TIMEOUT);

    EXPECT_EQ(closesocket(s), 0);
    EXPECT_TRUE(WSACloseEvent(event));
}

TEST_F(WinSockTest, RefusedConnectionIsTheConnectEventsError) {
    WSAEVENT event = WSACreateEvent();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(WSAEventSelect(s, event, FD_CONNECT | FD_WRITE), 0);
    ASSERT_EQ(Connect(s, FreePort()), SOCKET_ERROR);
    ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    int errors[FD_MAX_EVENTS];
    EXPECT_EQ(Collect(s, event, FD_CONNECT, errors), FD_CONNECT);  // without FD_WRITE
    EXPECT_EQ(errors[FD_CONNECT_BIT], WSAECONNREFUSED);
    closesocket(s);
    WSACloseEvent(event);
}

TEST_F(WinSockTest, WaitingOnSeveralEvents) {
    // The quiet server gets no request and so never answers.
    ScriptedServer quiet, talking;
    talking.Add("now");
    WSAEVENT events[2] = {WSACreateEvent(), WSACreateEvent()};
    SOCKET sockets[2];
    const uint16_t ports[2] = {quiet.port(), talking.port()};
    for (int i = 0; i < 2; ++i) {
        sockets[i] = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(Connect(sockets[i], ports[i]), 0);  // blocking, then selected
        ASSERT_EQ(WSAEventSelect(sockets[i], events[i], FD_READ), 0);
    }
    ASSERT_EQ(SendText(sockets[1], kRequest), 18);
    EXPECT_EQ(WSAWaitForMultipleEvents(2, events, FALSE, 2000, FALSE), WSA_WAIT_EVENT_0 + 1);
    EXPECT_EQ(WSAWaitForMultipleEvents(2, events, TRUE, 50, FALSE), WSA_WAIT_TIMEOUT);  // not both
    // Enumerating resets the event object it is given.
    WSANETWORKEVENTS recorded;
    ASSERT_EQ(WSAEnumNetworkEvents(sockets[1], events[1], &recorded), 0);
    EXPECT_EQ(recorded.lNetworkEvents, FD_READ);
    EXPECT_EQ(WSAWaitForMultipleEvents(1, &events[1], FALSE, 0, FALSE), WSA_WAIT_TIMEOUT);

    EXPECT_EQ(WSAWaitForMultipleEvents(0, events, FALSE, 0, FALSE), WSA_WAIT_FAILED);
    EXPECT_EQ(WSAGetLastError(), WSA_INVALID_PARAMETER);
    EXPECT_EQ(WSAWaitForMultipleEvents(WSA_MAXIMUM_WAIT_EVENTS + 1, events, FALSE, 0, FALSE), WSA_WAIT_FAILED);
    EXPECT_EQ(WSAEnumNetworkEvents(sockets[1], events[1], nullptr), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
    for (SOCKET s : sockets) closesocket(s);
    for (WSAEVENT e : events) EXPECT_TRUE(WSACloseEvent(e));
    EXPECT_FALSE(WSACloseEvent(events[0]));  // closed already
    EXPECT_EQ(WSAGetLastError(), WSA_INVALID_HANDLE);
    EXPECT_EQ(WSAWaitForMultipleEvents(1, events, FALSE, 0, FALSE), WSA_WAIT_FAILED);
    EXPECT_EQ(WSAGetLastError(), WSA_INVALID_HANDLE);
    SOCKET unselected = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(WSAEventSelect(unselected, events[0], FD_READ), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);  // no such event object
    closesocket(unselected);
}
