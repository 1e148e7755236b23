// shopdesk-demo-server: the peer the workbench talks to on a developer's machine and in tests.
//
//   shopdesk-demo-server [--port N] [--data DIR] [--bind ADDR] [--new-version] [--stream SECONDS]
//
// --port 0 picks a free port. The first line on standard output names the address served,
// "shopdesk-demo-server listening on http://ADDR:PORT", so a parent process can read it.
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "routes.h"

namespace {

void Usage() {
    std::fprintf(stderr, "usage: shopdesk-demo-server [--port N] [--data DIR] [--bind ADDR] [--new-version] [--stream SECONDS]\n");
}

void LoadEvents(demo::DemoState& state) {
    std::ifstream in(state.dataDir + "/events.jsonl");
    std::string line;
    while (std::getline(in, line)) {
        Json::Value ev;
        if (demo::ParseJson(line, ev) && ev.isObject())
            state.events.append(ev);
    }
}

} // namespace

int main(int argc, char** argv) {
    int port = 8800;
    std::string bind = "127.0.0.1";
    demo::DemoState state;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (a == "--data" && i + 1 < argc) {
            state.dataDir = argv[++i];
        } else if (a == "--bind" && i + 1 < argc) {
            bind = argv[++i];
        } else if (a == "--new-version") {
            state.hasNewVersion = true;
        } else if (a == "--stream" && i + 1 < argc) {
            state.streamSeconds = std::atoi(argv[++i]);
        } else {
            Usage();
            return 2;
        }
    }
    if (port < 0 || port > 65535) {
        Usage();
        return 2;
    }
    if (!state.dataDir.empty()) {
        mkdir(state.dataDir.c_str(), 0755);
        LoadEvents(state);
    }
    demo::SeedDemoData(state);

    // SIGINT and SIGTERM end the server cleanly; they are taken by a thread of their own.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    httplib::Server server;
    // Slow answers hold a worker each; keep enough for the rest to go on being served.
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // An answer goes out as headers and then body; without this, a client that keeps its
    // connection waits for its own delayed acknowledgement (40 ms) before the body comes, as
    // it would not with a production server.
    server.set_tcp_nodelay(true);
    // Production servers keep a connection for hundreds of requests; the library's default
    // closes it after five.
    server.set_keep_alive_max_count(1000);
    // An idle connection is closed after two seconds, as production servers close theirs at a
    // time-out of their own: clients must open a new one then. It also bounds a stop, which waits
    // for every idle connection to time out.
    server.set_keep_alive_timeout(2);
    demo::RegisterRoutes(server, state);

    int bound = port == 0 ? server.bind_to_any_port(bind) : (server.bind_to_port(bind, port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "shopdesk-demo-server: cannot listen on %s:%d\n", bind.c_str(), port);
        return 1;
    }
    std::printf("shopdesk-demo-server listening on http://%s:%d\n", bind.c_str(), bound);
    std::fflush(stdout);

    std::thread signalWaiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        {
            std::lock_guard<std::mutex> guard(state.lock);
            state.stopping = true;
        }
        state.stopCv.notify_all();
        state.eventsCv.notify_all();
        state.requestsCv.notify_all();
        server.stop();
    });
    bool ok = server.listen_after_bind();
    if (!state.stopping) {
        // The listener ended on its own; release the signal thread.
        kill(getpid(), SIGTERM);
    }
    signalWaiter.join();
    return ok ? 0 : 1;
}
