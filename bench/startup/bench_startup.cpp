// The workbench's start against a bare web view showing the same console, in one interleaved
// run of real processes under an X server of its own with a tray host:
//  - process start until the console's first page call reaches the program (median);
//  - proportional memory (PSS) of all processes of each, the browser's helpers included,
//    10 s after that call;
//  - CPU used over a quiet interval while the tray blinks for an unread conversation (clicked
//    in the console after the memory was taken, measured once its tip has gone), against the
//    bare view idle before its memory is taken;
//  - the same start with 10,000 failed events waiting in "shopdesk.db" to be re-uploaded,
//    against the empty store.
// Every launch gets a fresh profile: guidance already seen, the build's workbench registered
// for tessaril links, and the browser's cookie of a console sign-in made once by the bare
// view, so both show the signed-in console. The workbench's first page call is the moment the
// console server sees it fetch the account's avatar, which it does for that call and nothing
// else. The mobile API (version check, events) is a second demo server, so the re-upload
// traffic never crowds the console server's records.
// Each comparison prints a "ratio:" line that tools/run-bench.sh gathers into one table.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "platform/registryprotocol.h"
#include "support/launch.h"

namespace fs = std::filesystem;

namespace {

const int kRuns = 7;
// The start alone varies more than memory and CPU: these rounds more of it follow the full ones.
const int kStartOnlyRuns = 14;
const int kStoredEvents = 10000;
const double kMemoryAfterS = 10.0;
const double kQuietS = 4.0;    // the interval idle CPU is measured over
const double kTipShownS = 5.5; // the tip an unread conversation brings has gone by then
const int kStartTimeoutMs = 60000;
const char kUid[] = "bench";
// The launches of this round end at their first page call, without the memory and CPU measures,
// so that many more rounds fit in the same time.
bool g_startOnly = false;

double NowS() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void SleepUntil(double t) {
    double d = t - NowS();
    if (d > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(d));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- processes -----------------------------------------------------------------------------

// Every process listed under /proc, with its state letter and its parent.
void ForEachProcess(const std::function<void(pid_t pid, char state, pid_t parent)>& visit) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        pid_t pid = std::atoi(e.path().filename().c_str());
        if (pid <= 0)
            continue;
        std::string stat = ReadText(e.path().string() + "/stat");
        size_t close = stat.rfind(')');
        char state = 0;
        int parent = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2)
            visit(pid, state, parent);
    }
}

// `root` and every process below it: the program and the browser's helpers.
std::vector<pid_t> ProcessTree(pid_t root) {
    std::map<pid_t, std::vector<pid_t>> children;
    ForEachProcess([&](pid_t pid, char, pid_t parent) { children[parent].push_back(pid); });
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i)
        for (pid_t c : children[tree[i]])
            tree.push_back(c);
    return tree;
}

// Proportional set size of the processes, in MB.
double PssMb(const std::vector<pid_t>& pids) {
    double kb = 0;
    for (pid_t p : pids) {
        std::istringstream in(ReadText("/proc/" + std::to_string(p) + "/smaps_rollup"));
        for (std::string line; std::getline(in, line);) {
            double value = 0;
            if (std::sscanf(line.c_str(), "Pss: %lf", &value) == 1)
                kb += value;
        }
    }
    return kb / 1024;
}

// CPU time (user + system) of every thread of the processes, in seconds, from the
// scheduler's nanosecond account rather than the 10 ms ticks of utime and stime.
std::map<std::string, double> CpuByThread(const std::vector<pid_t>& pids) {
    std::map<std::string, double> cpu;
    for (pid_t p : pids) {
        std::string dir = "/proc/" + std::to_string(p) + "/task/";
        std::error_code ec;
        for (const auto& t : fs::directory_iterator(dir, ec)) {
            unsigned long long ns = 0;
            if (std::sscanf(ReadText(t.path().string() + "/schedstat").c_str(), "%llu", &ns) == 1)
                cpu[t.path().filename().string()] = ns / 1e9;
        }
    }
    return cpu;
}

double CpuBetween(const std::map<std::string, double>& a, const std::map<std::string, double>& b) {
    double used = 0;
    for (const auto& [tid, s] : b) {
        auto it = a.find(tid);
        used += s - (it == a.end() ? 0 : it->second);
    }
    return used;
}

// Share of one core the processes of `root` used from now until `until`.
double CpuOver(pid_t root, double until) {
    auto before = CpuByThread(ProcessTree(root));
    double from = NowS();
    SleepUntil(until);
    return CpuBetween(before, CpuByThread(ProcessTree(root))) / (NowS() - from);
}

// Starts a program with its standard output in `outFd` and its errors in `errFd`;
// LaunchProgram hands it the driver's own.
pid_t LaunchWithOutput(const std::string& program, const std::vector<std::string>& args, int outFd, int errFd) {
    std::fflush(stdout);
    int savedOut = dup(1), savedErr = dup(2);
    dup2(outFd, 1);
    dup2(errFd, 2);
    pid_t pid = LaunchProgram(program, args);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    return pid;
}

// A process that ended but was not waited for (a helper whose parent went first, left to
// this driver when it runs as the first process of its own process space) counts as gone.
bool Alive(pid_t pid) {
    std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos && stat.compare(close, 4, ") Z ") != 0;
}

// Ends a process and waits until its helpers have gone too, so the next launch finds no
// browser of ours running.
void EndTree(pid_t pid) {
    if (pid <= 0)
        return;
    std::vector<pid_t> tree = ProcessTree(pid);
    StopWorkbench(pid);
    double until = NowS() + 10;
    for (pid_t p : tree) {
        while (Alive(p) && NowS() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Alive(p))
            kill(p, SIGKILL);
    }
}

// Whether a process runs the executable named `name` (its file name, without the folder).
bool AnyRunning(const std::string& name) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec))
        if (std::atoi(e.path().filename().c_str()) > 0 && fs::read_symlink(e.path() / "exe", ec).filename() == name)
            return true;
    return false;
}

// Run as the first process of its own process space, the driver inherits every helper whose
// parent went first, and nothing else waits for them: left as they are, their entries pile up
// under /proc, which the workbench reads through at every start. Called between launches only,
// when no launched program is left to be waited for by its own pid.
void ReapOrphans() {
    ForEachProcess([](pid_t pid, char state, pid_t parent) {
        if (state == 'Z' && parent == getpid())
            waitpid(pid, nullptr, WNOHANG);
    });
}

// A round starts once what the last one left, and what its own set-up started, has ended: the
// workbench's browser helpers, and the desktop-entry cache tool that the protocol registration
// starts in the background, which would otherwise run alongside the start being measured.
void WaitForQuietProcesses() {
    for (int i = 0; i < 100 && (AnyRunning("Vudeda") || AnyRunning("update-desktop-database")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ReapOrphans();
}

// ---- the console server's view -------------------------------------------------------------

// Arrival time (monotonic, s) of the first avatar the workbench itself fetched (the browser
// sends its user agent, the workbench's download none) whose path passes `want`; 0 when none.
double WorkbenchAvatarFetch(const Json::Value& requests, const std::function<bool(const std::string&)>& want) {
    for (const Json::Value& r : requests)
        if (r["target"].asString().rfind("/avatar/", 0) == 0 && r["user_agent"].asString().empty() &&
            want(r["target"].asString()))
            return r["mono_us"].asUInt64() / 1e6;
    return 0;
}

// Waits for the workbench's first page call: its fetch of the account's avatar. The server is
// asked to answer once another request for it has come, rather than asked again and again while
// it serves the console to the start being measured. 0 when the program ended or none came.
double AwaitFirstPageCall(const DemoPeer& console, pid_t pid) {
    const std::string target = "/avatar/manager.png";
    auto manager = [&](const std::string& t) { return t == target; };
    double until = NowS() + kStartTimeoutMs / 1000.0;
    unsigned count = 1; // the browser's own requests for the picture come first in the count
    while (NowS() < until && WaitExit(pid, 0) == -1) {
        Json::Value requests = console.RequestsOnceArrived(target, count, static_cast<int>((until - NowS()) * 1000));
        if (double at = WorkbenchAvatarFetch(requests, manager))
            return at;
        if (!requests.isArray()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // no server to wait on
            continue;
        }
        unsigned made = 0;
        for (const Json::Value& r : requests)
            made += r["target"].asString() == target;
        count = std::max(count, made + 1);
    }
    return 0;
}

// Arrival time (monotonic, s) of the browser's first request for the console page; 0 when none.
double ConsolePageRequest(const DemoPeer& console) {
    for (const Json::Value& r : console.Requests())
        if (r["target"].asString().rfind("/admin/index.php", 0) == 0)
            return r["mono_us"].asUInt64() / 1e6;
    return 0;
}

// ---- profiles ------------------------------------------------------------------------------

struct SBench {
    std::string base;     // everything the driver writes
    std::string signedIn; // the bare view's profile after the sign-in
    std::string log;      // the programs' own output
    std::string before;   // another build of the workbench to hold against the same floor
    DemoPeer console, mobile;
};

void CopyBrowserProfile(const SBench& b, const std::string& to) {
    fs::create_directories(to);
    fs::copy(b.signedIn + "/Browser", to + "/Browser", fs::copy_options::recursive);
}

// A desktop user's fresh home for one launch, made the current one.
std::string FreshHome(const SBench& b, const std::string& name) {
    std::string home = b.base + name;
    fs::remove_all(home);
    fs::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    PointLaunchesAt(b.console, home, /*freshProfile=*/true); // each launch registers its own program
    setenv("SHOPDESK_MOBILE_HOST", b.mobile.BaseUrl().c_str(), 1);
    return home;
}

// The workbench's cache folder in that home, with the guidance seen and the signed-in cookie.
std::string PrepareWorkbenchProfile(const SBench& b, const std::string& home) {
    std::string cache = home + "/.local/share/QDX/Cache/";
    fs::create_directories(cache);
    std::ofstream(cache + "Config.ini") << "[Guidance]\nIsGuidance=1\n";
    CopyBrowserProfile(b, cache);
    return cache;
}

// `n` failed events in the store, as earlier runs leave them.
void FillStore(const std::string& cache, int n) {
    CEventLogManage store;
    if (!store.InitDB(Utf8ToWide(cache)))
        return;
    CXDBPtr<IXDBConnection> conn;
    if (!CEventLogManage::OpenStoreConnection(conn, Utf8ToWide(cache + "shopdesk.db")))
        return;
    SEventLogMsgEx ev;
    ev.event_code = "sales_tessaril_receive_msg";
    ev.uid = kUid;
    ev.launch_guid = "0123456789ABCDEF0123456789ABCDEF";
    ev.app_ver = kShopdeskAppVersion;
    ev.attr = {{"msg_content", "您好，请问这个线路还有名额吗？"}, {"c_id", "c1024"}, {"unreadnum", "1"}};
    conn->BeginTrans();
    for (int i = 0; i < n; ++i) {
        ev.event_time = 1700000000 + i;
        CEventLogManage::SaveFailedEvent(conn.Get(), ev);
    }
    conn->CommitTrans();
}

bool SignInOnce(SBench& b) {
    b.signedIn = b.base + "signed-in";
    std::string url = b.console.BaseUrl() + "/admin/login?account=" + kUid + "&uid=" + kUid;
    int log = open(b.log.c_str(), O_WRONLY | O_APPEND);
    pid_t pid = LaunchWithOutput(BAREVIEW_EXE, {"--sign-in", url, b.signedIn}, log, log);
    close(log);
    bool ok = WaitExit(pid, 40000) == 0 && fs::exists(b.signedIn + "/Browser");
    EndTree(pid);
    return ok;
}

// ---- one launch ----------------------------------------------------------------------------

struct SRun {
    double start = 0; // s from the launch to the first page call; 0 when it never came
    double page = 0;  // s from the launch to the browser's request for the console page
    double pss = 0;   // MB
    double cpu = 0;   // share of one core over the quiet interval
};

enum class EWhat { bareView, workbench, workbenchStored, workbenchBefore };

// The unread conversation: the console's own button, clicked with the pointer.
bool ClickSimulatedUnread(pid_t pid) {
    for (const std::string& w : ShownWindowsOf(pid)) {
        if (WindowNameOf(w) != "QDX_IM")
            continue;
        int x = 0, y = 0, width = 0, height = 0;
        if (!WindowGeometry(w, x, y, width, height))
            return false;
        // The first button of the console's right-hand panel, below the title bar and header.
        return ClickScreenAt(x + width - 230, y + 170);
    }
    return false;
}

// Reads the bare view's output until it reports the first call; its monotonic time in s, or 0
// when none came.
double FirstCallReported(int fd) {
    std::string out;
    pollfd p{fd, POLLIN, 0};
    while (out.find('\n', out.find("first-call ")) == std::string::npos && poll(&p, 1, kStartTimeoutMs) > 0) {
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    long long ns = 0;
    size_t at = out.find("first-call ");
    return at != std::string::npos && std::sscanf(out.c_str() + at, "first-call %lld", &ns) == 1 ? ns / 1e9 : 0;
}

SRun Launch(SBench& b, EWhat what, int round) {
    SRun run;
    std::string home = FreshHome(b, "run-" + std::to_string(round));
    WaitForQuietProcesses();
    b.console.Get("/demo/requests/clear");
    b.mobile.Get("/demo/events/clear");

    pid_t pid = -1;
    double t0 = 0, first = 0;
    int log = open(b.log.c_str(), O_WRONLY | O_APPEND);
    int report[2] = {-1, -1}; // the bare view's; open while it runs, so its writes never fail
    if (what == EWhat::bareView) {
        CopyBrowserProfile(b, home + "/bare");
        if (pipe(report) == 0) {
            t0 = NowS();
            pid = LaunchWithOutput(BAREVIEW_EXE,
                                   {b.console.BaseUrl() + "/admin/index.php?uid=" + kUid, home + "/bare"}, report[1],
                                   log);
            close(report[1]);
            first = FirstCallReported(report[0]);
        }
    } else {
        std::string exe = what == EWhat::workbenchBefore ? b.before : SHOPDESK_EXE;
        platform::RegisterProtocolHandler(exe);
        std::string cache = PrepareWorkbenchProfile(b, home);
        if (what == EWhat::workbenchStored)
            FillStore(cache, kStoredEvents);
        WaitForQuietProcesses();
        t0 = NowS();
        pid = LaunchWithOutput(exe, {std::string("tessaril://uid=") + kUid + "/"}, log, log);
        first = AwaitFirstPageCall(b.console, pid);
    }

    if (first > 0) {
        run.start = first - t0;
        double page = ConsolePageRequest(b.console);
        run.page = page > 0 ? page - t0 : 0;
    }
    if (first > 0 && !g_startOnly) {
        if (what == EWhat::bareView) {
            SleepUntil(first + kMemoryAfterS - kQuietS);
            run.cpu = CpuOver(pid, first + kMemoryAfterS);
            run.pss = PssMb(ProcessTree(pid));
        } else if (what != EWhat::workbenchStored) {
            SleepUntil(first + kMemoryAfterS);
            run.pss = PssMb(ProcessTree(pid));
            auto customer = [](const std::string& t) { return t != "/avatar/manager.png"; };
            if (!ClickSimulatedUnread(pid) ||
                !WaitUntil([&] { return WorkbenchAvatarFetch(b.console.Requests(), customer) > 0; }, 5000))
                std::printf("warning: run %d: no unread conversation reached the workbench\n", round);
            double clicked = NowS();
            SleepUntil(clicked + kTipShownS);
            run.cpu = CpuOver(pid, clicked + kTipShownS + kQuietS);
        }
    } else if (first <= 0) {
        std::printf("warning: run %d: no first page call within %d s (see %s)\n", round, kStartTimeoutMs / 1000,
                    b.log.c_str());
    }
    EndTree(pid);
    close(log);
    if (report[0] >= 0)
        close(report[0]);
    fs::remove_all(home);
    std::fflush(stdout);
    return run;
}

void PrintRatio(const char* measure, double ours, double floor, const char* format, const char* goal) {
    char oursText[64], floorText[64];
    std::snprintf(oursText, sizeof oursText, format, ours);
    std::snprintf(floorText, sizeof floorText, format, floor);
    std::printf("ratio: %s | %s | %s | %.2fx | %s\n", measure, oursText, floorText, floor > 0 ? ours / floor : 0.0,
                goal);
}

std::vector<double> Valid(const std::vector<SRun>& runs, double SRun::*field) {
    std::vector<double> v;
    for (const SRun& r : runs)
        if (r.start > 0)
            v.push_back(r.*field);
    return v;
}

// Runs again under an X server of its own, where the tray host, the pointer and the windows
// of these launches meet nothing of the desktop's. With the rights for it, also in a process
// space of its own: a browser helper of any other workbench on the machine would make each
// launch a second instance, which keeps no login.
void ReexecIsolated(char** argv) {
    setenv("SHOPDESK_BENCH_STARTUP_X", "1", 1);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::vector<std::string> words = {"xvfb-run", "-a", "-s", "-screen 0 1600x900x24"};
    if (geteuid() == 0)
        words.insert(words.end(), {"unshare", "--pid", "--fork", "--mount-proc"});
    words.push_back(self);
    for (char** a = argv + 1; *a; ++a)
        words.push_back(*a);
    std::vector<char*> args;
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror(args[0]);
    std::exit(1);
}

} // namespace

// An argument gives the number of full rounds (7 by default), which 14 rounds of the start alone
// follow. SHOPDESK_BENCH_BEFORE may name the executable of another build (an earlier one, with its
// files beside it), launched the same way in every round and reported against the same floor.
// SHOPDESK_BENCH_START_ONLY=1 measures the start alone, in as many rounds as the argument says.
int main(int argc, char** argv) {
    if (!getenv("SHOPDESK_BENCH_STARTUP_X"))
        ReexecIsolated(argv);
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("AppData");
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);

    SBench b;
    b.base = fs::current_path().string() + "/bench-startup-data/";
    fs::remove_all(b.base);
    fs::create_directories(b.base);
    b.log = b.base + "programs.log";
    std::ofstream(b.log).close();
    pid_t tray = LaunchProgram("/usr/bin/trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                                                   "--height", "32", "--transparent", "false"});
    if (!b.console.Start(b.base + "console") || !b.mobile.Start(b.base + "mobile")) {
        std::fprintf(stderr, "demo servers did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1)); // the tray host takes its selection
    FreshHome(b, "sign-in");
    if (!SignInOnce(b)) {
        std::fprintf(stderr, "the console sign-in failed (see %s)\n", b.log.c_str());
        return 1;
    }

    std::map<EWhat, std::vector<SRun>> runs, starts; // the full rounds; every round, for the start
    std::vector<EWhat> order = {EWhat::bareView, EWhat::workbench, EWhat::workbenchStored};
    if (const char* before = getenv("SHOPDESK_BENCH_BEFORE")) {
        b.before = before;
        order.push_back(EWhat::workbenchBefore);
    }
    const bool startOnly = getenv("SHOPDESK_BENCH_START_ONLY") != nullptr;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : kRuns;
    const int allRounds = startOnly ? rounds : rounds + kStartOnlyRuns;
    for (int round = 0; round < allRounds; ++round) {
        g_startOnly = startOnly || round >= rounds;
        for (size_t i = 0; i < order.size(); ++i) {
            EWhat what = order[(round + i) % order.size()];
            SRun run = Launch(b, what, round);
            starts[what].push_back(run);
            if (!g_startOnly)
                runs[what].push_back(run);
        }
        const SRun &ours = starts[EWhat::workbench].back(), &bare = starts[EWhat::bareView].back();
        std::printf("round %d: start %.3f s, page asked at %.3f s (bare %.3f s, %.3f s; 10,000 stored %.3f s), "
                    "PSS %.0f MB (bare %.0f MB), idle CPU %.2f %% (bare %.2f %%)\n",
                    round + 1, ours.start, ours.page, bare.start, bare.page, starts[EWhat::workbenchStored].back().start,
                    ours.pss, bare.pss, 100 * ours.cpu, 100 * bare.cpu);
        std::fflush(stdout);
    }
    // Starts over every round; memory and CPU over the full rounds.
    const std::vector<SRun> &bare = starts[EWhat::bareView], &ours = starts[EWhat::workbench],
                            &stored = starts[EWhat::workbenchStored], &before = starts[EWhat::workbenchBefore];
    const std::vector<SRun> &bareFull = runs[EWhat::bareView], &oursFull = runs[EWhat::workbench],
                            &beforeFull = runs[EWhat::workbenchBefore];
    // Where a start's time goes: until the browser asks for the console page (the process, the
    // browser and the window), and from there to the first call (the page and the bridge).
    auto fromPage = [](const std::vector<SRun>& runs) {
        std::vector<double> v;
        for (const SRun& r : runs)
            if (r.start > 0 && r.page > 0)
                v.push_back(r.start - r.page);
        return v;
    };

    PrintRatio("start until the console's first page call reaches the program (median, vs bare view)",
               Median(Valid(ours, &SRun::start)), Median(Valid(bare, &SRun::start)), "%.3f s", "<= 1.05x");
    PrintRatio("start until the browser asks for the console page (median, vs bare view)",
               Median(Valid(ours, &SRun::page)), Median(Valid(bare, &SRun::page)), "%.3f s", "reported");
    PrintRatio("from the console page's request to its first call (median, vs bare view)", Median(fromPage(ours)),
               Median(fromPage(bare)), "%.3f s", "reported");
    if (!startOnly) {
        PrintRatio("proportional memory of all processes, 10 s after load (median, vs bare view)",
                   Median(Valid(oursFull, &SRun::pss)), Median(Valid(bareFull, &SRun::pss)), "%.0f MB", "<= 1.05x");
        PrintRatio("idle CPU while the tray blinks, tray host present (median, vs bare view idle)",
                   100 * Median(Valid(oursFull, &SRun::cpu)), 100 * Median(Valid(bareFull, &SRun::cpu)),
                   "%.2f %% of a core", "reported");
    }
    PrintRatio("start with 10,000 stored events re-uploaded (median, vs empty store)",
               Median(Valid(stored, &SRun::start)), Median(Valid(ours, &SRun::start)), "%.3f s", "<= 1.05x");
    if (!b.before.empty()) {
        PrintRatio("the same start of the build in SHOPDESK_BENCH_BEFORE (median, vs bare view)",
                   Median(Valid(before, &SRun::start)), Median(Valid(bare, &SRun::start)), "%.3f s", "for comparison");
        // Both builds start once in every round: the ratio within each round leaves out most of
        // what the machine's changing pace does to the medians over the run.
        std::vector<double> paired;
        for (size_t i = 0; i < ours.size() && i < before.size(); ++i)
            if (ours[i].start > 0 && before[i].start > 0)
                paired.push_back(ours[i].start / before[i].start);
        std::printf("ratio: this build's start against that build's in the same round (median of %zu rounds) | | | "
                    "%.3fx | for comparison\n",
                    paired.size(), Median(paired));
        if (!startOnly) {
            PrintRatio("its memory, 10 s after load (median, vs bare view)", Median(Valid(beforeFull, &SRun::pss)),
                       Median(Valid(bareFull, &SRun::pss)), "%.0f MB", "for comparison");
            PrintRatio("its idle CPU while the tray blinks (median, vs bare view idle)",
                       100 * Median(Valid(beforeFull, &SRun::cpu)), 100 * Median(Valid(bareFull, &SRun::cpu)),
                       "%.2f %% of a core", "for comparison");
        }
    }
    std::fflush(stdout);

    b.console.Stop();
    b.mobile.Stop();
    EndTree(tray);
    // The programs' own output stays for a look.
    for (const auto& e : fs::directory_iterator(b.base))
        if (e.path() != b.log)
            fs::remove_all(e.path());
    return 0;
}
