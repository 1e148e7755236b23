// Window handles, posted and sent messages, timers and modal loops on top of Qt's per-thread
// event queues.
#include "winuser.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <unistd.h>

#include "sysinfo.h"
#include "textconv.h"
#include "winmsg_p.h"

namespace platform {
namespace {

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

void Complete(const std::shared_ptr<SentCall>& call, LRESULT result, bool ok) {
    std::lock_guard<std::mutex> lock(call->sender->mutex);
    call->result = result;
    call->ok = ok;
    call->done = true;
    call->sender->cv.notify_all();
}

struct ThreadQueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~ThreadQueueHolder() {
        if (!queue)
            return;
        std::deque<std::shared_ptr<SentCall>> orphaned;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->dead = true;
            orphaned.swap(queue->incoming);
        }
        // A thread that ends never answers: release everyone still waiting on it.
        for (auto& call : orphaned)
            Complete(call, 0, false);
    }
};
thread_local ThreadQueueHolder tlsQueue;

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!tlsQueue.queue) {
        tlsQueue.queue = std::make_shared<ThreadQueue>();
        tlsQueue.queue->threadId = GetCurrentThreadId();
    }
    return tlsQueue.queue;
}

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

class DefaultTarget : public IWindowMessageTarget {
public:
    LRESULT OnWindowMessage(HWND, UINT, WPARAM, LPARAM) override { return 0; }
    void OnDestroyRequest(HWND hwnd) override {
        QWidget* w = static_cast<QWidget*>(WidgetFromHandle(hwnd));
        DestroyWindowHandle(hwnd);
        if (w)
            w->deleteLater();
    }
};
DefaultTarget g_defaultTarget;

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

std::mutex g_mutex;
std::unordered_map<uintptr_t, WindowEntry> g_windows;
std::unordered_map<const void*, HWND> g_byWidget;
uint32_t g_nextId = 1;
uint64_t g_nextOrder = 1;

uintptr_t Key(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

bool Lookup(HWND hwnd, WindowEntry& out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(Key(hwnd));
    if (it == g_windows.end())
        return false;
    out = it->second;
    return true;
}

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

// Nested loops of this thread, innermost last.
struct ModalLoop {
    QEventLoop* loop;
    std::function<bool()> done;
};
thread_local std::vector<ModalLoop> tlsLoops;
thread_local bool tlsQuitPending = false;
thread_local int tlsQuitCode = 0;

} // namespace

void CheckModalLoops() {
    for (auto& l : tlsLoops)
        if ((l.done && l.done()) || tlsQuitPending)
            l.loop->exit(0);
}

namespace {

template <class R, class F>
R OnWindow(HWND hwnd, R failed, F fn) {
    WindowEntry e;
    if (!Lookup(hwnd, e) || !e.widget)
        return failed;
    if (e.queue.get() == tlsQueue.queue.get())
        return fn(e.widget.data());
    R result = failed;
    RunOnWindowThread(hwnd, [&] {
        WindowEntry again;
        if (Lookup(hwnd, again) && again.widget)
            result = fn(again.widget.data());
    });
    return result;
}

QScreen* ScreenOf(QWidget* w) {
    QScreen* s = w ? w->screen() : nullptr;
    return s ? s : QGuiApplication::primaryScreen();
}

std::atomic<bool> g_busWanted{false};

// WM_ACTIVATEAPP to every top-level window when the program as a whole gains or loses the
// user's focus.
void HookActivation() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || app->thread() != QThread::currentThread())
        return;
    QObject::connect(app, &QGuiApplication::applicationStateChanged, app, [](Qt::ApplicationState state) {
        static int last = -1;
        int active = state == Qt::ApplicationActive ? 1 : 0;
        if (active == last)
            return;
        last = active;
        for (auto& w : detail::LocalTopLevelWindows())
            PostMessage(w.first, WM_ACTIVATEAPP, static_cast<WPARAM>(active), 0);
    });
}

} // namespace

namespace detail {

uint32_t HandlePid(HWND hwnd) { return static_cast<uint32_t>(Key(hwnd) >> 32); }

std::vector<std::pair<HWND, std::wstring>> LocalTopLevelWindows() {
    std::vector<std::pair<uint64_t, std::pair<HWND, std::wstring>>> rows;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& kv : g_windows)
            if (kv.second.topLevel)
                rows.push_back({kv.second.order, {kv.second.hwnd, kv.second.title}});
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<HWND, std::wstring>> out;
    for (auto& r : rows)
        out.push_back(r.second);
    return out;
}

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

HWND RegisterWindowHandle(void* widget, IWindowMessageTarget* target, bool topLevel, const std::wstring& title) {
    WindowEntry e;
    e.widget = static_cast<QWidget*>(widget);
    e.target = target ? target : &g_defaultTarget;
    e.topLevel = topLevel;
    e.title = title;
    e.queue = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        uint64_t value = (static_cast<uint64_t>(::getpid()) << 32) | g_nextId++;
        e.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
        e.order = g_nextOrder++;
    }
    e.receiver = new Receiver(e.hwnd);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows[Key(e.hwnd)] = e;
        if (widget)
            g_byWidget[widget] = e.hwnd;
    }
    if (topLevel && !g_busWanted.exchange(true)) {
        detail::BusEnsureStarted();
        HookActivation();
    }
    return e.hwnd;
}

void DestroyWindowHandle(HWND hwnd) {
    WindowEntry e;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(Key(hwnd));
        if (it == g_windows.end())
            return;
        e = it->second;
        g_windows.erase(it);
        for (auto b = g_byWidget.begin(); b != g_byWidget.end(); ++b)
            if (b->second == hwnd) {
                g_byWidget.erase(b);
                break;
            }
    }
    // Deleting the receiver drops its pending posts and stops its timers.
    if (e.receiver) {
        if (e.receiver->thread() == QThread::currentThread())
            delete e.receiver;
        else
            e.receiver->deleteLater();
    }
    CheckModalLoops();
}

void* WidgetFromHandle(HWND hwnd) {
    WindowEntry e;
    return Lookup(hwnd, e) ? e.widget.data() : nullptr;
}

HWND HandleFromWidget(const void* widget) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_byWidget.find(widget);
    return it == g_byWidget.end() ? nullptr : it->second;
}

bool IsLocalWindow(HWND hwnd) {
    WindowEntry e;
    return Lookup(hwnd, e);
}

BOOL IsWindow(HWND hwnd) {
    if (!hwnd)
        return FALSE;
    if (IsLocalWindow(hwnd))
        return TRUE;
    if (detail::HandlePid(hwnd) == static_cast<uint32_t>(::getpid()))
        return FALSE;
    return detail::BusIsWindow(hwnd, nullptr) ? TRUE : FALSE;
}

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

UINT_PTR SetTimer(HWND hwnd, UINT_PTR idEvent, UINT elapseMs, void*) {
    WindowEntry e;
    if (!hwnd || !Lookup(hwnd, e))
        return 0;
    // Id 0 asks for a fresh one, from a range window code does not pick by hand.
    static std::atomic<UINT_PTR> nextFreshId{0x7FFF0000};
    UINT_PTR id = idEvent ? idEvent : nextFreshId++;
    auto arm = [hwnd, id, elapseMs] {
        WindowEntry again;
        if (!Lookup(hwnd, again))
            return;
        Receiver* r = again.receiver;
        QTimer*& t = r->timers[id];
        if (!t) {
            t = new QTimer(r);
            // A coarse Qt timer may fire up to 5 % early; a window timer never fires early.
            t->setTimerType(Qt::PreciseTimer);
            QObject::connect(t, &QTimer::timeout, r, [hwnd, id] { DeliverQueued(hwnd, WM_TIMER, id, 0); });
        }
        t->start(static_cast<int>(elapseMs ? elapseMs : 1));
    };
    if (e.queue.get() == CurrentQueue().get())
        arm();
    else
        QMetaObject::invokeMethod(e.receiver, arm, Qt::QueuedConnection);
    return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    WindowEntry e;
    if (!hwnd || !Lookup(hwnd, e))
        return FALSE;
    auto kill = [hwnd, id] {
        WindowEntry again;
        if (!Lookup(hwnd, again))
            return false;
        auto it = again.receiver->timers.find(id);
        if (it == again.receiver->timers.end())
            return false;
        delete it->second;
        again.receiver->timers.erase(it);
        return true;
    };
    if (e.queue.get() == CurrentQueue().get())
        return kill() ? TRUE : FALSE;
    // From another thread: wait for the window's thread to say whether the timer existed.
    bool killed = false;
    RunOnWindowThread(hwnd, [&] { killed = kill(); });
    return killed ? TRUE : FALSE;
}

void EnumWindows(const std::function<bool(HWND)>& proc) {
    for (auto& w : detail::LocalTopLevelWindows())
        if (IsLocalWindow(w.first) && !proc(w.first))
            return;
    std::vector<std::pair<HWND, std::wstring>> remote;
    detail::BusListRemote(remote);
    for (auto& w : remote)
        if (!proc(w.first))
            return;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
    if (!proc)
        return FALSE;
    EnumWindows([&](HWND h) { return proc(h, lParam) != FALSE; });
    return TRUE;
}

std::wstring GetWindowText(HWND hwnd) {
    WindowEntry e;
    if (Lookup(hwnd, e))
        return e.title;
    std::wstring title;
    if (hwnd && detail::HandlePid(hwnd) != static_cast<uint32_t>(::getpid()))
        detail::BusIsWindow(hwnd, &title);
    return title;
}

int GetWindowText(HWND hwnd, wchar_t* buffer, int maxCount) {
    if (!buffer || maxCount <= 0)
        return 0;
    std::wstring t = GetWindowText(hwnd);
    size_t n = std::min(t.size(), static_cast<size_t>(maxCount - 1));
    std::copy(t.begin(), t.begin() + n, buffer);
    buffer[n] = 0;
    return static_cast<int>(n);
}

BOOL SetWindowText(HWND hwnd, const std::wstring& text) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_windows.find(Key(hwnd));
        if (it == g_windows.end())
            return FALSE;
        it->second.title = text;
    }
    return OnWindow<BOOL>(hwnd, FALSE, [&](QWidget* w) {
        w->setWindowTitle(QString::fromStdWString(text));
        return TRUE;
    });
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    return OnWindow<BOOL>(hwnd, FALSE, [cmd](QWidget* w) {
        BOOL wasVisible = w->isVisible() ? TRUE : FALSE;
        switch (cmd) {
        case SW_HIDE: w->hide(); break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE: w->showMinimized(); break;
        case SW_SHOWMAXIMIZED: w->showMaximized(); break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            if (w->isMinimized() || w->isMaximized())
                w->showNormal();
            else
                w->show();
            if (w->isWindow()) {
                w->raise();
                w->activateWindow();
            }
            break;
        case SW_SHOWNOACTIVATE:
        case SW_SHOWNA: {
            bool old = w->testAttribute(Qt::WA_ShowWithoutActivating);
            w->setAttribute(Qt::WA_ShowWithoutActivating, true);
            w->show();
            w->setAttribute(Qt::WA_ShowWithoutActivating, old);
            break;
        }
        default:
            w->show();
            if (w->isWindow()) {
                w->raise();
                w->activateWindow();
            }
            break;
        }
        return wasVisible;
    });
}

BOOL IsWindowVisible(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isVisible() ? TRUE : FALSE; });
}
BOOL IsIconic(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isMinimized() ? TRUE : FALSE; });
}
BOOL IsZoomed(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isMaximized() ? TRUE : FALSE; });
}
BOOL EnableWindow(HWND hwnd, BOOL enable) {
    return OnWindow<BOOL>(hwnd, FALSE, [enable](QWidget* w) {
        BOOL wasDisabled = w->isEnabled() ? FALSE : TRUE;
        w->setEnabled(enable != FALSE);
        return wasDisabled;
    });
}
BOOL IsWindowEnabled(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) { return w->isEnabled() ? TRUE : FALSE; });
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* pid) {
    WindowEntry e;
    if (Lookup(hwnd, e)) {
        if (pid)
            *pid = static_cast<DWORD>(::getpid());
        return e.queue->threadId;
    }
    if (pid)
        *pid = hwnd ? detail::HandlePid(hwnd) : 0;
    return 0;
}

BOOL AttachThreadInput(DWORD, DWORD, BOOL) { return TRUE; }

BOOL DestroyWindow(HWND hwnd) {
    WindowEntry e;
    if (!Lookup(hwnd, e))
        return FALSE;
    return RunOnWindowThread(hwnd, [hwnd, e] { e.target->OnDestroyRequest(hwnd); }) ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
    QWidget* w = QApplication::activeWindow();
    return w ? HandleFromWidget(w) : nullptr;
}
HWND GetActiveWindow() { return GetForegroundWindow(); }

BOOL SetForegroundWindow(HWND hwnd) {
    return OnWindow<BOOL>(hwnd, FALSE, [](QWidget* w) {
        QWidget* top = w->window();
        top->raise();
        top->activateWindow();
        return TRUE;
    });
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    SetForegroundWindow(hwnd);
    return old;
}

BOOL FlashWindowEx(const FLASHWINFO* info) {
    if (!info)
        return FALSE;
    return OnWindow<BOOL>(info->hwnd, FALSE, [info](QWidget* w) {
        BOOL wasActive = w->isActiveWindow() ? TRUE : FALSE;
        // The desktop's urgency hint is the closest thing to a flashing taskbar button; it
        // clears itself once the window is activated, as FLASHW_TIMERNOFG asks.
        if (info->dwFlags != FLASHW_STOP && !(info->dwFlags & FLASHW_TIMERNOFG && wasActive))
            QApplication::alert(w->window(), 0);
        return wasActive;
    });
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    if (!rect)
        return FALSE;
    return OnWindow<BOOL>(hwnd, FALSE, [rect](QWidget* w) {
        QRect r = w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        return TRUE;
    });
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    if (!rect)
        return FALSE;
    return OnWindow<BOOL>(hwnd, FALSE, [rect](QWidget* w) {
        *rect = RECT{0, 0, w->width(), w->height()};
        return TRUE;
    });
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return OnWindow<BOOL>(hwnd, FALSE, [=](QWidget* w) {
        if (!(flags & SWP_NOSIZE))
            w->resize(std::max(cx, 0), std::max(cy, 0));
        if (!(flags & SWP_NOMOVE))
            w->move(x, y);
        if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOPMOST && w->isWindow())
            w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        else if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOP)
            w->raise();
        if (flags & SWP_SHOWWINDOW) {
            if (flags & SWP_NOACTIVATE)
                w->setAttribute(Qt::WA_ShowWithoutActivating, true);
            w->show();
        }
        if (flags & SWP_HIDEWINDOW)
            w->hide();
        return TRUE;
    });
}

BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
    QWidget* w = static_cast<QWidget*>(WidgetFromHandle(hwnd));
    if (!w && flags == MONITOR_DEFAULTTONULL)
        return nullptr;
    QScreen* s = nullptr;
    if (w) {
        // The screen holding the window's centre, else the nearest by distance.
        QPoint c = w->isWindow() ? w->frameGeometry().center() : w->mapToGlobal(w->rect().center());
        s = QGuiApplication::screenAt(c);
        if (!s && flags == MONITOR_DEFAULTTONEAREST) {
            long best = -1;
            for (QScreen* cand : QGuiApplication::screens()) {
                QRect g = cand->geometry();
                long dx = std::max({0, g.left() - c.x(), c.x() - g.right()});
                long dy = std::max({0, g.top() - c.y(), c.y() - g.bottom()});
                long d = dx * dx + dy * dy;
                if (best < 0 || d < best) {
                    best = d;
                    s = cand;
                }
            }
        }
    }
    if (!s && flags != MONITOR_DEFAULTTONULL)
        s = QGuiApplication::primaryScreen();
    return s;
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
    if (!monitor || !info)
        return FALSE;
    auto* s = static_cast<QScreen*>(monitor);
    if (!QGuiApplication::screens().contains(s))
        return FALSE;
    QRect g = s->geometry(), a = s->availableGeometry();
    info->rcMonitor = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    info->rcWork = RECT{a.left(), a.top(), a.left() + a.width(), a.top() + a.height()};
    info->dwFlags = s == QGuiApplication::primaryScreen() ? 1 : 0;
    return TRUE;
}

int GetDeviceCaps(HWND hwnd, int index) {
    if (index != LOGPIXELSX && index != LOGPIXELSY)
        return 0;
    QScreen* s = ScreenOf(static_cast<QWidget*>(WidgetFromHandle(hwnd)));
    if (!s)
        return 96;
    double dpi = index == LOGPIXELSX ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
    return static_cast<int>(dpi * s->devicePixelRatio() + 0.5);
}

BOOL GetCursorPos(POINT* point) {
    if (!point)
        return FALSE;
    QPoint p = QCursor::pos();
    *point = POINT{p.x(), p.y()};
    return TRUE;
}

namespace {

// A native child that another library draws into: Qt neither paints nor erases it, so what
// the other library drew stays on screen through every repaint of the window around it.
class NativeChildWidget : public QWidget {
public:
    explicit NativeChildWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_NativeWindow, true);
        setAttribute(Qt::WA_PaintOnScreen, true);
        setAttribute(Qt::WA_NoSystemBackground, true);
        setAttribute(Qt::WA_OpaquePaintEvent, true);
        setAutoFillBackground(false);
        setUpdatesEnabled(false);
        // Widgets added to the parent later (the skin's tree is attached after its controls
        // are made) may get native windows of their own stacked above this one.
        parent->installEventFilter(this);
    }
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == parentWidget() && (e->type() == QEvent::ChildAdded || e->type() == QEvent::Show))
            QMetaObject::invokeMethod(this, [this] { raise(); }, Qt::QueuedConnection);
        return QWidget::eventFilter(watched, e);
    }
};

} // namespace

HWND CreateChildWindow(HWND parent, int x, int y, int cx, int cy, bool visible) {
    QWidget* pw = static_cast<QWidget*>(WidgetFromHandle(parent));
    if (!pw)
        return nullptr;
    auto* w = new NativeChildWidget(pw);
    w->setGeometry(x, y, std::max(cx, 0), std::max(cy, 0));
    HWND h = RegisterWindowHandle(w, nullptr, false, std::wstring());
    // Destroyed with its parent, as a child window is: the handle goes with the widget.
    QObject::connect(w, &QObject::destroyed, [h] { DestroyWindowHandle(h); });
    if (visible) {
        w->show();
        w->raise();
    }
    return h;
}

uintptr_t GetNativeWindowId(HWND hwnd) {
    // Only X11 gives a window id another library can draw into; offscreen ids are fake and
    // Wayland has none.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return 0;
    return OnWindow<uintptr_t>(hwnd, 0, [](QWidget* w) { return static_cast<uintptr_t>(w->winId()); });
}

UINT RegisterWindowMessage(const std::wstring& name) {
    static std::mutex m;
    static std::map<std::wstring, UINT> ids;
    std::lock_guard<std::mutex> lock(m);
    auto it = ids.find(name);
    if (it != ids.end())
        return it->second;
    UINT id = 0xC000 + static_cast<UINT>(ids.size());
    ids[name] = id;
    return id;
}

void PostQuitMessage(int exitCode) {
    tlsQuitPending = true;
    tlsQuitCode = exitCode;
    for (auto& l : tlsLoops)
        l.loop->exit(0);
    if (auto* d = QAbstractEventDispatcher::instance())
        d->wakeUp();
}

int LastQuitCode() { return tlsQuitCode; }

bool RunModalLoop(const std::function<bool()>& done) {
    if (tlsQuitPending && tlsLoops.empty()) {
        tlsQuitPending = false;
        return false;
    }
    if (done && done())
        return true;
    QEventLoop loop;
    tlsLoops.push_back(ModalLoop{&loop, done});
    // Sent calls for this thread may have been queued before any loop ran.
    QTimer::singleShot(0, &loop, [] { detail::DrainSentCalls(); });
    while (!(done && done()) && !tlsQuitPending)
        loop.exec(QEventLoop::AllEvents);
    tlsLoops.pop_back();
    bool quit = tlsQuitPending;
    if (quit && tlsLoops.empty())
        tlsQuitPending = false;
    return !quit;
}

bool PumpMessages(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (tlsQuitPending)
            return false;
        detail::DrainSentCalls();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return !tlsQuitPending;
}

} // namespace platform
