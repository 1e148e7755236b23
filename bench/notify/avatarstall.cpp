// The window thread's longest stall while "UnReadMessage" calls bring new customers whose
// avatars come from a slow host, against the stall of the same loop idle.
#include <cstdio>

#include "demopeer.h"
#include "mainframe/cmainframeui.h"
#include "notifyrig.h"
#include "notify/avatarcache.h"
#include "platform/winuser.h"

void MeasureSlowAvatarStall(const SNotifyRig& rig, int calls, int delayMs) {
    auto slowAvatar = [&](const std::string& name) {
        return rig.Url("/avatar/" + name + ".png?fault=slow&delay_ms=" + std::to_string(delayMs));
    };
    StallProbe probe;
    // What one of these downloads costs the window thread when it is made there.
    probe.Start();
    std::wstring path;
    CAvatarCache::GetInstance()->GetAvatar(L"bench-sync", slowAvatar("bench-sync"), path);
    platform::PumpMessages(20);
    double onWindowThread = probe.StopMs();

    probe.Start();
    auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        std::wstring id = L"bench-new" + std::to_wstring(i);
        rig.frame->OnPageCall(L"UnReadMessage", {id, L"New customer " + std::to_wstring(i), L"1", L"Hello?",
                                                 slowAvatar("bench-new" + std::to_string(i))});
    }
    rig.RunUntilIdle(0);
    double busy = probe.StopMs();
    double elapsed = MicrosSince(t0) / 1000.0;

    probe.Start();
    platform::PumpMessages(static_cast<int>(elapsed));
    double floor = probe.StopMs();

    std::printf("%d new-avatar UnReadMessage calls, avatar host %d ms slow, all done in %.0f ms; one download made "
                "on the window thread would stall it %.1f ms\n",
                calls, delayMs, elapsed, onWindowThread);
    PrintRatio("longest window-thread stall, 20 new avatars from a slow host (vs the idle loop)", busy, floor, "ms",
               "far below one download");
}
