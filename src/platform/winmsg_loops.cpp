// Window timers, nested modal loops and the quit message of each thread.
#include "winuser.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <vector>

#include "winmsg_p.h"
#include "winmsg_registry_p.h"

namespace platform {

using namespace internal;

namespace {

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
