#include "platform/quitsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};
std::function<void()>* g_onQuit = nullptr;

// Only async-signal-safe work here: one byte into the pipe that the event loop watches.
void OnSignal(int) {
    int saved = errno;
    char b = 1;
    ssize_t n = write(g_pipe[1], &b, 1);
    (void)n;
    errno = saved;
}

void Drain() {
    char buf[64];
    bool any = false;
    while (read(g_pipe[0], buf, sizeof(buf)) > 0)
        any = true;
    if (any && g_onQuit && *g_onQuit)
        (*g_onQuit)();
}

} // namespace

bool InstallQuitSignalHandler(std::function<void()> onQuit) {
    if (!QCoreApplication::instance())
        return false;
    if (!g_onQuit)
        g_onQuit = new std::function<void()>();
    *g_onQuit = std::move(onQuit);
    if (g_pipe[0] < 0) {
        if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        // Lives as long as the application; destroyed with it.
        auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { Drain(); });
    }
    // Installed again on every call: a library started in between may have put its own in place.
    struct sigaction sa {};
    sa.sa_handler = &OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &sa, nullptr) == 0 && sigaction(SIGHUP, &sa, nullptr) == 0;
}

} // namespace platform
