// Each thread's message queue: posted messages, messages sent from other
// threads, WM_QUIT, the thread's timers, focus and capture.
#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/user/timers.h"
#include "platform/user/user_types.h"

namespace skyvane::user {

class ThreadQueue {
public:
    // This thread's queue, made on first use.
    static std::shared_ptr<ThreadQueue> Current();
    // The queue of a thread that has one.
    static std::shared_ptr<ThreadQueue> OfThread(DWORD threadId);

    DWORD ThreadId() const { return threadId_; }
    bool IsCurrentThread() const { return std::this_thread::get_id() == owner_; }

    // From any thread: queue a message and wake the owner.
    void Post(const MSG& msg);
    // Owner: the first posted message that passes the filter.
    bool TakePosted(MSG& out, HWND filter, UINT min, UINT max, bool remove);
    // Drops posted messages for a window that is gone.
    void DropFor(HWND hwnd);

    // From another thread: runs the call on the owner's thread (the next time
    // it looks at its queue) and waits for its result.
    LRESULT RunOnOwner(std::function<LRESULT()> call);
    // Owner: runs the calls other threads sent.
    void RunSent();

    // Owner: waits until something is posted or sent, or timeoutMs passes (-1: without end).
    void WaitForPost(int timeoutMs);
    bool HasPending();
    // Wakes the owner's wait.
    void Wake();

    void Quit(int code);
    bool quit = false;
    int quitCode = 0;

    // Owner only.
    TimerList timers;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    DWORD lastMessageTime = 0;
    int modalDepth = 0;
    // The keys as the messages taken so far left them (GetKeyState).
    std::array<bool, 256> keys{};
    struct HotKey {
        HWND hwnd;
        int id;
        UINT modifiers;
        UINT vk;
    };
    std::vector<HotKey> hotKeys;  // the last registered wins

private:
    struct Sent {
        std::function<LRESULT()> call;
        LRESULT result = 0;
        bool done = false;
    };
    DWORD threadId_ = 0;
    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<MSG> posted_;
    std::deque<std::shared_ptr<Sent>> sent_;
    bool woken_ = false;
};

// One step of the loop shared by GetMessageW and PeekMessageW: true with a
// message, false when there is none (and, with wait, only after WM_QUIT).
bool NextMessage(MSG& msg, HWND filter, UINT min, UINT max, bool remove, bool wait);

}  // namespace skyvane::user
