// Notification road timings inside a real main window, against the demo server:
//  - latency from the page call "UnReadMessage" (avatar already cached) until the tip window
//    is visible, median and 99th percentile over 1,000 calls;
//  - the cost of one hover-list update that rebuilds its four rows (Google Benchmark), also as a
//    ratio to the tip latency of the same run (the rows' skin is parsed once, so a rebuild only
//    instantiates controls; it should cost at most five tip showings).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "notify/cframetipui.h"
#include "platform/textconv.h"
#include "settings/configmanage.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::wstring Url(const DemoPeer& peer, const std::string& path) { return AnsiToWide(peer.BaseUrl() + path); }

CMainFrameUI* g_frame = nullptr;

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

// Median microseconds from the page call to the tip shown; 0 when the tip never showed.
double MeasureTipLatency(const DemoPeer& server, int calls) {
    const int kIds = 4;
    std::vector<std::vector<std::wstring>> args;
    for (int i = 0; i < kIds; ++i) {
        std::wstring id = L"bench-c" + std::to_wstring(i);
        args.push_back({id, L"Customer " + std::to_wstring(i), L"3", L"Is the blue one in stock?",
                        Url(server, "/avatar/bench" + std::to_string(i) + ".png")});
        g_frame->OnPageCall(L"UnReadMessage", args.back()); // downloads and caches the avatar
    }
    platform::PumpMessages(200);
    ShowStamp stamp;
    auto* tipWidget = static_cast<QWidget*>(platform::WidgetFromHandle(g_frame->GetTipWnd()->GetHWND()));
    if (!tipWidget)
        return 0;
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
    report("UnReadMessage whole call (tip, hover, sound)", returned);
    std::fflush(stdout);
    return Percentile(shown, 0.5);
}

// Keeps the per-iteration time of the hover rebuild while printing as usual.
class RebuildReporter : public benchmark::ConsoleReporter {
public:
    double rebuildUs = 0;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.benchmark_name().find("BM_HoverRebuildFourRows") != std::string::npos && r.iterations > 0)
                rebuildUs = r.GetAdjustedRealTime();  // in the benchmark's unit, microseconds
        ConsoleReporter::ReportRuns(runs);
    }
};

// One unread update of a conversation already in the list: store update, rebuild of the four
// visible rows from their skin, size and placement.
void BM_HoverRebuildFourRows(benchmark::State& state) {
    CFrameHoverUI hover;
    hover.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
    hover.ShowWindow(false, false);
    for (int i = 0; i < 6; ++i)
        hover.SetUnreadMessage(L"r" + std::to_wstring(i), L"Customer", i + 1, L"", L"Where is my parcel?");
    int count = 0;
    for (auto _ : state) {
        hover.SetUnreadMessage(L"r" + std::to_wstring(count % 6), L"Customer", count + 1, L"", L"Where is my parcel?");
        ++count;
        // The window thread gets back to its loop between updates, as in the program (the
        // removed rows' widgets are deleted there).
        state.PauseTiming();
        platform::PumpMessages(0);
        state.ResumeTiming();
    }
    state.counters["records"] = hover.GetMessageCount();
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

    double tipUs = MeasureTipLatency(server, 1000);
    RebuildReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (tipUs > 0 && reporter.rebuildUs > 0)
        std::printf("hover rebuild of four rows / tip shown (median): %.1f us / %.1f us = %.2fx (at most 5x)\n",
                    reporter.rebuildUs, tipUs, reporter.rebuildUs / tipUs);

    delete g_frame;
    DuiLib::CCefBrowserUI::Quit();
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
