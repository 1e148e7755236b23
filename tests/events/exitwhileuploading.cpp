// A process that ends without stopping the event manager while its re-upload thread is busy
// (the workbench stops it before it returns; this is the destructor's path): main returns, the
// exit handlers and static destructors run, and only then does the manager stop its threads. An
// exit handler registered after the TLS library's runs before it and holds that window open.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "common/sysutils.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"

namespace {
void HoldExitOpen() { std::this_thread::sleep_for(std::chrono::milliseconds(1000)); }
} // namespace

// argv[1]: the cache folder holding "shopdesk.db" with stored events.
int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    // After the TLS library's own exit handler, which must still find its library in place;
    // before the transport's first request, whose statics must not be gone in the window.
    CHttpWork::GlobalInit();
    std::atexit(HoldExitOpen);
    if (!g_EventLogManage.InitDB(Utf8ToWide(argv[1])))
        return 3;
    g_EventLogManage.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return 0;
}
