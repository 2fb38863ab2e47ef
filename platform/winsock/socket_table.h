// What the WinSock functions share: the open sockets with their network event
// records, the event objects, and the startup count. One lock guards every
// socket's state and every event's signal.
#pragma once

#include <mutex>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/winsock/winsock.h"

namespace skyvane::winsock {

constexpr LONG kAllNetworkEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// An event object of WSACreateEvent. It lives in the kernel's handle table,
// so that WSACloseEvent is CloseHandle.
class NetworkEvent : public KernelObject {
public:
    ~NetworkEvent() override;  // ends the associations that name it
    bool signalled = false;
};

struct SocketState {
    int fd = -1;
    WSAEVENT event = WSA_INVALID_EVENT;  // associated by WSAEventSelect
    LONG selected = 0;                   // the network events asked for
    LONG armed = kAllNetworkEvents;      // those that may be recorded now
    LONG recorded = 0;                   // recorded and not yet handed out
    int errors[FD_MAX_EVENTS] = {};
    bool connecting = false;
    bool connected = false;
    bool peerClosed = false;  // the peer sends nothing more
    bool broken = false;      // failed or hung up: nothing more will happen
};

std::mutex& TableLock();
// The state of an open socket, or nullptr; the caller holds the lock.
SocketState* FindSocket(SOCKET s);
// The event object behind a handle, or nullptr; the caller holds the lock.
NetworkEvent* FindEvent(WSAEVENT event);
SOCKET AddSocket(int fd);
// Forgets the socket; false when it is not open. *fd gets its descriptor.
bool RemoveSocket(SOCKET s, int* fd);
// The sockets associated with any of the events; the caller holds the lock.
std::vector<SOCKET> SocketsOf(const WSAEVENT* events, DWORD count);

// Records a network event that the socket selected and that is armed, and
// signals the associated event object. The caller holds the lock.
void Record(SocketState& state, int bit, int error);

// Finds out what has happened on the sockets, waiting up to timeoutMs
// (negative: no limit) for something, and records it. 0 or a WinSock number.
int Refresh(const std::vector<SOCKET>& sockets, int timeoutMs);

// True after WSAStartup; otherwise false with WSANOTINITIALISED set.
bool Started();
void AddStartup();
bool RemoveStartup();

// Sets the last error; returns SOCKET_ERROR for the caller to pass on.
int Fail(int error);

}  // namespace skyvane::winsock
