// Event reporting throughput: the whole pipeline (AddEvent to accepted by the demo server over
// loopback, or to stored when the server is unreachable), and store-then-reload of failed events.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>


#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"

namespace {

unsigned EventCount(const DemoPeer& peer) { return peer.GetJson("/demo/events/count")["count"].asUInt(); }

std::string TempDir() {
    char tmpl[] = "/tmp/bench_events_XXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
}

int RowCount(const std::string& db) {
    sqlite3* h = nullptr;
    int n = -1;
    if (sqlite3_open(db.c_str(), &h) == SQLITE_OK) {
        sqlite3_busy_timeout(h, 5000);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, "select count(*) from EventUpFailed", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return n;
}

const std::map<std::string, std::string> kAttr = {{"msg_content", "您好，请问这个线路还有名额吗？"},
                                                  {"c_id", "c1024"}, {"type", "text"}, {"unreadnum", "3"}};

void BM_PipelineServerReachable(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string dir = TempDir();
    DemoPeer server;
    if (!server.Start(dir + "demo")) {
        state.SkipWithError("demo server did not start");
        return;
    }
    SDeployHosts hosts;
    hosts.strMobileApiHost = "http://127.0.0.1:" + std::to_string(server.Port());
    CHttpWork::GetInstance()->SetDeployHosts(hosts);
    CEventLogManage m;
    m.InitDB(Utf8ToWide(dir));
    m.Start();
    unsigned target = 0;
    for (auto _ : state) {
        target += static_cast<unsigned>(n);
        for (int i = 0; i < n; ++i)
            m.AddEvent("sales_tessaril_receive_msg", kAttr);
        while (EventCount(server) < target)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.counters["events_per_s"] = benchmark::Counter(static_cast<double>(target), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PipelineServerReachable)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PipelineServerUnreachable(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string dir = TempDir();
    // A loopback port nobody listens on: every upload is refused at once and stored.
    SDeployHosts hosts;
    hosts.strMobileApiHost = "http://127.0.0.1:9";
    CHttpWork::GetInstance()->SetDeployHosts(hosts);
    CEventLogManage m;
    m.InitDB(Utf8ToWide(dir));
    m.Start();
    int target = 0;
    for (auto _ : state) {
        target += n;
        for (int i = 0; i < n; ++i)
            m.AddEvent("sales_tessaril_receive_msg", kAttr);
        while (RowCount(dir + "shopdesk.db") < target)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    state.counters["events_per_s"] = benchmark::Counter(static_cast<double>(target), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PipelineServerUnreachable)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_StoreAndReload(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string dir = TempDir();
    CEventLogManage m;
    m.InitDB(Utf8ToWide(dir));
    CXDBPtr<IXDBConnection> conn;
    CreateSQLiteConnection(&conn);
    conn->Open(Utf8ToWide(dir + "shopdesk.db").c_str());
    SEventLogMsgEx ev;
    ev.event_code = "sales_tessaril_receive_msg";
    ev.uid = "merchant";
    ev.launch_guid = "0123456789ABCDEF0123456789ABCDEF";
    ev.attr = kAttr;
    int64_t rows = 0;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            ev.event_time = i;
            CEventLogManage::SaveFailedEvent(conn.Get(), ev);
        }
        std::list<SEventLogMsgEx> back;
        CEventLogManage::LoadFailedEvents(conn.Get(), back);
        std::vector<int32_t> ids;
        for (const auto& e : back)
            ids.push_back(e.EventID);
        CEventLogManage::DeleteEvents(conn.Get(), ids);
        if (static_cast<int>(back.size()) != n)
            state.SkipWithError("reload lost rows");
        rows += n;
    }
    state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StoreAndReload)->Arg(500)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    CHttpWork::GlobalInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
