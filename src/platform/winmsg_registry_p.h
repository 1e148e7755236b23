#pragma once
// Shared by the window-message files: the handle registry, the per-thread queues of sent calls
// and the receiver object that carries a window's posted messages and timers.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "winuser.h"

namespace platform {
namespace internal {

struct ThreadQueue;

// One SendMessage (or RunOnWindowThread) waiting for the target thread.
struct SentCall {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> fn;
    LRESULT result = 0;
    bool ok = false;
    bool taken = false;  // guarded by the target queue's mutex
    bool done = false;   // guarded by the sender queue's mutex
    std::shared_ptr<ThreadQueue> sender;
};

// Calls sent to one thread, and the thread's liveness.
struct ThreadQueue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::shared_ptr<SentCall>> incoming;
    bool dead = false;
    DWORD threadId = 0;
};

// Answers a sent call and wakes its sender.
void Complete(const std::shared_ptr<SentCall>& call, LRESULT result, bool ok);
// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();

// Lives on the window's thread; posted messages, sent calls and timers arrive through it.
class Receiver : public QObject {
public:
    explicit Receiver(HWND hwnd) : m_hwnd(hwnd) {}
    bool event(QEvent* e) override;
    std::map<UINT_PTR, QTimer*> timers;
    HWND m_hwnd;
};

struct WindowEntry {
    HWND hwnd = nullptr;
    QPointer<QWidget> widget;
    IWindowMessageTarget* target = nullptr;
    bool topLevel = false;
    std::wstring title;
    std::shared_ptr<ThreadQueue> queue;
    Receiver* receiver = nullptr;
    uint64_t order = 0;
};

// The registry: every local window by handle value, and by widget.
extern std::mutex g_mutex;
extern std::unordered_map<uintptr_t, WindowEntry> g_windows;

inline uintptr_t Key(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }
bool Lookup(HWND hwnd, WindowEntry& out);
// Hands a posted message or timer tick to the window; false when the window was gone.
bool DeliverQueued(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs `fn` on the widget of `hwnd`, on the window's own thread; `failed` when it is gone.
template <class R, class F>
R OnWindow(HWND hwnd, R failed, F fn) {
    WindowEntry e;
    if (!Lookup(hwnd, e) || !e.widget)
        return failed;
    if (e.queue == CurrentQueue())
        return fn(e.widget.data());
    R result = failed;
    RunOnWindowThread(hwnd, [&] {
        WindowEntry again;
        if (Lookup(hwnd, again) && again.widget)
            result = fn(again.widget.data());
    });
    return result;
}

} // namespace internal
} // namespace platform
