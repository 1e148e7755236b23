// Notification road timings inside a real main window, against the demo server:
//  - the window thread's longest stall while 20 "UnReadMessage" calls bring new customers
//    whose avatars come from a slow host, as a ratio to the stall of the same loop idle
//    (the floor) and beside one download made on the window thread;
//  - the main process's resident memory around ten rounds of page calls with 1 MB arguments
//    and the sign-out after them, as a ratio to the memory before;
//  - latency from the page call "UnReadMessage" (avatar already cached) until the tip window
//    is visible, median and 99th percentile over 1,000 calls;
//  - the cost of one hover-list update that rebuilds its four rows (Google Benchmark).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "notify/avatarcache.h"
#include "notify/cframehoverui.h"
#include "notify/cframetipui.h"
#include "platform/textconv.h"
#include "settings/configmanage.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring Url(const DemoPeer& peer, const std::string& path) { return AnsiToWide(peer.BaseUrl() + path); }

CMainFrameUI* g_frame = nullptr;
// The floor for the hover rebuild: the median tip-show latency of this run.
double g_tipShownMedianUs = 0;
double g_hoverUpdateUs = 0;

bool TipVisible() {
    CFrameTipUI* tip = g_frame->GetTipWnd();
    return tip && platform::IsWindowVisible(tip->GetHWND());
}

// Notes the moment the tip's widget is shown (the Show event arrives inside show()).
class ShowStamp : public QObject {
public:
    Clock::time_point at{};
    bool seen = false;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && !seen) {
            at = Clock::now();
            seen = true;
        }
        return QObject::eventFilter(o, e);
    }
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void MeasureTipLatency(const DemoPeer& server, int calls) {
    const int kIds = 4;
    std::vector<std::vector<std::wstring>> args;
    for (int i = 0; i < kIds; ++i) {
        std::wstring id = L"bench-c" + std::to_wstring(i);
        args.push_back({id, L"Customer " + std::to_wstring(i), L"3", L"Is the blue one in stock?",
                        Url(server, "/avatar/bench" + std::to_string(i) + ".png")});
        g_frame->OnPageCall(L"UnReadMessage", args.back()); // downloads and caches the avatar
    }
    while (g_frame->HasPendingPageCalls())
        platform::PumpMessages(5);
    ShowStamp stamp;
    auto* tipWidget = static_cast<QWidget*>(platform::WidgetFromHandle(g_frame->GetTipWnd()->GetHWND()));
    if (!tipWidget)
        return;
    tipWidget->installEventFilter(&stamp);
    std::vector<double> shown, returned;
    shown.reserve(calls);
    returned.reserve(calls);
    for (int n = 0; n < calls; ++n) {
        g_frame->GetTipWnd()->HideMessage();
        platform::PumpMessages(1); // let the queued work of the previous call run
        stamp.seen = false;
        auto t0 = Clock::now();
        g_frame->OnPageCall(L"UnReadMessage", args[n % kIds]);
        auto t1 = Clock::now();
        while (!TipVisible())
            platform::PumpMessages(0);
        if (!stamp.seen)
            stamp.at = Clock::now();
        shown.push_back(std::chrono::duration<double, std::micro>(stamp.at - t0).count());
        returned.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    tipWidget->removeEventFilter(&stamp);
    auto report = [calls](const char* what, const std::vector<double>& us) {
        std::printf("%-44s %d calls: median %8.1f us  p99 %8.1f us  min %8.1f us  max %8.1f us\n", what, calls,
                    Percentile(us, 0.5), Percentile(us, 0.99), *std::min_element(us.begin(), us.end()),
                    *std::max_element(us.begin(), us.end()));
    };
    report("UnReadMessage -> tip shown (avatar cached)", shown);
    g_tipShownMedianUs = Percentile(shown, 0.5);
    report("UnReadMessage whole call (tip, hover, sound)", returned);
    std::fflush(stdout);
}

// The longest gap between the ticks of a 1 ms timer on the window thread.
class StallProbe {
public:
    StallProbe() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto now = Clock::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void Start() {
        m_longest = {};
        m_last = Clock::now();
        m_timer.start(1);
    }
    double StopMs() {
        m_timer.stop();
        return std::chrono::duration<double, std::milli>(m_longest).count();
    }

private:
    QTimer m_timer;
    Clock::time_point m_last{};
    Clock::duration m_longest{};
};

void MeasureSlowAvatarStall(const DemoPeer& server, int calls, int delayMs) {
    auto slowAvatar = [&](const std::string& name) {
        return Url(server, "/avatar/" + name + ".png?fault=slow&delay_ms=" + std::to_string(delayMs));
    };
    StallProbe probe;
    // What one of these downloads costs the window thread when it is made there.
    probe.Start();
    std::wstring path;
    CAvatarCache::GetInstance()->GetAvatar(L"bench-sync", slowAvatar("bench-sync"), path);
    platform::PumpMessages(20);
    double onWindowThread = probe.StopMs();

    probe.Start();
    auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        std::wstring id = L"bench-new" + std::to_wstring(i);
        g_frame->OnPageCall(L"UnReadMessage", {id, L"New customer " + std::to_wstring(i), L"1", L"Hello?",
                                               slowAvatar("bench-new" + std::to_string(i))});
    }
    while (g_frame->HasPendingPageCalls())
        platform::PumpMessages(5);
    double busy = probe.StopMs();
    double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

    probe.Start();
    platform::PumpMessages(static_cast<int>(elapsed));
    double floor = probe.StopMs();

    std::printf("%d new-avatar UnReadMessage calls, avatar host %d ms slow, all done in %.0f ms:\n", calls, delayMs,
                elapsed);
    std::printf("  longest window-thread stall %8.1f ms  idle floor %6.1f ms  ratio %6.2f\n", busy, floor,
                busy / floor);
    std::printf("  one download on the window thread stalls it %8.1f ms  ratio %6.2f\n", onWindowThread,
                onWindowThread / floor);
    std::fflush(stdout);
}

// Resident memory of this process in KiB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long kb = 0;
    while (status >> key)
        if (key == "VmRSS:" && status >> kb)
            break;
    return kb;
}

unsigned EventsAtServer(const DemoPeer& server) { return server.GetJson("/demo/events/count")["count"].asUInt(); }

void RunUntilIdle(int settleMs) {
    while (g_frame->HasPendingPageCalls())
        platform::PumpMessages(5);
    platform::PumpMessages(settleMs);
}

void MeasureHugeArgumentMemory(const DemoPeer& server, int rounds) {
    auto round = [&](const std::wstring& text) {
        g_frame->OnPageCall(L"WindowsConfig", {L"bench-m", text, L""});
        g_frame->OnPageCall(L"UnReadMessage", {L"bench-big", text, L"1", text, L""});
        g_frame->OnPageCall(L"HandleMessage", {L"bench-big2", text, L"conversation", text, L"", L"0", L"m-1"});
        g_frame->OnPageCall(L"WindowsInterface", {L"EventSendMsg", L"bench-big", text, L"m-1", L"0"});
        RunUntilIdle(200);
    };
    // Until the upload thread has sent (or given up on) everything queued.
    auto drainEvents = [] {
        for (int i = 0; i < 600 && g_EventLogManage.QueuedCount() > 0; ++i)
            platform::PumpMessages(100);
        platform::PumpMessages(2000);
    };
    // A signed-in session of ordinary traffic, then signed out: the floor.
    round(L"Is the blue one in stock?");
    g_frame->OnPageCall(L"ChangeUser", {});
    drainEvents();
    unsigned events = EventsAtServer(server);
    long before = ResidentKb();

    const std::wstring huge(1 << 20, L'长');
    long peak = before;
    for (int i = 0; i < rounds; ++i) {
        round(huge);
        peak = std::max(peak, ResidentKb());
    }
    g_frame->OnPageCall(L"ChangeUser", {});
    drainEvents();
    RunUntilIdle(1000);
    long after = ResidentKb();
    // Each round sends three events: the two messages received and the text sent.
    std::printf("%d rounds of page calls with 1 MB arguments (%u of %d events accepted by the server):\n", rounds,
                EventsAtServer(server) - events, 3 * rounds);
    std::printf("  resident before %7.1f MB  peak %7.1f MB  after sign-out %7.1f MB  after/before %5.2f\n",
                before / 1024.0, peak / 1024.0, after / 1024.0, static_cast<double>(after) / before);
    std::fflush(stdout);
}

// One unread update of a conversation already in the list: store update, rebuild of the four
// visible rows from their skin, size and placement.
void BM_HoverRebuildFourRows(benchmark::State& state) {
    CFrameHoverUI hover;
    hover.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    hover.ShowWindow(false, false);
    for (int i = 0; i < 6; ++i)
        hover.SetUnreadMessage(L"r" + std::to_wstring(i), L"Customer", i + 1, L"", L"Where is my parcel?");
    int count = 0;
    Clock::duration spent{};
    for (auto _ : state) {
        auto t0 = Clock::now();
        hover.SetUnreadMessage(L"r" + std::to_wstring(count % 6), L"Customer", count + 1, L"", L"Where is my parcel?");
        spent += Clock::now() - t0;
        ++count;
        // The window thread gets back to its loop between updates, as in the program (the
        // removed rows' widgets are deleted there).
        state.PauseTiming();
        platform::PumpMessages(0);
        state.ResumeTiming();
    }
    state.counters["records"] = hover.GetMessageCount();
    if (count > 0)
        g_hoverUpdateUs = std::chrono::duration<double, std::micro>(spent).count() / count;
    platform::PumpMessages(10);
}
BENCHMARK(BM_HoverRebuildFourRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    platform::SetProcessUtf8Locale();
    benchmark::Initialize(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    std::string work = fs::temp_directory_path().string() + "/shopdesk-bench-notify-" + std::to_string(getpid());
    fs::create_directories(work + "/cache");
    DemoPeer server;
    if (!server.Start(work + "/data")) {
        std::fprintf(stderr, "demo server did not start\n");
        return 1;
    }
    std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
    setenv("SHOPDESK_CONSOLE_HOST", base.c_str(), 1);
    setenv("SHOPDESK_MERCHANT_HOST", base.c_str(), 1);
    setenv("SHOPDESK_MOBILE_HOST", base.c_str(), 1);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    DuiLib::CPaintManagerUI::SetResourceType(1);
    DuiLib::CPaintManagerUI::SetResourcePath(SHOPDESK_RES_DIR L"/Skin/WkeBrowser/");
    DuiLib::CResourceManager::GetInstance()->LoadResource(L"res.xml");

    std::wstring cacheDir = AnsiToWide(work + "/cache/");
    STRUCT_Config settings{0, 0, 1, 1, 1, 1, 1, 1};
    CConfigManage::GetInstance()->Init(cacheDir);
    CConfigManage::GetInstance()->SaveConfig(settings);
    if (!DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""))
        return 1;
    g_frame = new CMainFrameUI();
    g_frame->InitParams(cacheDir, settings, L"");
    if (!g_frame->Create(nullptr, kMainWndTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE))
        return 1;
    g_frame->OnPageCall(L"WindowsConfig", {L"bench-m", L"Manager", Url(server, "/avatar/manager.png")});

    while (g_frame->HasPendingPageCalls())
        platform::PumpMessages(5);
    MeasureSlowAvatarStall(server, 20, 500);
    MeasureHugeArgumentMemory(server, 10);
    MeasureTipLatency(server, 1000);
    benchmark::RunSpecifiedBenchmarks();
    if (g_tipShownMedianUs > 0 && g_hoverUpdateUs > 0)
        std::printf("hover four-row rebuild %8.1f us  tip shown median %8.1f us  ratio %6.2f (at most 5)\n",
                    g_hoverUpdateUs, g_tipShownMedianUs, g_hoverUpdateUs / g_tipShownMedianUs);

    delete g_frame;
    DuiLib::CCefBrowserUI::Quit();
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
