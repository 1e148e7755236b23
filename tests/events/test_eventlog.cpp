// Usage events end to end: the signed body, the failed-event store on a real database file,
// the queue, and the two upload threads against the demo server.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "net/jsonwrite.h"
#include "support/launch.h"
#include "storecheck.h"
#include "support/testenv.h"

namespace {

Json::Value Parse(const std::string& text) {
    Json::Value v;
    Json::Reader().parse(text, v);
    return v;
}

class EventTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CHttpWork::GlobalInit(); }
    void SetUp() override { cacheDir = home.path() + "/cache/"; ASSERT_TRUE(CreateDir(cacheDir)); }
    static bool CreateDir(const std::string& d) { return std::system(("mkdir -p '" + d + "'").c_str()) == 0; }
    void PointMobileHostAt(const std::string& url) {
        SDeployHosts h;
        h.strMobileApiHost = url;
        CHttpWork::GetInstance()->SetDeployHosts(h);
    }
    std::string DbPath() const { return cacheDir + "shopdesk.db"; }

    ScopedTestHome home;
    std::string cacheDir;
};

CXDBPtr<IXDBConnection>& OpenDb(CXDBPtr<IXDBConnection>& c, const std::string& path) {
    CreateSQLiteConnection(&c);
    c->Open(Utf8ToWide(path).c_str());
    return c;
}

} // namespace

TEST(EventSigning, EnvelopeCarriesOneSignedEvent) {
    SEventLogMsgEx ev;
    ev.event_time = 1718000000;
    ev.event_code = "launch";
    ev.uid = "u1";
    ev.app_ver = "2.1.4";
    ev.launch_guid = "LG";
    std::string data = BuildEventDataText(ev, "GUID1", "6.1", "64", "machine");
    EXPECT_EQ("[{\"attr\":null,\"basic\":{\"app_code\":\"win.qdx.tsclient\",\"app_ver\":\"2.1.4\",\"device_type\":\"win\","
              "\"event_code\":\"launch\",\"event_guid\":\"GUID1\",\"event_time\":1718000000,\"hardware_model\":\"64\","
              "\"launch_guid\":\"LG\",\"open_udid\":\"machine\",\"sys_ver\":\"6.1\",\"uid\":\"u1\"}}]",
              data);
    std::string sign = SignEventData(ev.event_time, data);
    std::string expected;
    Base64Encode(Md5Hex("3c9e0a7b51d2f84e6a0b9c7d2e5f1a48" "1718000000" + data), expected);
    EXPECT_EQ(expected, sign);
    EXPECT_EQ(44u, sign.size());
    EXPECT_EQ('=', sign.back());
    Json::Value env = Parse(BuildEventEnvelope(ev.event_time, data));
    EXPECT_EQ("default", env["post_style"].asString());
    EXPECT_EQ(data, env["update"]["data"].asString());
    EXPECT_EQ(sign, env["update"]["sign"].asString());
    EXPECT_EQ(1718000000, env["update"]["ts"].asInt64());

    ev.attr["k"] = "v";
    EXPECT_NE(std::string::npos, BuildEventDataText(ev, "G", "6.1", "64", "m").find("\"attr\":{\"k\":\"v\"}"));
}

// The servers check the signature over the envelope's exact bytes, so it must read as the JSON
// writer writes it, whatever the event carries and whatever text it is handed.
TEST(EventSigning, EnvelopeIsTheWritersOwnBytes) {
    auto writers = [](int64_t t, const std::string& data) {
        Json::Value root(Json::objectValue);
        root["post_style"] = "default";
        root["update"]["data"] = data;
        root["update"]["sign"] = SignEventData(t, data);
        root["update"]["ts"] = static_cast<Json::Int64>(t);
        return JsonCompact(root, false);
    };
    SEventLogMsgEx ev;
    ev.event_time = 1718000000;
    ev.event_code = "sales_tessaril_receive_msg";
    ev.attr = {{"msg_content", "您好 \"quoted\" back\\slash /path\ttab\nline \x01 \x7f 😀"},
               {"broken", std::string("\xff\xfe\xc3", 3)}, {"", ""}};
    std::vector<std::pair<int64_t, std::string>> cases = {
        {ev.event_time, BuildEventDataText(ev, "G", "6.1", "64", "m")},
        {0, ""}, {-5, "\"\\\"\\"}, {INT64_MAX, "plain"}, {INT64_MIN, "~ !#$%&'()*+,-./:;<=>?@[]^_`{|}"},
        // Not the writer's output: raw UTF-8, control bytes and DEL take the library's path.
        {1, "您好"}, {2, std::string("a\0b", 3)}, {3, "tab\there"}, {4, "del\x7f"}, {5, std::string("\xff", 1)}};
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        std::string text(rng() % 40, ' ');
        for (char& c : text)
            c = static_cast<char>(0x20 + rng() % 0x60); // printable ASCII and DEL
        cases.push_back({static_cast<int64_t>(rng()), text});
    }
    for (const auto& c : cases)
        EXPECT_EQ(writers(c.first, c.second), BuildEventEnvelope(c.first, c.second)) << c.second;
}

TEST_F(EventTest, InitDbCreatesTheTableOnceInWalMode) {
    CEventLogManage m;
    ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
    auto sql = Column(DbPath(), "select sql from sqlite_master where name='EventUpFailed'");
    ASSERT_EQ(1u, sql.size());
    // SQLite keeps the statement's text, only upper-casing its first two words.
    EXPECT_EQ("CREATE TABLE EventUpFailed(\t\t\tEventID INTEGER primary key autoincrement,\t\t\tevent_time INT64 NOT "
              "NULL,\t\t\tevent_code CHAR(100) NOT NULL,\t\t\tuid\t\t  CHAR(20)  NOT NULL,\t\t\tlaunch_guid CHAR(40) "
              "NOT NULL,\t\t\tapp_ver\t\tCHAR(40) NOT NULL,\t\t\tattrStr   NVARCHAR(256) NULL,\t\t\todtCreateTime"
              "\t\tDATETIME\t\t\t)",
              sql[0]);
    CEventLogManage again;
    EXPECT_TRUE(again.InitDB(Utf8ToWide(cacheDir)));

    EXPECT_EQ(std::vector<std::string>{"wal"}, Column(DbPath(), "pragma journal_mode"));
}

TEST_F(EventTest, StoredEventsReadBackIntactAndExpireAfterThreeDays) {
    CEventLogManage m;
    ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
    CXDBPtr<IXDBConnection> c;
    OpenDb(c, DbPath());

    SEventLogMsgEx ev;
    ev.event_time = -4102444800LL * 2; // upper 32 bits set, negative
    ev.event_code = "it's \"quoted\"";
    ev.uid = "o'neil";
    ev.launch_guid = "G'1";
    ev.attr["msg_content"] = "你好, it's 旅行 ✈";
    ev.attr["quote"] = "'); drop table EventUpFailed; --";
    ASSERT_TRUE(CEventLogManage::SaveFailedEvent(c.Get(), ev));
    SEventLogMsgEx plain;
    plain.event_time = 5;
    plain.event_code = "launch";
    ASSERT_TRUE(CEventLogManage::SaveFailedEvent(c.Get(), plain));

    std::list<SEventLogMsgEx> back;
    ASSERT_EQ(S_OK, CEventLogManage::LoadFailedEvents(c.Get(), back));
    ASSERT_EQ(2u, back.size());
    const SEventLogMsgEx& r = back.front();
    EXPECT_GT(r.EventID, 0);
    EXPECT_EQ(ev.event_time, r.event_time);
    EXPECT_EQ(ev.event_code, r.event_code);
    EXPECT_EQ(ev.uid, r.uid);
    EXPECT_EQ(ev.launch_guid, r.launch_guid);
    EXPECT_EQ("2.1.4", r.app_ver);
    EXPECT_EQ(ev.attr, r.attr);
    EXPECT_TRUE(back.back().attr.empty());

    // Rows older than three days by their store time go; younger ones stay.
    Column(DbPath(), "update EventUpFailed set odtCreateTime='2000-01-01 00:00:00' where event_code='launch'");
    EXPECT_EQ(E_FAIL, CEventLogManage::DeleteExpired(c.Get(), 0));
    EXPECT_EQ(S_OK, CEventLogManage::DeleteExpired(c.Get(), 3));
    EXPECT_EQ(1, RowCount(DbPath()));

    // Deleting by id copes with more ids than one statement can carry.
    std::vector<int32_t> ids;
    for (int i = 0; i < 1200; ++i) {
        plain.event_time = i;
        ASSERT_TRUE(CEventLogManage::SaveFailedEvent(c.Get(), plain));
    }
    back.clear();
    CEventLogManage::LoadFailedEvents(c.Get(), back);
    for (const auto& e : back)
        if (e.event_code == "launch")
            ids.push_back(e.EventID);
    ASSERT_EQ(1200u, ids.size());
    EXPECT_EQ(S_OK, CEventLogManage::DeleteEvents(c.Get(), ids));
    EXPECT_EQ(1, RowCount(DbPath()));
}

TEST_F(EventTest, QueueHoldsUpTo1001InOrder) {
    CEventLogManage m; // not started: nothing drains the queue
    for (int i = 0; i < 1005; ++i)
        m.AddEvent("page", {{"i", std::to_string(i)}});
    EXPECT_EQ(1001u, m.QueuedCount());
    SEventLogMsgEx first;
    ASSERT_TRUE(m.PopEvent(first));
    EXPECT_EQ("0", first.attr["i"]);
    EXPECT_EQ("2.1.4", first.app_ver);
}

TEST_F(EventTest, EventsReachTheServerSignedAndInOrder) {
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointMobileHostAt(peer.BaseUrl());
    {
        CEventLogManage m;
        m.SetUid("merchant'1");
        m.SetLaunchGuid("LAUNCH");
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.Start();
        for (int i = 0; i < 30; ++i)
            m.AddEvent("sales_tessaril_receive_msg", {{"seq", std::to_string(i)}, {"msg_content", "在吗？"}});
        ASSERT_TRUE(peer.WaitForEvents(30, 10000));
    }
    Json::Value events = peer.Events();
    EXPECT_EQ(0, events["rejected"].asInt());
    std::set<std::string> guids;
    for (unsigned i = 0; i < 30; ++i) {
        const Json::Value& e = events["events"][i];
        EXPECT_EQ(std::to_string(i), e["attr"]["seq"].asString());
        EXPECT_FALSE(e["attr"].isMember("is_reupload"));
        EXPECT_EQ("merchant'1", e["basic"]["uid"].asString());
        EXPECT_EQ("在吗？", e["attr"]["msg_content"].asString());
        EXPECT_EQ(32u, e["basic"]["event_guid"].asString().size());
        guids.insert(e["basic"]["event_guid"].asString());
        EXPECT_EQ("win.qdx.tsclient", e["app_code_form"].asString());
    }
    EXPECT_EQ(30u, guids.size());
    EXPECT_EQ(0, RowCount(DbPath()));
}

TEST_F(EventTest, EventsStoredWhileTheHostIsDownArriveOnceAtTheNextStart) {
    PointMobileHostAt("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.Start();
        for (int i = 0; i < 25; ++i)
            m.AddEvent("it's", {{"seq", std::to_string(i)}, {"name", "小王's shop"}});
        ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 25; }, 10000));
    }
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointMobileHostAt(peer.BaseUrl());
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.Start();
        ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 0; }, 10000));
    }
    Json::Value events = peer.Events();
    ASSERT_EQ(25u, events["count"].asUInt());
    std::set<std::string> seqs;
    for (const Json::Value& e : events["events"]) {
        seqs.insert(e["attr"]["seq"].asString());
        EXPECT_EQ("1", e["attr"]["is_reupload"].asString());
        EXPECT_EQ("it's", e["basic"]["event_code"].asString());
        EXPECT_EQ("小王's shop", e["attr"]["name"].asString());
    }
    EXPECT_EQ(25u, seqs.size());
}

TEST_F(EventTest, EveryStoredEventSurvivesTwentyKillsWhileStoring) {
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
    }
    std::mt19937 rng(15);
    int next = 0;
    for (int round = 0; round < 20; ++round) {
        int ack[2];
        ASSERT_EQ(0, pipe(ack));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ack[0]);
            CXDBPtr<IXDBConnection> c;
            if (!CEventLogManage::OpenStoreConnection(c, Utf8ToWide(DbPath())))
                _exit(1);
            SEventLogMsgEx ev;
            ev.event_code = "page";
            for (int i = next;; ++i) {
                ev.event_time = i;
                ev.attr["seq"] = std::to_string(i);
                // Told to the parent only once the store said it holds the event.
                if (CEventLogManage::SaveFailedEvent(c.Get(), ev) && write(ack[1], &i, sizeof(i)) != sizeof(i))
                    _exit(1);
            }
        }
        close(ack[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 250)(rng)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        int last = -1, v;
        while (read(ack[0], &v, sizeof(v)) == sizeof(v))
            last = v;
        close(ack[0]);
        ASSERT_GE(last, next) << "round " << round << " stored nothing";

        ASSERT_EQ(std::vector<std::string>{"ok"}, Column(DbPath(), "pragma integrity_check"));
        auto rows = Column(DbPath(), "select count(*) from EventUpFailed");
        auto distinct = Column(DbPath(), "select count(distinct event_time) from EventUpFailed");
        auto acked = Column(DbPath(), "select count(*) from EventUpFailed where event_time <= " + std::to_string(last));
        EXPECT_EQ(rows, distinct) << "an event was stored twice";
        EXPECT_EQ(std::to_string(last + 1), acked[0]) << "round " << round << " lost a stored event";
        next = std::atoi(Column(DbPath(), "select max(event_time) from EventUpFailed")[0].c_str()) + 1;
    }
    CEventLogManage again;
    EXPECT_TRUE(again.InitDB(Utf8ToWide(cacheDir)));
}

TEST_F(EventTest, EventsAnsweredWithAServerFailureOrCutShortAreKeptAndSentAtTheNextStart) {
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    PointMobileHostAt(peer.BaseUrl());
    auto uploads = [&] {
        int n = 0;
        for (const Json::Value& r : peer.Requests())
            n += r["target"].asString() == "/mobilelog/rest/EventLog/";
        return n;
    };
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.Start();
        int stored = 0;
        // A server failure, a throttle and a body cut mid-way: the server never took the event.
        for (const char* fault : {"500", "429", "cut"}) {
            peer.Get(std::string("/demo/fault?mode=") + fault + "&count=5&path=/mobilelog/");
            for (int i = 0; i < 5; ++i)
                m.AddEvent("page", {{"seq", std::string(fault) + "-" + std::to_string(i)}});
            stored += 5;
            EXPECT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == stored; }, 15000)) << fault;
        }
        // A refusal is the server's word on the event: it is not sent again.
        peer.Get("/demo/fault?mode=400&count=5&path=/mobilelog/");
        for (int i = 0; i < 5; ++i)
            m.AddEvent("page", {{"seq", "refused-" + std::to_string(i)}});
        EXPECT_TRUE(WaitUntil([&] { return uploads() == 20; }, 15000));
        EXPECT_TRUE(WaitUntil([&] { return m.QueuedCount() == 0; }, 5000));
    }
    EXPECT_EQ(RowCount(DbPath()), 15);
    EXPECT_EQ(peer.Events()["count"].asUInt(), 0u);
    {
        CEventLogManage m;
        ASSERT_TRUE(m.InitDB(Utf8ToWide(cacheDir)));
        m.Start();
        ASSERT_TRUE(WaitUntil([&] { return RowCount(DbPath()) == 0; }, 15000));
    }
    std::set<std::string> seqs;
    Json::Value events = peer.Events();
    for (const Json::Value& e : events["events"])
        seqs.insert(e["attr"]["seq"].asString());
    EXPECT_EQ(seqs.size(), 15u);
    EXPECT_EQ(seqs.count("500-0") + seqs.count("429-4") + seqs.count("cut-2"), 3u);
    EXPECT_EQ(seqs.count("refused-0"), 0u);
}
