// Guidance video playback of the shipped "guidance.mov" into a real X11 window:
//  - frame pacing: mean and spread of the interval between presented pictures, against a floor
//    measured in the same run (a bare thread ticking with the same 17 ms SDL_Delay);
//  - CPU cost: percent of one core used by the process while it plays, against decoding the
//    same file alone (no scaling for the screen, no drawing) spread over the same wall time.
#include <QApplication>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <SDL.h>

#include "dialogs/cvideoplayer.h"
#include "support/qtwait.h"
#include "videotest.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct SPacing {
    double mean = 0;
    double sd = 0;
};

// What the refresh thread's own sleep allows on this machine: intervals of SDL_Delay(17).
SPacing TickFloor(int ticks) {
    std::vector<double> intervals;
    auto last = Clock::now();
    for (int i = 0; i < ticks; ++i) {
        SDL_Delay(17);
        auto now = Clock::now();
        intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    }
    SPacing p;
    for (double v : intervals)
        p.mean += v / intervals.size();
    for (double v : intervals)
        p.sd += (v - p.mean) * (v - p.mean) / intervals.size();
    p.sd = std::sqrt(p.sd);
    return p;
}

} // namespace

int main(int argc, char** argv) {
    if (!getenv("DISPLAY")) {
        // The video needs a real X server; a private one when the caller has none.
        execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1280x800x24", argv[0], static_cast<char*>(nullptr));
        std::perror("xvfb-run");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    const std::string file = SHOPDESK_RES_DIR "/guidance.mov";
    constexpr UINT kMsgEnd = WM_USER + 1;

    CX11 x;
    if (!x.IsOpen()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    uintptr_t window = x.CreateWindow(581, 404);
    CRecorderWnd notify;
    notify.Create(nullptr, L"bench", WS_POPUP, 0);

    SPacing floor = TickFloor(300);

    CVideoPlayer player;
    double cpu0 = CpuSeconds();
    auto t0 = Clock::now();
    player.Start(std::wstring(file.begin(), file.end()), window, notify.GetHWND(), kMsgEnd);
    bool ended = WaitFor([&] { return notify.Count(kMsgEnd) > 0; }, 60000);
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    double cpuPlay = CpuSeconds() - cpu0;
    player.Stop();
    SVideoPlayStats stats = player.GetStats();
    if (!ended || notify.received.back().w != CVideoPlayer::kPlayedToEnd) {
        std::fprintf(stderr, "playback did not reach the end\n");
        return 1;
    }

    double cpu1 = CpuSeconds();
    size_t decoded = DecodeAllPictures(file).size();
    double cpuDecode = CpuSeconds() - cpu1;

    double playPct = 100 * cpuPlay / wall;
    double decodePct = 100 * cpuDecode / wall;
    std::printf("guidance.mov: %d pictures presented (%zu in the file) in %.2f s\n", stats.nFrames, decoded, wall);
    std::printf("tick floor (SDL_Delay 17 ms, same run): mean %.2f ms, spread (sd) %.2f ms\n", floor.mean, floor.sd);
    std::printf("presented pictures: mean interval %.2f ms (%.3fx the floor), spread (sd) %.2f ms (%+.2f ms over the floor)\n",
                stats.dMeanIntervalMs, stats.dMeanIntervalMs / floor.mean, stats.dStdDevIntervalMs,
                stats.dStdDevIntervalMs - floor.sd);
    std::printf("CPU while playing: %.1f %% of one core; decoding alone over the same time: %.1f %% (%.2fx)\n", playPct,
                decodePct, decodePct > 0 ? playPct / decodePct : 0.0);
    x.DestroyWindow(window);
    return 0;
}
