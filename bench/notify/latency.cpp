// The "UnReadMessage" page call with its avatar already on disk, with the hover list closed and
// then open over twenty unread conversations: what the call costs the window thread (its
// submission plus the dispatch that runs it once the avatar worker has answered, in wall and
// in the thread's CPU time), and the tip's latency from the page call, which the hover
// rebuild is held against.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>

#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "notify/cframetipui.h"
#include "notifyrig.h"
#include "platform/winuser.h"

namespace {

const int kConversations = 20;

// Notes the moment the tip's widget is shown (the Show event arrives inside show()).
class ShowStamp : public QObject {
public:
    Clock::time_point at{};
    bool seen = false;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && !seen) {
            at = Clock::now();
            seen = true;
        }
        return QObject::eventFilter(o, e);
    }
};

struct SCallTimes {
    std::vector<double> tip, whole, cpu;
};

// `calls` rounds over the conversations: each call moves one from below the visible four to the top.
SCallTimes TimeCalls(const SNotifyRig& rig, const std::vector<std::vector<std::wstring>>& args, int calls) {
    CMainFrameUI* frame = rig.frame;
    CFrameHoverUI* hover = frame->GetHoverWnd();
    CFrameTipUI* tip = frame->GetTipWnd();
    auto* tipWidget = static_cast<QWidget*>(platform::WidgetFromHandle(tip->GetHWND()));
    ShowStamp stamp;
    tipWidget->installEventFilter(&stamp);
    SCallTimes times;
    for (int n = 0; n < calls; ++n) {
        const std::vector<std::wstring>& a = args[static_cast<size_t>(n) % args.size()];
        tip->HideMessage();
        platform::PumpMessages(1); // the previous call's rows are laid out in this turn
        stamp.seen = false;
        TimedApp()->Watch([frame] { return frame->HasPendingPageCalls(); });
        auto t0 = Clock::now();
        frame->OnPageCall(L"UnReadMessage", a);
        double submitUs = MicrosSince(t0);
        // The call waits in the page-call queue until the avatar worker has answered; once
        // the queue is idle, the call has run to its end.
        while (frame->HasPendingPageCalls())
            QCoreApplication::processEvents();
        times.whole.push_back(submitUs + TimedApp()->WatchedUs());
        times.cpu.push_back(submitUs + TimedApp()->WatchedCpuUs());
        times.tip.push_back(std::chrono::duration<double, std::micro>((stamp.seen ? stamp.at : Clock::now()) - t0).count());
        CMsgInfo r;
        if (!hover->GetMessage(a[0], r) || std::to_wstring(r.m_nCount) != a[2] || !stamp.seen)
            std::printf("warning: call %d left its conversation or the tip behind\n", n);
    }
    tipWidget->removeEventFilter(&stamp);
    return times;
}

} // namespace

double MeasureTipLatency(const SNotifyRig& rig, int calls) {
    CMainFrameUI* frame = rig.frame;
    CFrameHoverUI* hover = frame->GetHoverWnd();
    std::vector<std::vector<std::wstring>> args;
    for (int i = 0; i < kConversations; ++i)
        args.push_back({L"bench-c" + std::to_wstring(i), L"顾客 " + std::to_wstring(i), L"1", L"请问明天的酒店还有房吗？",
                        rig.Url("/avatar/bench" + std::to_string(i) + ".png")});
    // Downloads and caches the avatars; the twenty conversations are now unread.
    for (const auto& a : args)
        frame->OnPageCall(L"UnReadMessage", a);
    rig.RunUntilIdle(100);
    // Each call brings a count its conversation has not had yet.
    int next = 2;
    auto counted = [&] {
        std::vector<std::vector<std::wstring>> seq;
        for (int n = 0; n < calls; ++n) {
            auto a = args[static_cast<size_t>(n) % args.size()];
            a[2] = std::to_wstring(next + n / kConversations);
            seq.push_back(a);
        }
        next += calls / kConversations + 1;
        return seq;
    };

    hover->HideHover();
    SCallTimes closed = TimeCalls(rig, counted(), calls);
    // The merchant rests the mouse on the tray icon: the list stays open throughout.
    hover->ShowHover();
    platform::KillTimer(hover->GetHWND(), CFrameHoverUI::kHoverTimer);
    SCallTimes open = TimeCalls(rig, counted(), calls);
    hover->HideHover();

    std::printf("UnReadMessage, avatar on disk, %d unread conversations:\n", kConversations);
    PrintSpread("  page call -> tip shown (hover list closed)", closed.tip);
    PrintSpread("  whole call on the window thread (list closed)", closed.whole);
    PrintSpread("  the same in the thread's CPU time (list closed)", closed.cpu);
    PrintSpread("  page call -> tip shown (hover list open)", open.tip);
    PrintSpread("  whole call on the window thread (list open)", open.whole);
    PrintSpread("  the same in the thread's CPU time (list open)", open.cpu);
    PrintRatio("UnReadMessage whole call p99, hover list open over 20 (vs the list closed)",
               Percentile(open.whole, 0.99), Percentile(closed.whole, 0.99), "us", "p99 <= 1000 us");
    return Percentile(closed.tip, 0.5);
}
