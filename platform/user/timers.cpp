#include "platform/user/timers.h"

#include <algorithm>

#include "platform/kernel/win_time.h"
#include "platform/user/message_queue.h"
#include "platform/user/user.h"
#include "platform/user/window.h"
#include "platform/kernel/handles.h"

namespace skyvane::user {

long long TimerNow() { return static_cast<long long>(GetTickCount64()); }

UINT_PTR TimerList::Set(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc, long long now) {
    if (elapse == 0) elapse = 1;
    if (!hwnd) {
        // Thread timers get ids of their own; an id given that is one of them restarts it.
        auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return !t.hwnd && t.id == id; });
        if (id == 0 || it == timers_.end()) id = nextThreadTimerId_++;
    }
    for (Timer& t : timers_) {
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = now + elapse;
            t.order = nextOrder_++;
            return id;
        }
    }
    timers_.push_back(Timer{hwnd, id, elapse, proc, now + elapse, nextOrder_++});
    return id;
}

bool TimerList::Kill(HWND hwnd, UINT_PTR id) {
    auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

void TimerList::KillAll(HWND hwnd) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                  timers_.end());
}

bool TimerList::TakeDue(long long now, HWND filter, MSG& out, bool remove) {
    Timer* best = nullptr;
    for (Timer& t : timers_) {
        if (t.due > now || (filter && t.hwnd != filter)) continue;
        if (!best || t.due < best->due || (t.due == best->due && t.order < best->order)) best = &t;
    }
    if (!best) return false;
    out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), static_cast<DWORD>(now), POINT{0, 0}};
    if (remove) {
        best->due = now + best->elapse;
        best->order = nextOrder_++;
    }
    return true;
}

std::optional<long long> TimerList::NextDue() const {
    std::optional<long long> next;
    for (const Timer& t : timers_)
        if (!next || t.due < *next) next = t.due;
    return next;
}

}  // namespace skyvane::user

using namespace skyvane::user;

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    std::shared_ptr<ThreadQueue> queue;
    if (hWnd) {
        Window* w = Find(hWnd);
        if (!w) return 0;
        if (!w->queue->IsCurrentThread()) {
            SetLastError(ERROR_ACCESS_DENIED);  // a window's timers belong to its own thread
            return 0;
        }
        queue = w->queue;
    } else {
        queue = ThreadQueue::Current();
    }
    UINT_PTR id = queue->timers.Set(hWnd, nIDEvent, uElapse, lpTimerFunc, TimerNow());
    return hWnd ? (nIDEvent ? nIDEvent : 1) : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current();
    if (!queue->timers.Kill(hWnd, uIDEvent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
