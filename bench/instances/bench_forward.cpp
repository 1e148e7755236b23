// The uid forward of a second launch (enumerate the windows, send the packet to each one titled
// "QDX_IM") to a running instance, while ten other callers hold connections to that instance
// open and silent, against the same forward with nobody else connected (the floor). Each
// forward opens fresh silent connections and lets the instance take them in first, so they are
// all held and still stalled (far within their 2 s time-out) when it runs.
#include <QCoreApplication>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/shopdesk.h"
#include "common/custommsg.h"
#include "platform/winuser.h"
#include "support/busclient.h"

using Clock = std::chrono::steady_clock;

namespace {

const int kRuns = 21;
const int kStalled = 10;

// The running instance: one window titled "QDX_IM" that takes every packet.
class Taker : public platform::IWindowMessageTarget {
public:
    LRESULT OnWindowMessage(HWND, UINT msg, WPARAM, LPARAM) override { return msg == WM_COPYDATA ? TRUE : 0; }
    void OnDestroyRequest(HWND hwnd) override { platform::DestroyWindowHandle(hwnd); }
};

int RunInstance(int argc, char** argv, int readyFd) {
    QCoreApplication app(argc, argv);
    Taker taker;
    HWND h = platform::RegisterWindowHandle(nullptr, &taker, true, kMainWndTitle);
    (void)!write(readyFd, "R", 1);
    close(readyFd);
    int rc = app.exec();
    platform::DestroyWindowHandle(h);
    return rc;
}

double ForwardMs(uint32_t instance, int stalled) {
    std::vector<int> silent;
    for (int i = 0; i < stalled; ++i)
        silent.push_back(ConnectToInstance(instance));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SForwardUid request{L"bench"};
    auto t0 = Clock::now();
    platform::EnumWindows(ForwardUidProc, reinterpret_cast<LPARAM>(&request));
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    for (int fd : silent)
        if (fd >= 0)
            close(fd);
    if (request.delivered != 1) {
        std::fprintf(stderr, "the forward reached %d windows, not 1\n", request.delivered);
        std::exit(1);
    }
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    // A private runtime folder: the forward must never reach a workbench of the developer's.
    char tmpl[] = "/tmp/shopdesk-bench-forward-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    setenv("XDG_RUNTIME_DIR", tmpl, 1);

    int ready[2];
    if (pipe(ready) != 0)
        return 1;
    pid_t instance = fork();
    if (instance == 0) {
        close(ready[0]);
        _exit(RunInstance(argc, argv, ready[1]));
    }
    close(ready[1]);
    char c = 0;
    if (read(ready[0], &c, 1) != 1)
        return 1;

    std::vector<double> none, busy;
    for (int i = 0; i < kRuns; ++i) {
        none.push_back(ForwardMs(static_cast<uint32_t>(instance), 0));
        busy.push_back(ForwardMs(static_cast<uint32_t>(instance), kStalled));
    }
    kill(instance, SIGTERM);
    waitpid(instance, nullptr, 0);
    std::filesystem::remove_all(tmpl);

    double floor = Median(none), ours = Median(busy);
    std::printf("forward, median of %d: %.2f ms alone, %.2f ms beside %d stalled connections (slowest %.2f ms)\n",
                kRuns, floor, ours, kStalled, *std::max_element(busy.begin(), busy.end()));
    std::printf("ratio: forward beside %d stalled connections | %.2f ms | %.2f ms | %.2fx | about 1x (not %d x 2 s)\n",
                kStalled, ours, floor, floor > 0 ? ours / floor : 0.0, kStalled);
    return 0;
}
