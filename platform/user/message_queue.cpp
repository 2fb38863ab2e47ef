#include "platform/user/message_queue.h"

#include <chrono>
#include <map>

#include "platform/base/log.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "platform/kernel/test_clock.h"
#include "platform/kernel/win_time.h"
#include "platform/user/backend.h"
#include "platform/user/input.h"
#include "platform/user/menu.h"
#include "platform/user/painting.h"
#include "platform/user/user.h"
#include "platform/user/window.h"

namespace skyvane::user {
namespace {

std::mutex g_registryMutex;
std::map<DWORD, std::weak_ptr<ThreadQueue>>& Registry() {
    static auto* registry = new std::map<DWORD, std::weak_ptr<ThreadQueue>>;
    return *registry;
}

bool InRange(UINT message, UINT min, UINT max) { return (min == 0 && max == 0) || (message >= min && message <= max); }

bool ForWindow(HWND msgHwnd, HWND filter) { return !filter || msgHwnd == filter || ::IsChild(filter, msgHwnd); }

UINT Modifiers(const ThreadQueue& q) {
    return (q.keys[VK_MENU] ? MOD_ALT : 0) | (q.keys[VK_CONTROL] ? MOD_CONTROL : 0) | (q.keys[VK_SHIFT] ? MOD_SHIFT : 0);
}

// A key registered as a hot key becomes WM_HOTKEY for its window.
void TakeHotKey(const ThreadQueue& q, MSG& msg) {
    for (auto it = q.hotKeys.rbegin(); it != q.hotKeys.rend(); ++it) {
        if (it->vk != (msg.wParam & 0xFF) || it->modifiers != Modifiers(q) || !IsWindow(it->hwnd)) continue;
        msg = MSG{it->hwnd, WM_HOTKEY, static_cast<WPARAM>(it->id), MAKELPARAM(it->modifiers, it->vk), msg.time, msg.pt};
        return;
    }
}

}  // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::Current() {
    thread_local std::shared_ptr<ThreadQueue> queue;
    if (!queue) {
        queue = std::make_shared<ThreadQueue>();
        queue->threadId_ = GetCurrentThreadId();
        queue->owner_ = std::this_thread::get_id();
        std::lock_guard<std::mutex> lock(g_registryMutex);
        Registry()[queue->threadId_] = queue;
    }
    return queue;
}

std::shared_ptr<ThreadQueue> ThreadQueue::OfThread(DWORD threadId) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = Registry().find(threadId);
    return it == Registry().end() ? nullptr : it->second.lock();
}

void ThreadQueue::Post(const MSG& msg) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(msg);
    }
    Wake();
}

bool ThreadQueue::TakePosted(MSG& out, HWND filter, UINT min, UINT max, bool remove) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = posted_.begin(); it != posted_.end();) {
        // Typed input reaches the window that has the focus now; with no
        // window to take it, it is dropped.
        HWND target = it->hwnd == kToFocus ? (focus && IsWindow(focus) ? focus : active) : it->hwnd;
        if (it->hwnd == kToFocus && !target) {
            it = remove ? posted_.erase(it) : std::next(it);
            continue;
        }
        if (!InRange(it->message, min, max) || !ForWindow(target, filter)) {
            ++it;
            continue;
        }
        out = *it;
        out.hwnd = target;
        if (remove) posted_.erase(it);
        return true;
    }
    return false;
}

void ThreadQueue::DropFor(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = posted_.begin(); it != posted_.end();) it = it->hwnd == hwnd ? posted_.erase(it) : it + 1;
}

LRESULT ThreadQueue::RunOnOwner(std::function<LRESULT()> call) {
    auto sent = std::make_shared<Sent>();
    sent->call = std::move(call);
    std::unique_lock<std::mutex> lock(mutex_);
    sent_.push_back(sent);
    woken_ = true;
    changed_.notify_all();
    lock.unlock();
    TheBackend().Wake();
    lock.lock();
    changed_.wait(lock, [&] { return sent->done; });
    return sent->result;
}

void ThreadQueue::RunSent() {
    for (;;) {
        std::shared_ptr<Sent> next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (sent_.empty()) return;
            next = sent_.front();
            sent_.pop_front();
        }
        LRESULT result = next->call();
        std::lock_guard<std::mutex> lock(mutex_);
        next->result = result;
        next->done = true;
        changed_.notify_all();
    }
}

bool ThreadQueue::HasPending() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !posted_.empty() || !sent_.empty() || woken_;
}

void ThreadQueue::WaitForPost(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [&] { return !posted_.empty() || !sent_.empty() || woken_; };
    if (timeoutMs < 0) changed_.wait(lock, ready);
    else changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    woken_ = false;
}

void ThreadQueue::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
    TheBackend().Wake();
}

void ThreadQueue::Quit(int code) {
    quit = true;
    quitCode = code;
    Wake();
}

bool NextMessage(MSG& msg, HWND filter, UINT min, UINT max, bool remove, bool wait) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    for (;;) {
        q->RunSent();
        TheBackend().Pump();
        if (q->TakePosted(msg, filter, min, max, remove)) {
            q->lastMessageTime = msg.time;
            if (remove && (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP)) q->keys[msg.wParam & 0xFF] = msg.message == WM_KEYDOWN;
            if (remove && msg.message == WM_KEYDOWN) TakeHotKey(*q, msg);
            return true;
        }
        if (q->quit && InRange(WM_QUIT, min, max)) {
            msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), POINT{0, 0}};
            if (remove) q->quit = false;
            return true;
        }
        if (InRange(WM_PAINT, min, max)) {
            if (HWND dirty = WindowNeedingPaint(*q, filter)) {
                msg = MSG{dirty, WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
                return true;
            }
        }
        long long now = TimerNow();
        if (InRange(WM_TIMER, min, max) && q->timers.TakeDue(now, filter, msg, remove)) {
            q->lastMessageTime = msg.time;
            return true;
        }
        PresentDirty(*q);
        if (!wait) return false;
        int timeout = -1;
        if (auto due = q->timers.NextDue()) timeout = static_cast<int>(std::max(0LL, *due - now));
        // Under a frozen test clock the wait for a timer moves the clock instead.
        if (timeout > 0 && !q->HasPending() && testclock::SleepAdvances(static_cast<DWORD>(timeout))) continue;
        TheBackend().Wait(*q, timeout);
    }
}

}  // namespace skyvane::user

using namespace skyvane::user;

BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) return -1;
    NextMessage(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true);
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) return FALSE;
    return NextMessage(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0, false);
}

BOOL WaitMessage() {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    MSG msg;
    if (NextMessage(msg, nullptr, 0, 0, false, false)) return TRUE;
    int timeout = -1;
    if (auto due = q->timers.NextDue()) timeout = static_cast<int>(std::max(0LL, *due - TimerNow()));
    TheBackend().Wait(*q, timeout);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* lpmsg) {
    if (!lpmsg) return 0;
    if (lpmsg->message == WM_TIMER && lpmsg->lParam) {
        reinterpret_cast<TIMERPROC>(lpmsg->lParam)(lpmsg->hwnd, WM_TIMER, lpmsg->wParam, GetTickCount());
        return 0;
    }
    if (!lpmsg->hwnd) return 0;
    Window* w = FindQuiet(lpmsg->hwnd);
    if (!w) return 0;  // posted to a window that has gone
    LRESULT result = SendDirect(lpmsg->hwnd, lpmsg->message, lpmsg->wParam, lpmsg->lParam);
    if (lpmsg->message == WM_PAINT && (w = FindQuiet(lpmsg->hwnd)) && !skyvane::RectEmpty(w->update)) {
        // A procedure that neither painted nor passed WM_PAINT on would be
        // asked again without end.
        SKYVANE_LOG("user", "window %p left its update region after WM_PAINT; validated", (void*)lpmsg->hwnd);
        ValidateRect(lpmsg->hwnd, nullptr);
    }
    return result;
}

BOOL TranslateMessage(const MSG* lpMsg) {
    if (!lpMsg || lpMsg->message != WM_KEYDOWN) return FALSE;
    if (lpMsg->lParam & kTextArrivesSeparately) return FALSE;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    WPARAM vk = lpMsg->wParam;
    WCHAR ch = 0;
    if (vk >= 'A' && vk <= 'Z') ch = static_cast<WCHAR>(shift ? vk : vk + 32);
    else if (vk >= '0' && vk <= '9') ch = static_cast<WCHAR>(vk);
    else if (vk == VK_SPACE || vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE) ch = static_cast<WCHAR>(vk);
    else if (vk == VK_OEM_MINUS || vk == VK_SUBTRACT) ch = shift && vk == VK_OEM_MINUS ? u'_' : u'-';
    else if (vk == 0xBE) ch = u'.';
    else if (vk == 0xBC) ch = u',';
    if (!ch) return FALSE;
    return PostMessageW(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
}

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MSG msg{hWnd, Msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
    GetCursorPos(&msg.pt);
    if (hWnd == HWND_BROADCAST) {
        for (HWND top : TopLevelWindows()) {
            msg.hwnd = top;
            if (auto q = QueueOf(top)) q->Post(msg);
        }
        return TRUE;
    }
    if (!hWnd) {
        ThreadQueue::Current()->Post(msg);
        return TRUE;
    }
    std::shared_ptr<ThreadQueue> q = QueueOf(hWnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    q->Post(msg);
    return TRUE;
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::OfThread(idThread);
    if (!q) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    q->Post(MSG{nullptr, Msg, wParam, lParam, GetTickCount(), POINT{0, 0}});
    return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == HWND_BROADCAST) {
        for (HWND top : TopLevelWindows()) SendMessageW(top, Msg, wParam, lParam);
        return 0;
    }
    std::shared_ptr<ThreadQueue> q = QueueOf(hWnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (q->IsCurrentThread()) return SendDirect(hWnd, Msg, wParam, lParam);
    return q->RunOnOwner([=] { return FindQuiet(hWnd) ? SendDirect(hWnd, Msg, wParam, lParam) : 0; });
}

void PostQuitMessage(int nExitCode) { ThreadQueue::Current()->Quit(nExitCode); }

DWORD GetMessageTime() { return ThreadQueue::Current()->lastMessageTime; }

BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    if (hWnd && !IsWindow(hWnd)) return FALSE;
    std::erase_if(q->hotKeys, [&](const ThreadQueue::HotKey& k) { return k.hwnd == hWnd && k.id == id; });
    q->hotKeys.push_back(ThreadQueue::HotKey{hWnd, id, fsModifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT), vk & 0xFF});
    return TRUE;
}

BOOL UnregisterHotKey(HWND hWnd, int id) {
    std::shared_ptr<ThreadQueue> q = ThreadQueue::Current();
    return std::erase_if(q->hotKeys, [&](const ThreadQueue::HotKey& k) { return k.hwnd == hWnd && k.id == id; }) ? TRUE : FALSE;
}
