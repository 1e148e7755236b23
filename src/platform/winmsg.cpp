// Window handles: the registry of this process's windows, their titles, enumeration with the
// other running instances, and destruction.
#include "winuser.h"

#include <QApplication>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include <unistd.h>

#include "sysinfo.h"
#include "winmsg_p.h"
#include "winmsg_registry_p.h"

namespace platform {
namespace internal {

std::mutex g_mutex;
std::unordered_map<uintptr_t, WindowEntry> g_windows;

namespace {

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

std::unordered_map<const void*, HWND> g_byWidget;
uint32_t g_nextId = 1;
uint64_t g_nextOrder = 1;

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

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!tlsQueue.queue) {
        tlsQueue.queue = std::make_shared<ThreadQueue>();
        tlsQueue.queue->threadId = GetCurrentThreadId();
    }
    return tlsQueue.queue;
}

bool Lookup(HWND hwnd, WindowEntry& out) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_windows.find(Key(hwnd));
    if (it == g_windows.end())
        return false;
    out = it->second;
    return true;
}


} // namespace internal

using namespace internal;

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

} // namespace platform
