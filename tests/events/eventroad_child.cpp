// A process that runs the event road the way the workbench does, for the kill and terminate
// rounds: the process-wide manager on a store in a cache folder, a steady stream of events,
// and log-out or shutdown (SIGTERM, SIGHUP) ending it through the Qt loop's quit, the manager's
// stop and then the exit handlers. After each event is handed over its number goes to the file
// "generated" in the cache folder, so the parent can count what every round made.
//   eventroad_child <cache folder ending in "/"> <mobile host URL> <first number> <count>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <string>

#include "common/sysutils.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "platform/quitsignals.h"

int main(int argc, char** argv) {
    if (argc != 5)
        return 2;
    const std::string cacheDir = argv[1];
    long long next = std::atoll(argv[3]);
    const long long end = next + std::atoll(argv[4]);

    QCoreApplication app(argc, argv);
    CHttpWork::GlobalInit();
    SDeployHosts hosts;
    hosts.strMobileApiHost = argv[2];
    CHttpWork::GetInstance()->SetDeployHosts(hosts);
    if (!g_EventLogManage.InitDB(Utf8ToWide(cacheDir)))
        return 3;
    g_EventLogManage.Start();
    platform::InstallQuitSignalHandler([] { QCoreApplication::quit(); });

    int fd = open((cacheDir + "generated").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 4;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        if (next >= end) {
            feed.stop();
            return;
        }
        g_EventLogManage.AddEvent("page", {{"seq", std::to_string(next)}, {"native", "kill-round"}});
        std::string line = std::to_string(next) + "\n";
        // Straight to the kernel, so the number survives a SIGKILL a moment later.
        if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            std::abort();
        ++next;
    });
    feed.start(1);
    int rc = app.exec();
    close(fd);
    // As the workbench's end does: the threads stop before the exit handlers take down the TLS
    // library they sign with.
    g_EventLogManage.Stop();
    return rc;
}
