// The event road when things go wrong around it: a damaged store, a queue at its limit, a
// quit while the host stalls, a stop in the middle of the re-upload pass; and what it puts on
// the wire: connections kept across uploads, events bigger than a small form.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "support/launch.h"
#include "storecheck.h"
#include "support/testenv.h"

namespace fs = std::filesystem;

namespace {

void PointMobileHostAt(const std::string& url) {
    SDeployHosts h;
    h.strMobileApiHost = url;
    CHttpWork::GetInstance()->SetDeployHosts(h);
}

// What the allocator has handed out and not got back.
long HeapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return static_cast<long>(mi.uordblks + mi.hblkhd);
}

std::string RefusingHost() { return "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()); }

// A loopback relay in front of a server that counts the connections its clients open.
class CountingRelay {
public:
    explicit CountingRelay(int targetPort) : m_target(targetPort) {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), len);
        listen(m_listen, 16);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_accept = std::thread([this] { AcceptLoop(); });
    }
    ~CountingRelay() {
        m_stop = true;
        shutdown(m_listen, SHUT_RDWR);
        close(m_listen);
        m_accept.join();
        for (std::thread& t : m_pumps)
            t.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int Connections() const { return m_count; }

private:
    void AcceptLoop() {
        for (;;) {
            int c = accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            ++m_count;
            m_pumps.emplace_back([this, c] { Pump(c); });
        }
    }
    void Pump(int client) {
        int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(m_target));
        if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
            pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            char buf[65536];
            while (!m_stop && poll(fds, 2, 100) >= 0) {
                bool done = false;
                for (int i = 0; i < 2 && !done; ++i) {
                    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    ssize_t n = read(fds[i].fd, buf, sizeof(buf));
                    done = n <= 0 || write(fds[1 - i].fd, buf, static_cast<size_t>(n)) != n;
                }
                if (done)
                    break;
            }
        }
        close(server);
        close(client);
    }

    int m_target;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_count{0};
    std::thread m_accept;
    std::vector<std::thread> m_pumps;
};

// A store at `db` holding `count` "page" events, each with the attributes `attr` and "i".
void FillStore(const std::string& cacheDir, int count, std::map<std::string, std::string> attr) {
    CEventLogManage m;
    ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
    CXDBPtr<IXDBConnection> c;
    ASSERT_TRUE(CEventLogManage::OpenStoreConnection(c, Utf8ToWide(cacheDir + "shopdesk.db")));
    SEventLogMsgEx ev;
    ev.event_code = "page";
    ev.attr = std::move(attr);
    for (int i = 0; i < count; ++i) {
        ev.attr["i"] = std::to_string(i);
        ASSERT_TRUE(CEventLogManage::SaveFailedEvent(c.Get(), ev));
    }
    // Everything into the main file, as a closed store would be.
    ASSERT_EQ(S_OK, c->Execute(L"PRAGMA wal_checkpoint(TRUNCATE)"));
}

class EventFaultTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CHttpWork::GlobalInit(); }
    void SetUp() override {
        cacheDir = home.path() + "/cache/";
        fs::create_directories(cacheDir);
    }
    std::string DbPath() const { return cacheDir + "shopdesk.db"; }
    // The store opened in the cache folder and its threads started.
    bool OpenAndStart(CEventLogManage& m) {
        if (!m.InitDB(Utf8ToWide(cacheDir)))
            return false;
        m.Start();
        return true;
    }
    // The demo server started as the host the events go to.
    bool StartCollector(DemoPeer& peer) {
        if (!peer.Start(home.path() + "/demo"))
            return false;
        PointMobileHostAt(peer.BaseUrl());
        return true;
    }
    std::vector<fs::path> KeptAside() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(cacheDir)) {
            std::string name = e.path().filename().string();
            if (name.rfind("shopdesk.db.", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".bad") == 0)
                out.push_back(e.path());
        }
        return out;
    }

    ScopedTestHome home;
    std::string cacheDir;
};

} // namespace

TEST_F(EventFaultTest, ADamagedStoreIsKeptAsideAndAFreshOneStoresTheFailures) {
    // A store with rows whose pages are then overwritten past the header.
    auto damagePages = [&] {
        FillStore(cacheDir, 60, {{"pad", std::string(2000, 'x')}});
        std::string bytes = ReadFileBytes(DbPath());
        ASSERT_GT(bytes.size(), 8192u);
        for (size_t i = 4096 + 100; i < bytes.size(); i += 97)
            bytes[i] = static_cast<char>(0xA5);
        WriteFileBytes(DbPath(), bytes);
    };
    const std::vector<std::pair<const char*, std::function<void()>>> damages = {
        {"garbage", [&] { WriteFileBytes(DbPath(), std::string(8192, '\x5a')); }},
        {"a folder", [&] { fs::create_directories(DbPath() + "/inside"); }},
        {"damaged pages", damagePages},
    };
    for (const auto& [what, damage] : damages) {
        SCOPED_TRACE(what);
        fs::remove_all(cacheDir);
        fs::create_directories(cacheDir);
        damage();
        bool wasFolder = fs::is_directory(DbPath());
        std::string before = wasFolder ? std::string() : ReadFileBytes(DbPath());

        PointMobileHostAt(RefusingHost());
        {
            CEventLogManage m;
            ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
            // Damaged pages are found by the re-upload thread, off the thread that opens.
            m.Start();
            ASSERT_TRUE(WaitUntil([&] { return KeptAside().size() == 1; }, 10000));
            auto aside = KeptAside();
            if (wasFolder)
                EXPECT_TRUE(fs::exists(aside[0] / "inside"));
            else
                EXPECT_EQ(before, ReadFileBytes(aside[0].string())) << "the damaged store must be kept as it was";
            for (int i = 0; i < 3; ++i)
                m.AddEvent("page", {{"i", std::to_string(i)}});
            EXPECT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 3; }, 10000)) << "failures must be stored again";
        }
        // The fresh store opens without being moved aside again.
        CEventLogManage again;
        EXPECT_TRUE(again.InitDB(Utf8ToWide(cacheDir)));
        EXPECT_EQ(1u, KeptAside().size());
    }
}

TEST_F(EventFaultTest, EveryEventIsStoredAsItComesAndTheQueueLimitOnlyHoldsBackItsUpload) {
    {
        CEventLogManage m; // not started: nothing drains the queue
        m.AddEvent("page", {{"i", "0"}});
        m.AddEvent("page", {{"i", "1"}});
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        EXPECT_EQ(2, RowCount(DbPath())) << "what came before the store opened is stored when it opens";
        for (int i = 2; i < 1005; ++i)
            m.AddEvent("page", {{"i", std::to_string(i)}});
        EXPECT_EQ(1001u, m.QueuedCount());
        EXPECT_EQ(1005, RowCount(DbPath())) << "events past the limit are stored, not dropped";
    }
    EXPECT_EQ(1005, RowCount(DbPath())) << "nothing is stored twice when the manager stops";
    CXDBPtr<IXDBConnection> c;
    ASSERT_TRUE(CEventLogManage::OpenStoreConnection(c, Utf8ToWide(DbPath())));
    std::list<SEventLogMsgEx> back;
    CEventLogManage::LoadFailedEvents(c.Get(), back);
    std::set<std::string> seen;
    for (const auto& e : back)
        seen.insert(e.attr.at("i"));
    EXPECT_EQ(1005u, seen.size());
    std::vector<int32_t> ids;
    for (const auto& e : back)
        ids.push_back(e.EventID);
    CEventLogManage::DeleteEvents(c.Get(), ids);

    // A host that stalls past the time-out: one upload is in flight, the rest wait queued
    // when the quit comes, and all of them are stored within the five seconds of the stop.
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    peer.Get("/demo/fault?mode=slow&path=/mobilelog/&count=-1&delay_ms=20000");
    PointMobileHostAt(peer.BaseUrl());
    auto t0 = std::chrono::steady_clock::now();
    {
        CEventLogManage m;
        ASSERT_TRUE(OpenAndStart(m));
        for (int i = 0; i < 50; ++i)
            m.AddEvent("page", {{"i", std::to_string(i)}});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        t0 = std::chrono::steady_clock::now();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(5500));
    EXPECT_EQ(50, RowCount(DbPath()));
}

// The log a stored event is written into is copied into the store by the store keeper, off
// the thread that makes the events, so it stays short while events flow.
TEST_F(EventFaultTest, TheWriteAheadLogStaysShortWhileEventsFlow) {
    DemoPeer peer;
    ASSERT_TRUE(StartCollector(peer));
    CEventLogManage m;
    ASSERT_TRUE(OpenAndStart(m));
    uintmax_t longest = 0;
    const int kEvents = 1500;
    for (int i = 0; i < kEvents; ++i) {
        m.AddEvent("page", {{"i", std::to_string(i)}});
        if (i % 100 == 99) {
            // A quiet moment: everything delivered, and its rows gone from the store.
            ASSERT_TRUE(peer.WaitForEvents(static_cast<unsigned>(i + 1), 20000));
            ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 0; }, 20000));
            std::error_code ec;
            longest = std::max(longest, fs::file_size(DbPath() + "-wal", ec));
        }
    }
    // A hundred events between quiet moments come to about 1.8 MB of log; the store's own
    // automatic copy alone would let it reach 4 MB, and its far-off fallback 40 MB.
    EXPECT_LT(longest, 3u << 20);
    EXPECT_GT(longest, 0u);
}

TEST_F(EventFaultTest, TheReuploadPassSendsOnlyWhatEarlierRunsLeftNotThisRunsQueue) {
    FillStore(cacheDir, 30, {});
    DemoPeer peer;
    ASSERT_TRUE(StartCollector(peer));
    // The first new upload stalls, so this run's events sit in the store, queued, while the
    // pass reads it.
    peer.Get("/demo/fault?mode=slow&path=/mobilelog/&count=1&delay_ms=1500");
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.HoldReupload();
        m.Start();
        for (int i = 0; i < 10; ++i)
            m.AddEvent("page", {{"i", "new-" + std::to_string(i)}});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(40, RowCount(DbPath()));
        m.ReleaseReupload();
        ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 0; }, 20000));
    }
    Json::Value events = peer.Events();
    std::map<std::string, int> sent;
    for (const Json::Value& e : events["events"]) {
        std::string i = e["attr"]["i"].asString();
        ++sent[i];
        EXPECT_EQ(i.rfind("new-", 0) != 0, e["attr"]["is_reupload"].asString() == "1") << i;
    }
    EXPECT_EQ(40u, sent.size());
    for (const auto& [i, n] : sent)
        EXPECT_EQ(1, n) << i << " went out more than once";
}

TEST_F(EventFaultTest, AStopDuringTheReuploadPassDeletesExactlyTheRowsSent) {
    FillStore(cacheDir, 100, {});
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    peer.Get("/demo/fault?mode=slow&path=/mobilelog/&count=-1&delay_ms=60");
    PointMobileHostAt(peer.BaseUrl());
    {
        CEventLogManage m;
        ASSERT_TRUE(OpenAndStart(m));
        // Past one batch of deletes, short of the end.
        ASSERT_TRUE(WaitUntil([&] { return peer.GetJson("/demo/events/count")["count"].asInt() >= 15; }, 20000));
        EXPECT_LT(RowCount(DbPath()), 100) << "delivered rows are deleted as the pass goes";
    }
    Json::Value events = peer.Events();
    std::set<std::string> sent;
    for (const Json::Value& e : events["events"])
        sent.insert(e["attr"]["i"].asString());
    EXPECT_EQ(sent.size(), events["count"].asUInt()) << "an event went out twice";
    EXPECT_LT(sent.size(), 100u);
    EXPECT_EQ(100, static_cast<int>(sent.size()) + RowCount(DbPath())) << "sent rows stay, or unsent rows went";
}

TEST_F(EventFaultTest, UploadsKeepTheirConnectionAndSendTheSameBytes) {
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    CountingRelay relay(peer.Port());
    PointMobileHostAt(relay.Url());
    const int kEvents = 40;
    {
        CEventLogManage m;
        ASSERT_TRUE(OpenAndStart(m));
        for (int i = 0; i < kEvents; ++i) {
            m.AddEvent("page", {{"i", std::to_string(i)}});
            // One at a time, so every upload could have had a connection of its own.
            ASSERT_TRUE(peer.WaitForEvents(static_cast<unsigned>(i + 1), 5000));
        }
    }
    EXPECT_EQ(0, peer.Events()["rejected"].asInt());
    EXPECT_GE(relay.Connections(), 1);
    EXPECT_LE(relay.Connections(), kEvents / 4) << "uploads opened a connection each";
    // The requests on a kept connection carry what the first, fresh one carried.
    Json::Value reqs = peer.Requests();
    ASSERT_GE(reqs.size(), static_cast<unsigned>(kEvents));
    const Json::Value& first = reqs[0];
    for (const Json::Value& r : reqs) {
        EXPECT_EQ(first["method"], r["method"]);
        EXPECT_EQ(first["target"], r["target"]);
        EXPECT_EQ(GetShopdeskUserAgent(), r["user_agent"].asString());
        EXPECT_EQ(first["accept_encoding"], r["accept_encoding"]);
        EXPECT_EQ(first["has_cookie"], r["has_cookie"]);
    }
}

TEST_F(EventFaultTest, EventsBiggerThanASmallFormReachTheCollector) {
    DemoPeer peer;
    ASSERT_TRUE(StartCollector(peer));
    std::string longText, hugeText;
    for (int i = 0; i < 700; ++i)
        longText += "旅";
    for (int i = 0; i < 100000; ++i)
        hugeText += "行";
    {
        CEventLogManage m;
        ASSERT_TRUE(OpenAndStart(m));
        m.AddEvent("sales_tessaril_send_msg", {{"content", longText}});
        m.AddEvent("sales_tessaril_send_msg", {{"content", hugeText}});
        ASSERT_TRUE(peer.WaitForEvents(2, 20000));
    }
    Json::Value events = peer.Events();
    EXPECT_EQ(longText, events["events"][0]["attr"]["content"].asString());
    EXPECT_EQ(hugeText, events["events"][1]["attr"]["content"].asString());
    EXPECT_EQ(0, RowCount(DbPath()));
}

TEST_F(EventFaultTest, AnUploadKeepsNoCopyOfItsBodyOnceFinished) {
    DemoPeer peer;
    ASSERT_TRUE(StartCollector(peer));
    // An event carrying a page's megabyte text makes a body of this order.
    std::string form = "app_code=shopdesk&jsondata=" + std::string(8 << 20, 'a');
    long withBody = HeapInUse();
    ASSERT_TRUE(CHttpWork::GetInstance()->StartUpload(std::move(form)));
    SHttpResult result;
    CHttpWork::GetInstance()->FinishUpload(result);
    EXPECT_GT(result.nResponseCode, 0) << "the server answered";
    EXPECT_LT(HeapInUse(), withBody - (6 << 20)) << "the upload's thread still holds its body";
}

TEST_F(EventFaultTest, TheSenderKeepsNoCopyOfAnEventOnceSent) {
    DemoPeer peer;
    ASSERT_TRUE(StartCollector(peer));
    CEventLogManage m;
    ASSERT_TRUE(OpenAndStart(m));
    m.AddEvent("page", {{"i", "0"}});
    ASSERT_TRUE(peer.WaitForEvents(1, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    long base = HeapInUse();
    m.AddEvent("sales_tessaril_send_msg", {{"msg_content", std::string(2 << 20, 'x')}});
    ASSERT_TRUE(peer.WaitForEvents(2, 20000));
    for (int i = 0; i < 100 && m.QueuedCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Once the queue has run dry, the sender holds nothing of the event and the store's
    // connections give back the pages they cached of its row (each held a copy's worth).
    long held = HeapInUse() - base;
    EXPECT_LT(held, 3 << 20) << held << " bytes held after the event went out";
}
