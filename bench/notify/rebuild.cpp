// The hover list's rebuild of its four rows, on a list window of its own: an update that
// moves a conversation into the open list (its row taken over from the one that left), four
// rows filled again after the list was emptied, and the first four rows a new list window
// builds from the row skin. Each is held against the tip's latency of the same run.
#include <QCoreApplication>

#include <cstdio>

#include "common/custommsg.h"
#include "notify/cframehoverui.h"
#include "notifyrig.h"
#include "platform/winuser.h"

namespace {

const int kRounds = 300;

std::wstring Id(int i) { return L"r" + std::to_wstring(i); }

void Feed(CFrameHoverUI& hover, int i, int count) {
    hover.SetUnreadMessage(Id(i), L"顾客", count, L"", L"请问明天的酒店还有房吗？");
}

// Four conversations and the turn that lays out their rows.
double FourRowsUs(CFrameHoverUI& hover, int count) {
    auto t0 = Clock::now();
    for (int i = 0; i < 4; ++i)
        Feed(hover, i, count);
    QCoreApplication::sendPostedEvents();
    return MicrosSince(t0);
}

} // namespace

void MeasureHoverRebuild(double tipUs) {
    CFrameHoverUI hover;
    hover.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    for (int i = 0; i < 6; ++i)
        Feed(hover, i, 1);
    hover.ShowHover();
    platform::KillTimer(hover.GetHWND(), CFrameHoverUI::kHoverTimer);
    platform::PumpMessages(20);

    // Six conversations in turn: each update brings one from below the four to the top.
    std::vector<double> update;
    for (int k = 0; k < kRounds; ++k) {
        auto t0 = Clock::now();
        Feed(hover, k % 6, k + 2);
        QCoreApplication::sendPostedEvents(); // the turn that lays the rows out
        update.push_back(MicrosSince(t0));
        platform::PumpMessages(1);
    }

    hover.HideHover();
    std::vector<double> refill;
    for (int k = 0; k < kRounds; ++k) {
        hover.ClearMessages();
        hover.RemoveMessage(L"none"); // empties the list: its rows go
        QCoreApplication::sendPostedEvents();
        platform::PumpMessages(1);
        refill.push_back(FourRowsUs(hover, k + 1));
    }

    std::vector<double> first;
    for (int k = 0; k < kRounds / 10; ++k) {
        CFrameHoverUI fresh;
        fresh.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
        platform::PumpMessages(1);
        first.push_back(FourRowsUs(fresh, k + 1));
    }
    platform::PumpMessages(10);

    PrintSpread("hover update, a conversation enters the open four", update);
    PrintSpread("hover rebuild, four rows again after the list emptied", refill);
    PrintSpread("hover rebuild, a new list window's first four rows", first);
    PrintRatio("hover rebuild of four rows, an update entering the open four (vs tip shown, medians)",
               Percentile(update, 0.5), tipUs, "us", "<= 5x");
    PrintRatio("hover rebuild of four rows after the list emptied (vs tip shown, medians)", Percentile(refill, 0.5),
               tipUs, "us", "<= 5x");
    PrintRatio("hover rows built from the skin, once per list window (vs tip shown, medians)", Percentile(first, 0.5),
               tipUs, "us", "once per window");
}
