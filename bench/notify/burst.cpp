// Bursts of page calls made by script in the page the main window shows, through the page's
// own bridge, and the cost of one "UnReadMessage" as the hover list grows.
#include <QCoreApplication>

#include <cmath>
#include <cstdio>

#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "notifyrig.h"
#include "platform/winuser.h"

namespace {

const int kBurstConversations = 20;

bool HasCount(CFrameHoverUI* hover, const std::wstring& id, int count) {
    CMsgInfo r;
    return hover->GetMessage(id, r) && r.m_nCount == count;
}

// Runs the loop until `done` holds, at most `ms`; whether it held.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        platform::PumpMessages(1);
    }
    return true;
}

// Waits until the page is there and its bridge delivers.
bool PageReady(const SNotifyRig& rig) {
    CFrameHoverUI* hover = rig.frame->GetHoverWnd();
    for (int i = 0; i < 100; ++i) {
        rig.RunInPage(L"window.shopdeskNative('UnReadMessage', 'burst-ready', 'ready', '1', 'ready', '')");
        if (PumpUntil([&] { return HasCount(hover, L"burst-ready", 1); }, 200)) {
            rig.frame->OnPageCall(L"MessageRead", {L"burst-ready"});
            return true;
        }
    }
    return false;
}

// `calls` calls of the page, one script; the conversations take turns, each count one higher.
std::wstring BurstScript(int calls, const char* name) {
    return L"(function () { var n = " + std::to_wstring(calls) + L", k = " + std::to_wstring(kBurstConversations) +
           L"; for (var i = 0; i < n; i++) { var c = i % k; " + (std::string(name) == "UnReadMessage"
               ? std::wstring(L"window.shopdeskNative('UnReadMessage', 'burst' + c, '顾客 ' + c, "
                              L"String(Math.floor(i / k) + 1), '消息 ' + i, location.origin + '/avatar/burst' + c + "
                              L"'.png');")
               : std::wstring(L"window.shopdeskNative('ReLoginState', 'fail');")) +
           L" } window.shopdeskNative('UnReadMessage', 'burst-end', 'end', String(n), 'end', ''); })();";
}

// The longest stall of the window thread from the script's start until its last call has run
// and the loop has had a turn after it.
double BurstStall(const SNotifyRig& rig, int calls, const char* name, double& elapsedMs) {
    CFrameHoverUI* hover = rig.frame->GetHoverWnd();
    StallProbe probe;
    probe.Start();
    auto t0 = Clock::now();
    rig.RunInPage(BurstScript(calls, name));
    bool done = PumpUntil([&] { return HasCount(hover, L"burst-end", calls) && !rig.frame->HasPendingPageCalls(); },
                          60000);
    elapsedMs = MicrosSince(t0) / 1000.0;
    platform::PumpMessages(20);
    double stall = probe.StopMs();
    if (!done)
        std::printf("warning: the burst of %s did not finish\n", name);
    rig.frame->OnPageCall(L"MessageRead", {L"burst-end"});
    return stall;
}

unsigned EventsAtServer(const DemoPeer& server) { return server.GetJson("/demo/events/count")["count"].asUInt(); }

unsigned BurstEventsAtServer(const DemoPeer& server) {
    unsigned n = 0;
    Json::Value all = server.Events();
    for (const Json::Value& e : all["events"])
        n += e["basic"]["event_code"].asString() == "sales_tessaril_receive_msg" &&
             e["attr"]["c_id"].asString().rfind("burst", 0) == 0 && e["attr"]["c_id"].asString() != "burst-end" &&
             e["attr"]["c_id"].asString() != "burst-ready";
    return n;
}

} // namespace

void MeasurePageBurst(const SNotifyRig& rig, int calls) {
    CFrameHoverUI* hover = rig.frame->GetHoverWnd();
    if (!PageReady(rig)) {
        std::printf("warning: the page never called; no burst measured\n");
        return;
    }
    // The customers' avatars are on disk, as after their first messages.
    for (int c = 0; c < kBurstConversations; ++c)
        rig.frame->OnPageCall(L"UnReadMessage", {L"burst" + std::to_wstring(c), L"顾客", L"0", L"",
                                                 rig.Url("/avatar/burst" + std::to_string(c) + ".png")});
    rig.RunUntilIdle(100);
    hover->ShowHover();
    platform::KillTimer(hover->GetHWND(), CFrameHoverUI::kHoverTimer);
    // The server's list starts empty once everything sent so far has arrived.
    PumpUntil([] { return g_EventLogManage.QueuedCount() == 0; }, 30000);
    platform::PumpMessages(500);
    rig.server->Get("/demo/events/clear");

    double floorMs = 0, oursMs = 0;
    double floor = BurstStall(rig, calls, "ReLoginState", floorMs);
    double ours = BurstStall(rig, calls, "UnReadMessage", oursMs);

    // Every row and count, and every event at the server.
    int rounds = calls / kBurstConversations;
    std::vector<std::wstring> ids = hover->GetMessageIds();
    bool rowsRight = ids.size() >= 4;
    for (size_t i = 0; rowsRight && i < 4; ++i)
        rowsRight = ids[i] == L"burst" + std::to_wstring(kBurstConversations - 1 - i) &&
                    HasCount(hover, ids[i], rounds);
    // Both bursts' last calls send an event too.
    for (int i = 0; i < 600 && EventsAtServer(*rig.server) < static_cast<unsigned>(calls) + 2; ++i)
        platform::PumpMessages(50);
    unsigned events = BurstEventsAtServer(*rig.server);
    hover->HideHover();
    std::printf("burst of %d page calls by script in the page, hover list open over %d conversations:\n", calls,
                kBurstConversations);
    std::printf("  %d UnReadMessage calls ran in %.0f ms; %d empty calls in %.0f ms; newest rows and counts %s; "
                "%u of %d events at the server\n",
                calls, oursMs, calls, floorMs, rowsRight ? "right" : "WRONG", events, calls);
    PrintRatio("longest window-thread stall, 1,000 UnReadMessage calls in one page burst (vs 1,000 empty calls)", ours,
               floor, "ms", "<= 100 ms");
}

void MeasureHoverScaling(const SNotifyRig& rig) {
    CMainFrameUI* frame = rig.frame;
    CFrameHoverUI* hover = frame->GetHoverWnd();
    const int kCalls = 200;
    std::printf("one UnReadMessage (avatar on disk) with N distinct conversations in the hover list, the call and the "
                "turn that lays out its rows:\n");
    std::printf("  %6s  %12s  %12s  %18s\n", "N", "median us", "p99 us", "growth per decade");
    auto args = [&](int i, int count, const wchar_t* text) {
        return std::vector<std::wstring>{L"s" + std::to_wstring(i), L"顾客 " + std::to_wstring(i),
                                         std::to_wstring(count), text,
                                         rig.Url("/avatar/s" + std::to_string(i) + ".png")};
    };
    hover->ClearMessages();
    double previous = 0, worst = 0;
    int have = 0;
    for (int n : {1, 10, 100, 1000}) {
        // The conversations came in through the page with their avatars, as a day's traffic does.
        for (; have < n; ++have)
            frame->OnPageCall(L"UnReadMessage", args(have, 1, L"请问明天的酒店还有房吗？"));
        rig.RunUntilIdle(50);
        std::vector<double> us;
        for (int k = 0; k < kCalls; ++k) {
            // The oldest conversation comes back: the whole list is walked to move it up.
            std::wstring id = hover->GetMessageIds().back();
            int i = std::stoi(id.substr(1));
            auto t0 = Clock::now();
            frame->OnPageCall(L"UnReadMessage", args(i, k + 2, L"又来了"));
            while (frame->HasPendingPageCalls())
                QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(); // the rows of this turn
            us.push_back(MicrosSince(t0));
            platform::PumpMessages(1);
        }
        double median = Percentile(us, 0.5);
        double growth = previous > 0 ? median / previous : 0;
        worst = std::max(worst, growth);
        if (previous > 0)
            std::printf("  %6d  %12.1f  %12.1f  %17.2fx\n", n, median, Percentile(us, 0.99), growth);
        else
            std::printf("  %6d  %12.1f  %12.1f  %18s\n", n, median, Percentile(us, 0.99), "");
        previous = median;
    }
    hover->ClearMessages();
    frame->OnPageCall(L"MessageRead", {L"none"});
    rig.RunUntilIdle(20);
    PrintRatio("UnReadMessage cost, worst growth per decade of conversations, 1 to 1,000 (vs linear, 10x)", worst, 10,
               "x", "<= 1x of linear");
}
