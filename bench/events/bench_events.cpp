// The event road against its floors, measured in one interleaved run:
//  - uploads to the demo server over loopback, against a raw libcurl loop that opens a new
//    connection for every POST of the same bodies;
//  - events stored while the host refuses, against a refused POST plus one durable SQLite
//    insert (rollback journal, full sync);
//  - 500 failed events stored, reloaded and deleted, against the same statements in raw
//    SQLite, once with the rollback journal and once in WAL mode;
//  - the re-upload pass with 10, 1,000 and 10,000 stored events, its growth per decade of
//    stored events against linear growth, and what a store of 10,000
//    costs the thread that opens it.
// Each comparison prints a "ratio:" line that tools/run-bench.sh gathers into one table.
// The raw loops call libcurl through the same forwarding as the program (platform/curllib.h):
// one indirect call more per libcurl call, nothing on the wire.
#include <curl/curl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/debuglog.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "events/eventlogmanage.h"
#include "net/httpwork.h"
#include "sections.h"

using Clock = std::chrono::steady_clock;

namespace {

const int kRuns = 5;
const int kUploads = 1000;
const int kRefused = 200;
const int kRows = 500;

const std::map<std::string, std::string> kAttr = {{"msg_content", "您好，请问这个线路还有名额吗？"},
                                                  {"c_id", "c1024"}, {"type", "text"}, {"unreadnum", "3"}};

double SecondsOf(const std::function<void()>& f) {
    auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void PrintRatio(const std::string& measure, double ours, double floor, const char* unit, const std::string& goal) {
    std::printf("ratio: %s | %.1f %s | %.1f %s | %.2fx | %s\n", measure.c_str(), ours, unit, floor, unit,
                floor > 0 ? ours / floor : 0.0, goal.c_str());
    std::fflush(stdout);
}

std::string NewDir(const std::string& base, const char* name) {
    std::string d = base + name + "/";
    std::system(("rm -rf '" + d + "' && mkdir -p '" + d + "'").c_str());
    return d;
}

SEventLogMsgEx SampleEvent(int64_t t) {
    SEventLogMsgEx ev;
    ev.event_time = t;
    ev.event_code = "sales_tessaril_receive_msg";
    ev.uid = "merchant";
    ev.launch_guid = "0123456789ABCDEF0123456789ABCDEF";
    ev.app_ver = kShopdeskAppVersion;
    ev.attr = kAttr;
    return ev;
}

// The form the workbench posts for one event, built the same way.
std::string UploadForm(const SEventLogMsgEx& ev) {
    CHttpWork* http = CHttpWork::GetInstance();
    std::string data = BuildEventDataText(ev, WideToUtf8(MakeGuidString()), http->GetSysVer(), http->GetOsBits(),
                                          http->GetOpenUdid());
    std::string form;
    AppendParam(form, "app_code", kEventAppCode, true);
    AppendParam(form, "app_ver", kShopdeskAppVersion, true);
    AppendParam(form, "jsondata", BuildEventEnvelope(ev.event_time, data), true);
    return form;
}

size_t Discard(void*, size_t size, size_t n, void*) { return size * n; }

// One POST on `h` as the workbench sends it.
bool RawPostOn(CURL* h, const std::string& url, const std::string& form) {
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, GetShopdeskUserAgent().c_str());
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 5L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, static_cast<long>(form.size()));
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, form.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
    return curl_easy_perform(h) == CURLE_OK;
}

// One POST on a handle of its own, so on a connection of its own.
bool RawPost(const std::string& url, const std::string& form) {
    CURL* h = curl_easy_init();
    bool ok = RawPostOn(h, url, form);
    curl_easy_cleanup(h);
    return ok;
}

unsigned ServerCount(const DemoPeer& peer) { return peer.GetJson("/demo/events/count")["count"].asUInt(); }

void WaitUntil(const std::function<bool()>& done) {
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// ---- raw SQLite --------------------------------------------------------------------------

struct RawDb {
    sqlite3* h = nullptr;
    RawDb(const std::string& path, bool wal) {
        sqlite3_open(path.c_str(), &h);
        sqlite3_busy_timeout(h, 5000);
        Exec(wal ? "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL"
                 : "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL");
        Exec("create table if not exists EventUpFailed(EventID INTEGER primary key autoincrement, event_time INT64 "
             "NOT NULL, event_code CHAR(100) NOT NULL, uid CHAR(20) NOT NULL, launch_guid CHAR(40) NOT NULL, "
             "app_ver CHAR(40) NOT NULL, attrStr NVARCHAR(256) NULL, odtCreateTime DATETIME)");
    }
    ~RawDb() { sqlite3_close(h); }
    void Exec(const char* sql) { sqlite3_exec(h, sql, nullptr, nullptr, nullptr); }
    void Insert(const SEventLogMsgEx& ev, const std::string& attrJson) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "insert into EventUpFailed values(NULL, ?, ?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
        sqlite3_bind_int64(st, 1, ev.event_time);
        sqlite3_bind_text(st, 2, ev.event_code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, ev.uid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, ev.launch_guid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, ev.app_ver.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, attrJson.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 7, "2026-01-01 00:00:00", -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
    // Reads every row back the way the store does and deletes them by id in one statement.
    size_t ReloadAndDelete() {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "select EventID,event_time,event_code,uid,launch_guid,app_ver,attrStr,odtCreateTime "
                              "from EventUpFailed", -1, &st, nullptr);
        std::vector<SEventLogMsgEx> rows;
        std::string ids;
        while (sqlite3_step(st) == SQLITE_ROW) {
            SEventLogMsgEx ev;
            ev.EventID = sqlite3_column_int(st, 0);
            ev.event_time = sqlite3_column_int64(st, 1);
            ev.event_code = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
            ev.uid = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
            ev.launch_guid = reinterpret_cast<const char*>(sqlite3_column_text(st, 4));
            ev.app_ver = reinterpret_cast<const char*>(sqlite3_column_text(st, 5));
            std::string json = reinterpret_cast<const char*>(sqlite3_column_text(st, 6));
            AttrToJson(ev.attr, json, false);
            ids += (ids.empty() ? "" : ",") + std::to_string(ev.EventID);
            rows.push_back(std::move(ev));
        }
        sqlite3_finalize(st);
        Exec(("DELETE FROM EventUpFailed where EventID in (" + ids + ")").c_str());
        return rows.size();
    }
};

int RowCount(const std::string& db) {
    CXDBPtr<IXDBConnection> c;
    CXDBPtr<IXDBRecordset> rs;
    XVARIANT v;
    if (!CEventLogManage::OpenStoreConnection(c, Utf8ToWide(db)) ||
        FAILED(c->Execute(L"select count(*) from EventUpFailed", &rs)) || FAILED(rs->GetFieldValue(0, &v)))
        return -1;
    return v.lVal;
}

void PointAt(const std::string& url) {
    SDeployHosts hosts;
    hosts.strMobileApiHost = url;
    CHttpWork::GetInstance()->SetDeployHosts(hosts);
}

// Fills a fresh store with `n` failed events, in one transaction.
void FillStore(const std::string& dir, int n) {
    CEventLogManage m;
    m.InitDB(Utf8ToWide(dir));
    CXDBPtr<IXDBConnection> c;
    CEventLogManage::OpenStoreConnection(c, Utf8ToWide(dir + "shopdesk.db"));
    c->BeginTrans();
    for (int i = 0; i < n; ++i)
        CEventLogManage::SaveFailedEvent(c.Get(), SampleEvent(1700000000 + i));
    c->CommitTrans();
}

// ---- the comparisons ---------------------------------------------------------------------

void CompareUploads(const std::string& base, const DemoPeer& server) {
    const std::string url = server.BaseUrl() + "/mobilelog/rest/EventLog/";
    std::vector<std::string> forms;
    for (int i = 0; i < kUploads; ++i)
        forms.push_back(UploadForm(SampleEvent(1700000000 + i)));
    std::vector<double> ours, floor, kept;
    const std::function<void()> measures[] = {
        [&] {
            floor.push_back(kUploads / SecondsOf([&] {
                                for (const std::string& f : forms)
                                    RawPost(url, f);
                            }));
        },
        [&] {
            CURL* h = curl_easy_init();
            kept.push_back(kUploads / SecondsOf([&] {
                               for (const std::string& f : forms)
                                   RawPostOn(h, url, f);
                           }));
            curl_easy_cleanup(h);
        },
        [&] {
            PointAt(server.BaseUrl());
            CEventLogManage m;
            m.InitDB(Utf8ToWide(NewDir(base, "upload")));
            m.Start();
            unsigned target = ServerCount(server) + kUploads;
            ours.push_back(kUploads / SecondsOf([&] {
                               for (int i = 0; i < kUploads; ++i)
                                   m.AddEvent("sales_tessaril_receive_msg", kAttr);
                               server.WaitForEvents(target, 60000);
                           }));
        },
    };
    // Each run takes the three in another order, and each meets an empty collector: what the
    // server keeps, and the closed connections the loopback still holds, weigh on whichever
    // comes later.
    for (int run = 0; run < kRuns; ++run) {
        for (int i = 0; i < 3; ++i) {
            server.Get("/demo/events/clear");
            measures[(run + i) % 3]();
        }
    }
    server.Get("/demo/events/clear");
    PrintRatio("events uploaded, server reachable (vs raw libcurl, new connection per POST)", Median(ours),
               Median(floor), "ev/s", ">= 1.2x");
    // What reuse alone can give against this server: the same bodies on one kept connection,
    // prepared beforehand, with nothing stored.
    PrintRatio("events uploaded, server reachable (vs raw libcurl, one kept connection, bodies ready)",
               Median(ours), Median(kept), "ev/s", "the road's own cost");
    PrintRatio("raw libcurl, one kept connection (vs a new connection per POST)", Median(kept), Median(floor),
               "ev/s", "the ceiling of connection reuse");
}

void CompareRefusedStore(const std::string& base) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort());
    std::vector<double> ours, floor;
    for (int run = 0; run < kRuns; ++run) {
        std::string fdir = NewDir(base, "refused-floor");
        {
            RawDb db(fdir + "floor.db", false);
            std::string form = UploadForm(SampleEvent(1));
            std::string json;
            auto attr = kAttr;
            AttrToJson(attr, json, true);
            floor.push_back(kRefused / SecondsOf([&] {
                                for (int i = 0; i < kRefused; ++i) {
                                    RawPost(refused + "/mobilelog/rest/EventLog/", form);
                                    db.Insert(SampleEvent(i), json);
                                }
                            }));
        }
        std::string dir = NewDir(base, "refused");
        PointAt(refused);
        CEventLogManage m;
        m.InitDB(Utf8ToWide(dir));
        m.Start();
        ours.push_back(kRefused / SecondsOf([&] {
                           for (int i = 0; i < kRefused; ++i)
                               m.AddEvent("sales_tessaril_receive_msg", kAttr);
                           // Each is stored as it comes; the road is done once every one was tried.
                           WaitUntil([&] { return m.QueuedCount() == 0 && RowCount(dir + "shopdesk.db") >= kRefused; });
                       }));
    }
    // Before WAL the store ran at 0.67x this floor; five times that is 3.3x.
    PrintRatio("events stored, upload refused (vs refused POST + durable insert)", Median(ours), Median(floor),
               "ev/s", ">= 3.3x (5x the rollback-journal store)");
}

void CompareStoreReloadDelete(const std::string& base) {
    std::vector<double> ours, rawJournal, rawWal;
    std::string json;
    auto attr = kAttr;
    AttrToJson(attr, json, true);
    auto raw = [&](bool wal) {
        std::string dir = NewDir(base, wal ? "rows-wal" : "rows-journal");
        RawDb db(dir + "floor.db", wal);
        return kRows / SecondsOf([&] {
                   for (int i = 0; i < kRows; ++i)
                       db.Insert(SampleEvent(i), json);
                   db.ReloadAndDelete();
               });
    };
    for (int run = 0; run < kRuns; ++run) {
        rawJournal.push_back(raw(false));
        rawWal.push_back(raw(true));
        std::string dir = NewDir(base, "rows");
        CEventLogManage m;
        m.InitDB(Utf8ToWide(dir));
        CXDBPtr<IXDBConnection> c;
        CEventLogManage::OpenStoreConnection(c, Utf8ToWide(dir + "shopdesk.db"));
        size_t back = 0;
        ours.push_back(kRows / SecondsOf([&] {
                           for (int i = 0; i < kRows; ++i)
                               CEventLogManage::SaveFailedEvent(c.Get(), SampleEvent(i));
                           std::list<SEventLogMsgEx> rows;
                           CEventLogManage::LoadFailedEvents(c.Get(), rows);
                           std::vector<int32_t> ids;
                           for (const auto& e : rows)
                               ids.push_back(e.EventID);
                           CEventLogManage::DeleteEvents(c.Get(), ids);
                           back = rows.size();
                       }));
        if (back != static_cast<size_t>(kRows))
            std::printf("warning: the store gave back %zu of %d rows\n", back, kRows);
    }
    // Before WAL the store ran at 0.87x the rollback-journal floor; ten times that is 8.7x.
    PrintRatio("500 rows stored, reloaded, deleted (vs raw SQLite, rollback journal)", Median(ours),
               Median(rawJournal), "rows/s", ">= 8.7x (10x the rollback-journal store)");
    PrintRatio("500 rows stored, reloaded, deleted (vs raw SQLite, WAL, one transaction each)", Median(ours),
               Median(rawWal), "rows/s", "the layer's own cost");
}

// Growth of `ms` per decade of `n`: 10 to 1,000 counts as two decades.
double GrowthPerDecade(double ms, double previousMs, int n, int previousN) {
    return previousN > 0 ? std::pow(ms / previousMs, 1.0 / std::log10(double(n) / previousN)) : 0;
}

void ReuploadCurve(const std::string& base, const DemoPeer& server) {
    std::printf("re-upload pass at start (demo server over loopback), against a raw libcurl loop posting the same "
                "number of events to the same server:\n");
    std::printf("  %8s  %10s  %12s  %14s  %12s  %16s  %16s\n", "stored", "pass ms", "us per event", "open+start ms",
                "raw loop ms", "pass per decade", "raw per decade");
    const std::string url = server.BaseUrl() + "/mobilelog/rest/EventLog/";
    const int sizes[] = {0, 10, 1000, 10000};
    std::map<int, std::vector<double>> pass, open, raw;
    // The sizes take turns within each run, so that a slower spell of the machine weighs on all
    // of them and not on one decade; the smaller ones, quick to measure, run more often.
    for (int run = 0; run < 5; ++run) {
        for (int n : sizes) {
            if (n == 10000 && run >= 3)
                continue;
            std::string dir = NewDir(base, "reupload");
            FillStore(dir, n);
            PointAt(server.BaseUrl());
            unsigned target = ServerCount(server) + static_cast<unsigned>(n);
            CEventLogManage m;
            auto t0 = Clock::now();
            m.InitDB(Utf8ToWide(dir));
            m.Start();
            open[n].push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            // The store is counted only once the server has everything: counting a table of
            // 10,000 rows every few milliseconds would slow the pass it measures.
            server.WaitForEvents(target, 600000);
            WaitUntil([&] { return RowCount(dir + "shopdesk.db") == 0; });
            pass[n].push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            server.Get("/demo/events/clear");
            // The server's own cost grows with what it keeps; the raw loop meets the same.
            std::vector<std::string> forms;
            for (int i = 0; i < n; ++i)
                forms.push_back(UploadForm(SampleEvent(1700000000 + i)));
            raw[n].push_back(1000 * SecondsOf([&] {
                                 for (const std::string& f : forms)
                                     RawPost(url, f);
                             }));
            server.Get("/demo/events/clear");
        }
    }
    double previousPass = 0, previousRaw = 0, worst = 0, worstGrowth = 0;
    int previousN = 0;
    for (int n : sizes) {
        if (n == 0)
            continue;
        double p = Median(pass[n]), r = Median(raw[n]);
        double growth = GrowthPerDecade(p, previousPass, n, previousN);
        double rawGrowth = GrowthPerDecade(r, previousRaw, n, previousN);
        worstGrowth = std::max(worstGrowth, growth);
        if (rawGrowth > 0)
            worst = std::max(worst, growth / rawGrowth);
        std::printf("  %8d  %10.1f  %12.1f  %14.2f  %12.1f  %15.2fx  %15.2fx\n", n, p, 1000.0 * p / n,
                    Median(open[n]), r, growth, rawGrowth);
        previousN = n;
        previousPass = p;
        previousRaw = r;
    }
    double openEmpty = Median(open[0]), openFull = Median(open[10000]);
    std::printf("ratio: store opened and threads started with 10,000 stored (vs empty store) | %.2f ms | %.2f ms | "
                "%.2fx | the pass runs off the opening thread\n",
                openFull, openEmpty, openEmpty > 0 ? openFull / openEmpty : 0.0);
    PrintRatio("re-upload pass, worst growth per decade of stored events, 10 to 10,000 (vs linear, 10x)", worstGrowth,
               10, "x", "<= 1x of linear");
    PrintRatio("re-upload pass, worst growth per decade against the raw loop's growth in the same decade", worst, 1,
               "x", "<= 1x");
    std::fflush(stdout);
}

} // namespace

// With names ("uploads", "refused", "rows", "reupload") only those comparisons run.
int main(int argc, char** argv) {
    CHttpWork::GlobalInit();
    g_iDebugLevel = 0; // a log line per event would be measured with the rest
    // Under the build tree rather than /tmp, which may be memory-backed and hide every flush.
    char cwd[4096];
    std::string base = std::string(getcwd(cwd, sizeof(cwd)) ? cwd : ".") + "/bench-events-data/";
    NewDir(base, "");
    DemoPeer server;
    if (!server.Start(base + "demo")) {
        std::fprintf(stderr, "demo server did not start\n");
        return 1;
    }
    auto wanted = [&](const char* name) { return BenchSectionWanted(argc, argv, name); };
    if (wanted("uploads"))
        CompareUploads(base, server);
    if (wanted("refused"))
        CompareRefusedStore(base);
    if (wanted("rows"))
        CompareStoreReloadDelete(base);
    if (wanted("reupload"))
        ReuploadCurve(base, server);
    server.Stop();
    std::system(("rm -rf '" + base + "'").c_str());
    return 0;
}
