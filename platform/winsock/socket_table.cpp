#include "platform/winsock/socket_table.h"

#include <atomic>
#include <unordered_map>

#include "platform/winsock/host.h"

namespace skyvane::winsock {
namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<SOCKET, SocketState> sockets;
};

Table& TheTable() {
    static Table* table = new Table;  // never destroyed: sockets may close during exit
    return *table;
}

std::atomic<int> g_startups{0};

// What a wait asks the host about for one socket; 0 when nothing can happen.
unsigned Wanted(const SocketState& s) {
    if (s.broken) return 0;
    if (s.connecting) return kWritable;  // the connection's outcome
    if (!s.connected) return 0;
    const LONG open = s.selected & s.armed;
    unsigned want = 0;
    if (open & FD_WRITE) want |= kWritable;
    if (!s.peerClosed) {
        if (open & FD_READ) want |= kReadable;
        if (open & FD_CLOSE) want |= kPeerClosed;
    }
    return want;
}

void Update(SocketState& s, unsigned found) {
    if (s.connecting) {
        if (!(found & (kWritable | kFailed | kHungUp))) return;
        const int error = HostConnectResult(s.fd);
        s.connecting = false;
        if (error == 0) {
            s.connected = true;
            Record(s, FD_CONNECT_BIT, 0);
            Record(s, FD_WRITE_BIT, 0);  // a new connection can be written to
        } else {
            s.broken = true;
            Record(s, FD_CONNECT_BIT, error);
        }
        return;
    }
    if (found & kFailed) {
        // The error itself stays with the socket for the next recv to report.
        s.peerClosed = s.broken = true;
        Record(s, FD_CLOSE_BIT, WSAECONNRESET);
    }
    if (found & kReadable) {
        if (HostBytesAvailable(s.fd) > 0) {
            Record(s, FD_READ_BIT, 0);
        } else {
            s.peerClosed = true;  // readable with nothing to read: the end of the stream
            Record(s, FD_CLOSE_BIT, 0);
        }
    }
    if (found & (kPeerClosed | kHungUp)) {
        s.peerClosed = true;
        Record(s, FD_CLOSE_BIT, 0);
    }
    if (found & kHungUp) s.broken = true;
    if (found & kWritable) Record(s, FD_WRITE_BIT, 0);
}

}  // namespace

NetworkEvent::~NetworkEvent() {
    const WSAEVENT handle = static_cast<KernelObject*>(this);  // the value MakeHandle handed out
    std::lock_guard guard(TableLock());
    for (auto& [socket, state] : TheTable().sockets) {
        if (state.event != handle) continue;
        state.event = WSA_INVALID_EVENT;
        state.selected = 0;
    }
}

std::mutex& TableLock() { return TheTable().lock; }

SocketState* FindSocket(SOCKET s) {
    auto& sockets = TheTable().sockets;
    auto it = sockets.find(s);
    return it == sockets.end() ? nullptr : &it->second;
}

NetworkEvent* FindEvent(WSAEVENT event) { return dynamic_cast<NetworkEvent*>(LookupHandle(event)); }

SOCKET AddSocket(int fd) {
    std::lock_guard guard(TableLock());
    SocketState state;
    state.fd = fd;
    TheTable().sockets[static_cast<SOCKET>(fd)] = state;
    return static_cast<SOCKET>(fd);
}

bool RemoveSocket(SOCKET s, int* fd) {
    std::lock_guard guard(TableLock());
    auto& sockets = TheTable().sockets;
    auto it = sockets.find(s);
    if (it == sockets.end()) return false;
    *fd = it->second.fd;
    sockets.erase(it);
    return true;
}

std::vector<SOCKET> SocketsOf(const WSAEVENT* events, DWORD count) {
    std::vector<SOCKET> found;
    for (const auto& [socket, state] : TheTable().sockets) {
        for (DWORD i = 0; i < count; ++i) {
            if (state.event == events[i]) {
                found.push_back(socket);
                break;
            }
        }
    }
    return found;
}

void Record(SocketState& state, int bit, int error) {
    const LONG event = 1 << bit;
    if (!(state.selected & event) || !(state.armed & event)) return;
    state.armed &= ~event;
    state.recorded |= event;
    state.errors[bit] = error;
    if (NetworkEvent* e = FindEvent(state.event)) e->signalled = true;
}

int Refresh(const std::vector<SOCKET>& sockets, int timeoutMs) {
    std::vector<HostWait> waits;
    std::vector<SOCKET> owners;
    {
        std::lock_guard guard(TableLock());
        for (SOCKET socket : sockets) {
            SocketState* s = FindSocket(socket);
            if (!s) continue;
            // After the end of the stream, bytes still waiting need no poll.
            if (s->peerClosed && (s->selected & s->armed & FD_READ) && HostBytesAvailable(s->fd) > 0)
                Record(*s, FD_READ_BIT, 0);
            if (unsigned want = Wanted(*s)) {
                waits.push_back({s->fd, want, 0});
                owners.push_back(socket);
            }
        }
    }
    if (int error = HostPoll(waits.data(), waits.size(), timeoutMs)) return error;
    std::lock_guard guard(TableLock());
    for (size_t i = 0; i < waits.size(); ++i) {
        SocketState* s = FindSocket(owners[i]);
        if (s && s->fd == waits[i].fd && waits[i].found) Update(*s, waits[i].found);
    }
    return 0;
}

bool Started() {
    if (g_startups.load() > 0) return true;
    SetLastError(WSANOTINITIALISED);
    return false;
}

void AddStartup() { ++g_startups; }

bool RemoveStartup() {
    int count = g_startups.load();
    while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
    }
    return count > 0;
}

int Fail(int error) {
    SetLastError(static_cast<DWORD>(error));
    return SOCKET_ERROR;
}

}  // namespace skyvane::winsock
