// Startup, the last error, and the socket calls: socket, connect, recv,
// WSASend, closesocket.
#include <climits>
#include <cstring>
#include <vector>

#include "platform/winsock/host.h"
#include "platform/winsock/socket_table.h"
#include "platform/winsock/winsock.h"

using namespace skyvane::winsock;

namespace {

// The descriptor of an open socket; false with WSAENOTSOCK set otherwise.
bool Descriptor(SOCKET s, int* fd) {
    std::lock_guard guard(TableLock());
    if (SocketState* state = FindSocket(s)) {
        *fd = state->fd;
        return true;
    }
    SetLastError(WSAENOTSOCK);
    return false;
}

// Runs f on the socket's state when the socket is still open with descriptor fd.
template <class F>
void WithState(SOCKET s, int fd, F f) {
    std::lock_guard guard(TableLock());
    SocketState* state = FindSocket(s);
    if (state && state->fd == fd) f(*state);
}

}  // namespace

int WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData) {
    const BYTE major = LOBYTE(wVersionRequested);
    const BYTE minor = HIBYTE(wVersionRequested);
    if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
    if (!lpWSAData) return WSAEFAULT;
    *lpWSAData = WSADATA{};
    const bool above = major > 2 || (major == 2 && minor >= 2);
    lpWSAData->wVersion = above ? MAKEWORD(2, 2) : wVersionRequested;
    lpWSAData->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(lpWSAData->szDescription, "WinSock 2.0");
    std::strcpy(lpWSAData->szSystemStatus, "Running");
    AddStartup();
    return 0;
}

int WSACleanup() { return RemoveStartup() ? 0 : Fail(WSANOTINITIALISED); }

// The platform keeps one last error per thread for both.
int WSAGetLastError() { return static_cast<int>(GetLastError()); }
void WSASetLastError(int iError) { SetLastError(static_cast<DWORD>(iError)); }

SOCKET socket(int af, int type, int protocol) {
    if (!Started()) return INVALID_SOCKET;
    int fd = -1;
    if (int error = HostSocket(af, type, protocol, &fd)) {
        Fail(error);
        return INVALID_SOCKET;
    }
    return AddSocket(fd);
}

int connect(SOCKET s, const SOCKADDR* name, int namelen) {
    if (!Started()) return SOCKET_ERROR;
    int fd;
    if (!Descriptor(s, &fd)) return SOCKET_ERROR;
    if (!name || namelen < 0) return Fail(WSAEFAULT);
    const int error = HostConnect(fd, name, static_cast<size_t>(namelen));
    WithState(s, fd, [&](SocketState& state) {
        if (error == 0) state.connected = true;
        if (error == WSAEWOULDBLOCK) state.connecting = true;
    });
    return error ? Fail(error) : 0;
}

int recv(SOCKET s, char* buf, int len, int flags) {
    if (!Started()) return SOCKET_ERROR;
    int fd;
    if (!Descriptor(s, &fd)) return SOCKET_ERROR;
    if (len < 0) return Fail(WSAEINVAL);
    if (!buf && len > 0) return Fail(WSAEFAULT);
    size_t received = 0;
    const int error = HostRecv(fd, buf, static_cast<size_t>(len), flags, &received);
    WithState(s, fd, [&](SocketState& state) {
        state.armed |= FD_READ;  // recv re-enables FD_READ
        if (!error && received == 0 && len > 0) state.peerClosed = true;
    });
    return error ? Fail(error) : static_cast<int>(received);
}

int WSASend(SOCKET s, LPWSABUF lpBuffers, DWORD dwBufferCount, LPDWORD lpNumberOfBytesSent, DWORD dwFlags,
            LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    if (!Started()) return SOCKET_ERROR;
    int fd;
    if (!Descriptor(s, &fd)) return SOCKET_ERROR;
    if (lpOverlapped || lpCompletionRoutine) return Fail(WSAEINVAL);  // overlapped sends are not offered
    if ((!lpBuffers && dwBufferCount > 0) || !lpNumberOfBytesSent) return Fail(WSAEFAULT);
    if (dwFlags != 0) return Fail(WSAEOPNOTSUPP);
    *lpNumberOfBytesSent = 0;
    std::vector<HostBuffer> buffers(dwBufferCount);
    for (DWORD i = 0; i < dwBufferCount; ++i) buffers[i] = {lpBuffers[i].buf, lpBuffers[i].len};
    size_t sent = 0;
    const int error = HostSend(fd, buffers.data(), buffers.size(), &sent);
    // A send that would block re-enables FD_WRITE for when room appears.
    if (error == WSAEWOULDBLOCK) WithState(s, fd, [](SocketState& state) { state.armed |= FD_WRITE; });
    if (error) return Fail(error);
    *lpNumberOfBytesSent = static_cast<DWORD>(sent);
    return 0;
}

int closesocket(SOCKET s) {
    if (!Started()) return SOCKET_ERROR;
    int fd;
    if (!RemoveSocket(s, &fd)) return Fail(WSAENOTSOCK);
    HostClose(fd);
    return 0;
}
