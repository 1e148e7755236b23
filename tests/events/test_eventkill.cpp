// The event road under kills and terminations from outside, counted at the demo server:
// rounds of SIGKILL while events are being stored and while stored events are re-sent, rounds
// of SIGTERM while the host stalls and the queue is full, then a last start that sends
// everything left. And the workbench itself, ended by SIGTERM as a log-out ends it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "support/launch.h"
#include "storecheck.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

// Starts `args[0]` with the rest as its arguments; it dies with the test.
pid_t LaunchWith(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::multiset<long long> StoredSeqs(const std::string& db) {
    std::multiset<long long> out;
    for (const std::string& s : Column(db, "select json_extract(attrStr, '$.seq') from EventUpFailed"))
        out.insert(std::atoll(s.c_str()));
    return out;
}

// From the collector's own record, one accepted event a line: the whole list is too big to
// ask for at once.
std::multiset<long long> DeliveredSeqs(const std::string& recordFile) {
    std::multiset<long long> out;
    std::istringstream in(ReadFileBytes(recordFile));
    std::string line;
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    while (std::getline(in, line)) {
        Json::Value e;
        if (r->parse(line.data(), line.data() + line.size(), &e, nullptr) &&
            e["attr"]["native"].asString() == "kill-round")
            out.insert(std::atoll(e["attr"]["seq"].asString().c_str()));
    }
    return out;
}

std::vector<long long> Generated(const std::string& file) {
    std::vector<long long> out;
    std::istringstream in(ReadFileBytes(file));
    long long v;
    while (in >> v)
        out.push_back(v);
    return out;
}

struct SRound {
    std::string kind;
    long long first = 0, last = -1; // numbers this round generated
};

struct SCounts {
    long long generated = 0, delivered = 0, duplicated = 0, lost = 0;
};

} // namespace

TEST(EventKillRounds, KilledAndTerminatedRoundsLoseNothingStoredAndDeliverAtTheNextStart) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    const std::string cache = home.path() + "/cache/";
    fs::create_directories(cache);
    const std::string db = cache + "shopdesk.db";
    const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    std::mt19937 rng(20261209);
    std::vector<SRound> rounds;
    long long base = 0;
    auto run = [&](const std::string& kind, const std::string& host, int count) {
        size_t before = Generated(cache + "generated").size();
        pid_t pid = LaunchWith({EVENTROAD_CHILD, cache, host, std::to_string(base), std::to_string(count)});
        rounds.push_back({kind, base, base - 1});
        base += 1000000;
        return std::make_pair(pid, before);
    };
    auto finish = [&](size_t before) {
        std::vector<long long> g = Generated(cache + "generated");
        if (g.size() > before)
            rounds.back().last = g.back();
        return g.size() - before;
    };

    // Storing: the host refuses, so every event stays in the store; a kill takes none of it.
    std::multiset<long long> stored;
    for (int i = 0; i < 10; ++i) {
        auto [pid, before] = run("SIGKILL while storing", refused, 1000000);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(150, 700)(rng)));
        kill(pid, SIGKILL);
        ASSERT_EQ(128 + SIGKILL, WaitExit(pid, 5000));
        finish(before);
        ASSERT_EQ(std::vector<std::string>{"ok"}, Column(db, "pragma integrity_check"));
        std::multiset<long long> now = StoredSeqs(db);
        EXPECT_EQ(std::set<long long>(now.begin(), now.end()).size(), now.size()) << "a stored event doubled";
        EXPECT_TRUE(std::includes(now.begin(), now.end(), stored.begin(), stored.end())) << "a stored event was lost";
        stored = now;
    }
    ASSERT_GT(stored.size(), 500u);

    // Re-uploading: the host answers, the store is sent again at start and the kill lands
    // in the middle of the pass; only what was delivered but not yet deleted may go out twice.
    for (int i = 0; i < 10; ++i) {
        auto [pid, before] = run("SIGKILL while re-uploading", peer.BaseUrl(), 1000000);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(60, 400)(rng)));
        kill(pid, SIGKILL);
        ASSERT_EQ(128 + SIGKILL, WaitExit(pid, 5000));
        finish(before);
    }

    // Quitting: the host stalls past the time-out, the queue is full when the terminate comes,
    // and the normal quit keeps what is queued within its five seconds.
    ASSERT_EQ(0, peer.GetJson("/demo/fault?mode=slow&path=/mobilelog/&count=-1&delay_ms=6500")["code"].asInt());
    for (int i = 0; i < 5; ++i) {
        auto [pid, before] = run("SIGTERM while quitting", peer.BaseUrl(), 300);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(500, 900)(rng)));
        kill(pid, SIGTERM);
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(0, WaitExit(pid, 15000)) << "a terminated round must end through its quit";
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(7000));
        size_t made = finish(before);
        std::multiset<long long> now = StoredSeqs(db);
        size_t kept = 0;
        for (long long s = rounds.back().first; s <= rounds.back().last; ++s)
            kept += now.count(s);
        // The one in flight when the time-out came may be kept by its thread or still be on its way.
        EXPECT_GE(kept + 1, made) << "events queued at the terminate were dropped";
    }
    peer.Get("/demo/fault?mode=off");

    // The next start sends everything left, then ends through a terminate once the store is empty.
    {
        auto [pid, before] = run("last start", peer.BaseUrl(), 0);
        EXPECT_TRUE(WaitUntil([&] { return RowCount(db) == 0; }, 60000));
        kill(pid, SIGTERM);
        EXPECT_EQ(0, WaitExit(pid, 10000));
        finish(before);
    }
    // Answers that came after the time-out still land at the server; wait them out.
    std::this_thread::sleep_for(std::chrono::milliseconds(7000));

    std::multiset<long long> delivered = DeliveredSeqs(home.path() + "/demo/events.jsonl");
    ASSERT_EQ(peer.GetJson("/demo/events/count")["count"].asUInt(), delivered.size())
        << "the server's list of events did not come whole";
    std::set<long long> generated;
    for (long long g : Generated(cache + "generated"))
        generated.insert(g);
    std::map<std::string, SCounts> counts;
    for (const SRound& r : rounds) {
        SCounts& c = counts[r.kind];
        long long lost = 0;
        for (long long s = r.first; s <= r.last; ++s) {
            if (!generated.count(s))
                continue;
            ++c.generated;
            size_t n = delivered.count(s);
            c.delivered += n ? 1 : 0;
            c.duplicated += n > 1 ? static_cast<long long>(n - 1) : 0;
            lost += n ? 0 : 1;
        }
        c.lost += lost;
        // Every event is stored before it is first sent: neither a kill nor a quit takes one.
        EXPECT_EQ(0, lost) << r.kind << " lost events";
    }
    for (const auto& [kind, c] : counts)
        std::printf("%-28s generated %6lld  delivered %6lld  duplicated %4lld  lost %4lld\n", kind.c_str(),
                    c.generated, c.delivered, c.duplicated, c.lost);
    // Doubles come only from a kill before delivered rows were deleted (in each of the ten
    // re-upload rounds a batch of ten and the one in flight from each of the two threads),
    // whichever round stored the event, and from answers that came after the time-out (two
    // threads, five rounds).
    long long doubled = 0;
    for (const auto& kc : counts)
        doubled += kc.second.duplicated;
    EXPECT_LE(doubled, 10 * 2 * (CEventLogManage::kDeliveredDeleteBatch + 1) + 5 * 2);
    EXPECT_EQ(0, peer.GetJson("/demo/events/count")["rejected"].asInt());
}

TEST(EventKillRounds, ATerminatedWorkbenchKeepsItsQueuedEventsForTheNextStart) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointLaunchesAt(peer, home.path());
    // Every upload stalls past its time-out, so the start-up events wait in the queue.
    peer.Get("/demo/fault?mode=slow&path=/mobilelog/&count=-1&delay_ms=60000");

    for (int sig : {SIGTERM, SIGHUP}) {
        pid_t pid = LaunchWith({SHOPDESK_EXE, "tessaril://uid=merchant/"});
        ASSERT_TRUE(WaitUntil([&] { return PeerWasAsked(peer, "/admin/index.php?uid=merchant"); }, 30000));
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        kill(pid, sig);
        EXPECT_EQ(0, WaitExit(pid, 15000)) << "signal " << sig;
        peer.Get("/demo/requests/clear");
    }
    // Each run's start-up "device" event was held by the stalled upload when the signal came;
    // the quit waited for its time-out and stored it, and the second run kept the first's.
    std::string db;
    for (const auto& f : fs::recursive_directory_iterator(home.path()))
        if (f.path().filename() == "shopdesk.db")
            db = f.path().string();
    ASSERT_FALSE(db.empty());
    std::vector<std::string> codes = Column(db, "select event_code from EventUpFailed");
    std::multiset<std::string> kinds(codes.begin(), codes.end());
    EXPECT_GE(kinds.count("device"), 2u) << "stored: " << codes.size();
}
