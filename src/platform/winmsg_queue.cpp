// Posted and sent messages: posts land on the window's thread through Qt's event queue; a send
// from another thread waits for the window's thread, handling calls sent to itself meanwhile.
#include "winuser.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <chrono>
#include <memory>
#include <mutex>

#include <unistd.h>

#include "winmsg_p.h"
#include "winmsg_registry_p.h"

namespace platform {
namespace internal {

void Complete(const std::shared_ptr<SentCall>& call, LRESULT result, bool ok) {
    std::lock_guard<std::mutex> lock(call->sender->mutex);
    call->result = result;
    call->ok = ok;
    call->done = true;
    call->sender->cv.notify_all();
}

namespace {

const QEvent::Type kPostedEvent = static_cast<QEvent::Type>(QEvent::User + 0x2D1);
const QEvent::Type kDrainEvent = static_cast<QEvent::Type>(QEvent::User + 0x2D2);

struct PostedEvent : QEvent {
    PostedEvent(HWND h, UINT m, WPARAM w, LPARAM l, void (*r)(WPARAM))
        : QEvent(kPostedEvent), hwnd(h), msg(m), wParam(w), lParam(l), release(r) {}
    // Qt deletes the events still queued for a receiver that goes away: that is where a heap
    // wParam nobody will receive is freed.
    ~PostedEvent() override {
        if (!delivered && release)
            release(wParam);
    }
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    void (*release)(WPARAM);
    bool delivered = false;
};

void RunCall(const std::shared_ptr<SentCall>& call) {
    if (call->fn) {
        WindowEntry e;
        bool alive = Lookup(call->hwnd, e);
        if (alive)
            call->fn();
        Complete(call, 0, alive);
        return;
    }
    WindowEntry e;
    if (!Lookup(call->hwnd, e)) {
        Complete(call, 0, false);
        return;
    }
    LRESULT r = e.target ? e.target->OnWindowMessage(call->hwnd, call->msg, call->wParam, call->lParam) : 0;
    Complete(call, r, true);
}

} // namespace

// Posted messages and timers end modal loops whose condition they made true. False when the
// window was gone.
bool DeliverQueued(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WindowEntry e;
    bool alive = Lookup(hwnd, e) && e.target;
    if (alive)
        e.target->OnWindowMessage(hwnd, msg, wParam, lParam);
    CheckModalLoops();
    return alive;
}

bool Receiver::event(QEvent* e) {
    if (e->type() == kPostedEvent) {
        auto* pe = static_cast<PostedEvent*>(e);
        pe->delivered = DeliverQueued(pe->hwnd, pe->msg, pe->wParam, pe->lParam);
        return true;
    }
    if (e->type() == kDrainEvent) {
        detail::DrainSentCalls();
        CheckModalLoops();
        return true;
    }
    return QObject::event(e);
}


} // namespace internal

using namespace internal;

namespace detail {

bool DrainSentCalls() {
    auto q = CurrentQueue();
    bool any = false;
    for (;;) {
        std::shared_ptr<SentCall> call;
        {
            std::lock_guard<std::mutex> lock(q->mutex);
            if (q->incoming.empty())
                break;
            call = q->incoming.front();
            q->incoming.pop_front();
            call->taken = true;
        }
        RunCall(call);
        any = true;
    }
    return any;
}

} // namespace detail

namespace {

bool PostLocal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, void (*release)(WPARAM)) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(Key(hwnd));
    if (it == g_windows.end())
        return false;
    // Posting under the lock keeps the receiver alive until the event is queued.
    QCoreApplication::postEvent(it->second.receiver, new PostedEvent(hwnd, msg, wParam, lParam, release));
    return true;
}

} // namespace

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, void (*release)(WPARAM)) {
    // A pointer means nothing in another process: owned data goes to local windows only.
    if (hwnd && PostLocal(hwnd, msg, wParam, lParam, release))
        return TRUE;
    if (release)
        release(wParam);
    return FALSE;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd)
        return FALSE;
    if (PostLocal(hwnd, msg, wParam, lParam, nullptr))
        return TRUE;
    if (detail::HandlePid(hwnd) == static_cast<uint32_t>(::getpid()))
        return FALSE;
    // Pointers mean nothing in another process; copied data must be sent, never posted.
    if (msg == WM_COPYDATA)
        return FALSE;
    return detail::BusPost(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

namespace {

bool SendCall(const std::shared_ptr<SentCall>& call) {
    std::shared_ptr<ThreadQueue> target;
    Receiver* receiver = nullptr;
    auto self = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(Key(call->hwnd));
        if (it == g_windows.end())
            return false;
        target = it->second.queue;
        receiver = it->second.receiver;
        call->sender = self;
        std::lock_guard<std::mutex> qlock(target->mutex);
        if (target->dead)
            return false;
        target->incoming.push_back(call);
        QCoreApplication::postEvent(receiver, new QEvent(kDrainEvent));
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(self->mutex);
            if (call->done)
                return call->ok;
            if (self->incoming.empty())
                self->cv.wait_for(lock, std::chrono::milliseconds(50));
            if (call->done)
                return call->ok;
        }
        detail::DrainSentCalls();
        if (!IsLocalWindow(call->hwnd)) {
            // The window went away: withdraw the call unless its handler already runs.
            std::lock_guard<std::mutex> qlock(target->mutex);
            if (!call->taken) {
                for (auto it = target->incoming.begin(); it != target->incoming.end(); ++it)
                    if (*it == call) {
                        target->incoming.erase(it);
                        break;
                    }
                return false;
            }
        }
    }
}

} // namespace

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd)
        return 0;
    WindowEntry e;
    if (Lookup(hwnd, e)) {
        if (e.queue.get() == CurrentQueue().get())
            return e.target->OnWindowMessage(hwnd, msg, wParam, lParam);
        auto call = std::make_shared<SentCall>();
        call->hwnd = hwnd;
        call->msg = msg;
        call->wParam = wParam;
        call->lParam = lParam;
        SendCall(call);
        return call->result;
    }
    if (detail::HandlePid(hwnd) == static_cast<uint32_t>(::getpid()))
        return 0;
    LRESULT result = 0;
    if (msg == WM_COPYDATA)
        detail::BusCopyData(hwnd, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam), result);
    else
        detail::BusSend(hwnd, msg, wParam, lParam, result);
    return result;
}

bool RunOnWindowThread(HWND hwnd, const std::function<void()>& fn) {
    WindowEntry e;
    if (!Lookup(hwnd, e))
        return false;
    if (e.queue.get() == CurrentQueue().get()) {
        fn();
        return true;
    }
    auto call = std::make_shared<SentCall>();
    call->hwnd = hwnd;
    call->fn = fn;
    return SendCall(call);
}

} // namespace platform
