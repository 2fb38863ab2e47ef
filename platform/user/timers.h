// A thread's timers, due by the tick count (which the test clock moves).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/user/user_types.h"

namespace skyvane::user {

class TimerList {
public:
    // Starts or restarts a timer; returns its id (a new one when hwnd is NULL).
    UINT_PTR Set(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc, long long now);
    bool Kill(HWND hwnd, UINT_PTR id);
    void KillAll(HWND hwnd);
    // The timer due soonest (by due time, then by age) that passes the filter,
    // as a WM_TIMER message, when it is due at `now`; removing re-arms it
    // `elapse` after now.
    bool TakeDue(long long now, HWND filter, MSG& out, bool remove);
    // When the next timer is due.
    std::optional<long long> NextDue() const;

private:
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        UINT elapse;
        TIMERPROC proc;
        long long due;
        std::uint64_t order;
    };
    std::vector<Timer> timers_;
    std::uint64_t nextOrder_ = 0;
    UINT_PTR nextThreadTimerId_ = 1;
};

// The clock timers run on: milliseconds of GetTickCount64.
long long TimerNow();

}  // namespace skyvane::user
