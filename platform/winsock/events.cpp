// Network events: event objects, their association with sockets, waiting for
// them and handing out what was recorded.
#include <chrono>
#include <climits>
#include <memory>

#include "platform/winsock/host.h"
#include "platform/winsock/socket_table.h"
#include "platform/winsock/winsock.h"

using namespace skyvane::winsock;

WSAEVENT WSACreateEvent() {
    if (!Started()) return WSA_INVALID_EVENT;
    return skyvane::MakeHandle(std::make_unique<NetworkEvent>());
}

BOOL WSACloseEvent(WSAEVENT hEvent) {
    bool isEvent;
    {
        std::lock_guard guard(TableLock());
        isEvent = FindEvent(hEvent) != nullptr;
    }
    if (!isEvent) {
        SetLastError(WSA_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(hEvent);
}

int WSAEventSelect(SOCKET s, WSAEVENT hEventObject, LONG lNetworkEvents) {
    if (!Started()) return SOCKET_ERROR;
    std::lock_guard guard(TableLock());
    SocketState* state = FindSocket(s);
    if (!state) return Fail(WSAENOTSOCK);
    if (lNetworkEvents != 0 && !FindEvent(hEventObject)) return Fail(WSAEINVAL);
    if (int error = HostSetNonBlocking(state->fd)) return Fail(error);
    state->event = lNetworkEvents ? hEventObject : WSA_INVALID_EVENT;
    state->selected = lNetworkEvents;
    state->armed = kAllNetworkEvents;
    state->recorded = 0;
    for (int& e : state->errors) e = 0;
    return 0;
}

DWORD WSAWaitForMultipleEvents(DWORD cEvents, const WSAEVENT* lphEvents, BOOL fWaitAll, DWORD dwTimeout,
                               BOOL fAlertable) {
    if (!Started()) return WSA_WAIT_FAILED;
    if (cEvents == 0 || cEvents > WSA_MAXIMUM_WAIT_EVENTS || !lphEvents) {
        SetLastError(WSA_INVALID_PARAMETER);
        return WSA_WAIT_FAILED;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(dwTimeout == WSA_INFINITE ? 0 : dwTimeout);
    bool looked = false;
    for (;;) {
        std::vector<SOCKET> sockets;
        {
            std::lock_guard guard(TableLock());
            DWORD first = cEvents;
            bool all = true;
            for (DWORD i = 0; i < cEvents; ++i) {
                NetworkEvent* event = FindEvent(lphEvents[i]);
                if (!event) {
                    SetLastError(WSA_INVALID_HANDLE);
                    return WSA_WAIT_FAILED;
                }
                if (!event->signalled) all = false;
                else if (first == cEvents) first = i;
            }
            if (fWaitAll ? all : first < cEvents) return WSA_WAIT_EVENT_0 + (fWaitAll ? 0 : first);
            sockets = SocketsOf(lphEvents, cEvents);
        }
        int wait = -1;
        if (dwTimeout != WSA_INFINITE) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 && looked) return WSA_WAIT_TIMEOUT;
            wait = static_cast<int>(left < 0 ? 0 : left > INT_MAX ? INT_MAX : left);
        }
        if (int error = Refresh(sockets, wait)) {
            SetLastError(static_cast<DWORD>(error));
            return WSA_WAIT_FAILED;
        }
        looked = true;
    }
}

int WSAEnumNetworkEvents(SOCKET s, WSAEVENT hEventObject, LPWSANETWORKEVENTS lpNetworkEvents) {
    if (!Started()) return SOCKET_ERROR;
    {
        std::lock_guard guard(TableLock());
        if (!FindSocket(s)) return Fail(WSAENOTSOCK);
        if (!lpNetworkEvents) return Fail(WSAEFAULT);
        if (hEventObject && !FindEvent(hEventObject)) return Fail(WSA_INVALID_HANDLE);
    }
    // What has happened by now counts, without waiting for more.
    if (int error = Refresh({s}, 0)) return Fail(error);
    std::lock_guard guard(TableLock());
    SocketState* state = FindSocket(s);
    if (!state) return Fail(WSAENOTSOCK);
    lpNetworkEvents->lNetworkEvents = state->recorded;
    for (int i = 0; i < FD_MAX_EVENTS; ++i) {
        lpNetworkEvents->iErrorCode[i] = state->errors[i];
        state->errors[i] = 0;
    }
    state->recorded = 0;
    if (NetworkEvent* event = FindEvent(hEventObject)) event->signalled = false;
    return 0;
}
