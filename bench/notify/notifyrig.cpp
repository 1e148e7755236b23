#include "notifyrig.h"

#include <QThread>

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "mainframe/cmainframeui.h"
#include "common/sysutils.h"
#include "platform/textconv.h"
#include "platform/winuser.h"

std::wstring SNotifyRig::Url(const std::string& path) const { return AnsiToWide(server->BaseUrl() + path); }

void SNotifyRig::RunUntilIdle(int settleMs) const {
    while (frame->HasPendingPageCalls())
        platform::PumpMessages(5);
    platform::PumpMessages(settleMs);
}

void SNotifyRig::RunInPage(const std::wstring& script) const { frame->GetBrowser()->ExectueJS(script); }

namespace {
double ThreadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}
} // namespace

bool CTimedApplication::notify(QObject* receiver, QEvent* event) {
    if (m_depth > 0 || thread() != QThread::currentThread())
        return QApplication::notify(receiver, event);
    bool wasBusy = m_busy && m_busy();
    ++m_depth;
    auto t0 = Clock::now();
    double cpu0 = ThreadCpuUs();
    bool handled = QApplication::notify(receiver, event);
    double cpu = ThreadCpuUs() - cpu0, wall = MicrosSince(t0);
    --m_depth;
    if (wasBusy && !m_busy()) {
        m_watchedUs = wall;
        m_watchedCpuUs = cpu;
        m_busy = nullptr;
    }
    return handled;
}

void CTimedApplication::Watch(std::function<bool()> busy) {
    m_busy = std::move(busy);
    m_watchedUs = 0;
    m_watchedCpuUs = 0;
}

CTimedApplication* TimedApp() { return static_cast<CTimedApplication*>(QCoreApplication::instance()); }

StallProbe::StallProbe() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        auto now = Clock::now();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    });
}

void StallProbe::Start() {
    m_longest = {};
    m_last = Clock::now();
    m_timer.start(1);
}

double StallProbe::StopMs() {
    m_timer.stop();
    return std::chrono::duration<double, std::milli>(m_longest).count();
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

double MicrosSince(Clock::time_point t0) { return std::chrono::duration<double, std::micro>(Clock::now() - t0).count(); }

void PrintRatio(const std::string& measure, double ours, double floor, const char* unit, const std::string& goal) {
    std::printf("ratio: %s | %.1f %s | %.1f %s | %.2fx | %s\n", measure.c_str(), ours, unit, floor, unit,
                floor > 0 ? ours / floor : 0.0, goal.c_str());
    std::fflush(stdout);
}

void PrintSpread(const char* what, const std::vector<double>& us) {
    if (us.empty())
        return;
    std::printf("%-52s %5zu runs: median %8.1f us  p99 %8.1f us  min %8.1f us  max %8.1f us\n", what, us.size(),
                Percentile(us, 0.5), Percentile(us, 0.99), *std::min_element(us.begin(), us.end()),
                *std::max_element(us.begin(), us.end()));
    std::fflush(stdout);
}
