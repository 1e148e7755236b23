// Window handles and messages inside one process: posting from workers, sending across threads,
// timers, modal loops, destroyed handles and threads that ended.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sysinfo.h"
#include "platform/winuser.h"

using namespace platform;

namespace {

// Records what a handle received, and on which thread.
class Recorder : public IWindowMessageTarget {
public:
    LRESULT OnWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard<std::mutex> lock(m);
            got.push_back({msg, wParam, lParam, GetCurrentThreadId()});
        }
        if (onMessage)
            return onMessage(msg, wParam, lParam);
        return static_cast<LRESULT>(wParam) * 2;
    }
    void OnDestroyRequest(HWND hwnd) override { DestroyWindowHandle(hwnd); }
    struct Rec {
        UINT msg;
        WPARAM w;
        LPARAM l;
        DWORD thread;
    };
    size_t Count(UINT msg) {
        std::lock_guard<std::mutex> lock(m);
        size_t n = 0;
        for (auto& r : got)
            n += r.msg == msg;
        return n;
    }
    std::mutex m;
    std::vector<Rec> got;
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;
};

// Processes events until `cond` or the time runs out.
bool PumpUntil(const std::function<bool()>& cond, int ms = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        PumpMessages(5);
    }
    return true;
}

struct Window {
    explicit Window(bool topLevel = false, const std::wstring& title = L"") {
        hwnd = RegisterWindowHandle(nullptr, &rec, topLevel, title);
    }
    ~Window() { DestroyWindowHandle(hwnd); }
    Recorder rec;
    HWND hwnd;
};

constexpr UINT kMsg = WM_USER + 7;

} // namespace

TEST(WinMsg, PostsFromWorkersArriveOnTheWindowThreadInPostingOrder) {
    Window w;
    const DWORD mainThread = GetCurrentThreadId();
    const int kThreads = 4, kEach = 300;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                ASSERT_TRUE(PostMessage(w.hwnd, kMsg, static_cast<WPARAM>(t), i));
        });
    for (auto& th : workers)
        th.join();
    ASSERT_TRUE(PumpUntil([&] { return w.rec.Count(kMsg) == kThreads * kEach; }));
    std::map<WPARAM, LPARAM> last;
    for (auto& r : w.rec.got) {
        EXPECT_EQ(r.thread, mainThread);
        auto it = last.find(r.w);
        if (it != last.end()) {
            EXPECT_EQ(r.l, it->second + 1) << "posts of one worker overtook each other";
        }
        last[r.w] = r.l;
    }
}

TEST(WinMsg, SendFromWorkerBlocksUntilHandledAndReturnsTheResult) {
    Window w;
    std::atomic<bool> handledBeforeReturn{false};
    std::atomic<LRESULT> result{0};
    w.rec.onMessage = [&](UINT, WPARAM wp, LPARAM) -> LRESULT {
        QThread::msleep(50);
        handledBeforeReturn = true;
        return static_cast<LRESULT>(wp + 1);
    };
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        result = SendMessage(w.hwnd, kMsg, 41, 0);
        EXPECT_TRUE(handledBeforeReturn.load());
        returned = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(w.rec.got.size(), 1u);
    EXPECT_EQ(w.rec.got[0].thread, GetCurrentThreadId());
}

TEST(WinMsg, SendOnTheOwningThreadCallsTheHandlerDirectly) {
    Window w;
    EXPECT_EQ(SendMessage(w.hwnd, kMsg, 21, 0), 42);
    EXPECT_EQ(w.rec.got.size(), 1u);
}

TEST(WinMsg, SendsCrossingEachOtherDoNotDeadlock) {
    // A window on a worker thread answers a send from the main thread by sending back to a
    // window of the main thread, which is blocked in its own send meanwhile.
    Window mainWnd;
    mainWnd.rec.onMessage = [](UINT, WPARAM wp, LPARAM) -> LRESULT { return static_cast<LRESULT>(wp) + 100; };
    std::atomic<HWND> workerWnd{nullptr};
    std::atomic<bool> stop{false};
    Recorder workerRec;
    workerRec.onMessage = [&](UINT, WPARAM wp, LPARAM) -> LRESULT {
        return SendMessage(mainWnd.hwnd, kMsg, wp + 1, 0) + 1;
    };
    std::thread worker([&] {
        HWND h = RegisterWindowHandle(nullptr, &workerRec, false, L"");
        workerWnd = h;
        while (!stop)
            PumpMessages(10);
        DestroyWindowHandle(h);
    });
    ASSERT_TRUE(PumpUntil([&] { return workerWnd.load() != nullptr; }));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessage(workerWnd.load(), kMsg, 1, 0), 1 + 1 + 100 + 1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    stop = true;
    worker.join();
}

TEST(WinMsg, SendToAWindowWhoseThreadEndedReturnsAtOnce) {
    Recorder rec;
    HWND orphan = nullptr;
    std::thread([&] { orphan = RegisterWindowHandle(nullptr, &rec, false, L""); }).join();
    ASSERT_NE(orphan, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessage(orphan, kMsg, 5, 0), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_TRUE(rec.got.empty());
    // And from a worker too, while the handle is still registered.
    std::thread([&] { EXPECT_EQ(SendMessage(orphan, kMsg, 5, 0), 0); }).join();
    DestroyWindowHandle(orphan);
}

TEST(WinMsg, ASenderWaitingOnAWindowThatIsDestroyedIsReleased) {
    // The window's thread stays alive but never pumps again after destroying the window.
    Recorder rec;
    std::atomic<HWND> h{nullptr};
    std::atomic<bool> destroy{false}, done{false};
    std::thread owner([&] {
        h = RegisterWindowHandle(nullptr, &rec, false, L"");
        while (!destroy)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        DestroyWindowHandle(h);
        while (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    while (!h)
        std::this_thread::yield();
    std::thread sender([&] {
        EXPECT_EQ(SendMessage(h, kMsg, 1, 0), 0);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    destroy = true;
    sender.join();
    owner.join();
    EXPECT_TRUE(rec.got.empty());
}

TEST(WinMsg, DestroyedHandlesRefusePostsAndDropPendingOnes) {
    Recorder rec;
    HWND h = RegisterWindowHandle(nullptr, &rec, false, L"");
    ASSERT_TRUE(IsWindow(h));
    ASSERT_TRUE(PostMessage(h, kMsg, 1, 0));
    DestroyWindowHandle(h);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(PostMessage(h, kMsg, 2, 0));
    EXPECT_EQ(SendMessage(h, kMsg, 3, 0), 0);
    EXPECT_EQ(SetTimer(h, 1, 10), 0u);
    EXPECT_FALSE(KillTimer(h, 1));
    PumpMessages(50);
    EXPECT_TRUE(rec.got.empty());
    EXPECT_FALSE(PostMessage(nullptr, kMsg, 0, 0));
    EXPECT_FALSE(PostMessage(reinterpret_cast<HWND>(0x1234), kMsg, 0, 0));
}

TEST(WinMsg, TimersRepeatUntilKilledAndStopWithTheWindow) {
    Window w;
    ASSERT_EQ(SetTimer(w.hwnd, 7, 10), 7u);
    ASSERT_TRUE(PumpUntil([&] { return w.rec.Count(WM_TIMER) >= 3; }));
    for (auto& r : w.rec.got)
        EXPECT_EQ(r.w, 7u);
    EXPECT_TRUE(KillTimer(w.hwnd, 7));
    EXPECT_FALSE(KillTimer(w.hwnd, 7));
    size_t n = w.rec.Count(WM_TIMER);
    PumpMessages(60);
    EXPECT_EQ(w.rec.Count(WM_TIMER), n);

    // Re-arming an id replaces its period; destroying the window ends it.
    Recorder rec;
    HWND h = RegisterWindowHandle(nullptr, &rec, false, L"");
    SetTimer(h, 1, 10);
    SetTimer(h, 1, 10);
    DestroyWindowHandle(h);
    PumpMessages(60);
    EXPECT_EQ(rec.Count(WM_TIMER), 0u);
}

TEST(WinMsg, TimerArmedFromAWorkerFiresOnTheWindowThread) {
    Window w;
    std::thread([&] { EXPECT_EQ(SetTimer(w.hwnd, 3, 10), 3u); }).join();
    ASSERT_TRUE(PumpUntil([&] { return w.rec.Count(WM_TIMER) >= 1; }));
    EXPECT_EQ(w.rec.got[0].thread, GetCurrentThreadId());
    KillTimer(w.hwnd, 3);
}

TEST(WinMsg, QuitEndsEveryNestedLoopAndIsRememberedWhenNoLoopRuns) {
    Window w;
    int innerEnded = 0, outerEnded = 0;
    bool innerResult = true;
    w.rec.onMessage = [&](UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == kMsg) {
            PostMessage(w.hwnd, kMsg + 1, 0, 0);
            innerResult = RunModalLoop([] { return false; });
            ++innerEnded;
        } else if (msg == kMsg + 1) {
            PostQuitMessage(3);
        }
        return 0;
    };
    PostMessage(w.hwnd, kMsg, 0, 0);
    bool outer = RunModalLoop([] { return false; });
    ++outerEnded;
    EXPECT_FALSE(innerResult);
    EXPECT_FALSE(outer);
    EXPECT_EQ(innerEnded, 1);
    EXPECT_EQ(LastQuitCode(), 3);

    // Consumed: the next loop runs normally until its condition holds.
    bool flag = false;
    PostMessage(w.hwnd, kMsg + 2, 0, 0);
    w.rec.onMessage = [&](UINT, WPARAM, LPARAM) -> LRESULT { flag = true; return 0; };
    EXPECT_TRUE(RunModalLoop([&] { return flag; }));

    // A quit posted while no loop runs ends the next loop at once.
    PostQuitMessage(0);
    EXPECT_FALSE(RunModalLoop([] { return false; }));
}

TEST(WinMsg, ModalLoopEndsWhenItsWindowIsDestroyed) {
    Recorder rec;
    HWND h = RegisterWindowHandle(nullptr, &rec, false, L"");
    rec.onMessage = [&](UINT, WPARAM, LPARAM) -> LRESULT {
        DestroyWindowHandle(h);
        return 0;
    };
    PostMessage(h, kMsg, 0, 0);
    EXPECT_TRUE(RunModalLoop([h] { return !IsWindow(h); }));
}

TEST(WinMsg, EnumWindowsListsTopLevelWindowsInCreationOrderWithTitles) {
    Window a(true, L"QDX_IM"), child(false, L"child"), b(true, L"second");
    std::vector<HWND> seen;
    EnumWindows([&](HWND h) {
        if (h == a.hwnd || h == b.hwnd || h == child.hwnd)
            seen.push_back(h);
        return true;
    });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], a.hwnd);
    EXPECT_EQ(seen[1], b.hwnd);
    EXPECT_EQ(GetWindowText(a.hwnd), L"QDX_IM");
    wchar_t buf[4];
    EXPECT_EQ(GetWindowText(b.hwnd, buf, 4), 3);
    EXPECT_STREQ(buf, L"sec");

    int calls = 0;
    EnumWindows(
        [](HWND, LPARAM p) -> BOOL {
            ++*reinterpret_cast<int*>(p);
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&calls));
    EXPECT_EQ(calls, 1);
}

TEST(WinMsg, RegisteredMessagesAreStablePerName) {
    UINT a = RegisterWindowMessage(L"TaskbarCreated");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage(L"TaskbarCreated"), a);
    EXPECT_NE(RegisterWindowMessage(L"Other"), a);
}
