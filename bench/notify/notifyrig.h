#pragma once
// What the sections of bench_notify share: the real main window against the demo server,
// the window thread's stall probe, and the figures' printing.
#include <QApplication>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class CMainFrameUI;
class DemoPeer;

using Clock = std::chrono::steady_clock;

struct SNotifyRig {
    CMainFrameUI* frame = nullptr;
    const DemoPeer* server = nullptr;
    std::wstring Url(const std::string& path) const;
    // Runs the window's loop until no page call waits, then `settleMs` more.
    void RunUntilIdle(int settleMs) const;
    // Runs `script` in the page the main window shows, through the page's own bridge.
    void RunInPage(const std::wstring& script) const;
};

// The application of the benchmark: it times every event the window thread dispatches from
// its loop, so a page call's own cost can be told from the waits around it.
class CTimedApplication : public QApplication {
public:
    CTimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
    // Times the dispatch in which `busy` stops holding (the one that ran the awaited work), in
    // wall time and in the thread's own CPU time; 0 until it happened.
    void Watch(std::function<bool()> busy);
    double WatchedUs() const { return m_watchedUs; }
    double WatchedCpuUs() const { return m_watchedCpuUs; }

private:
    int m_depth = 0;
    std::function<bool()> m_busy;
    double m_watchedUs = 0, m_watchedCpuUs = 0;
};
CTimedApplication* TimedApp();

// The longest gap between the ticks of a 1 ms timer on the window thread.
class StallProbe {
public:
    StallProbe();
    void Start();
    double StopMs();

private:
    QTimer m_timer;
    Clock::time_point m_last{};
    Clock::duration m_longest{};
};

double Percentile(std::vector<double> v, double p);
double MicrosSince(Clock::time_point t0);
// A comparison for the table of tools/run-bench.sh: "ratio: measure | ours | floor | ratio | goal".
void PrintRatio(const std::string& measure, double ours, double floor, const char* unit, const std::string& goal);
// One line of median, p99, min and max.
void PrintSpread(const char* what, const std::vector<double>& us);

// The sections, each printing its own figures.
void MeasureSlowAvatarStall(const SNotifyRig& rig, int calls, int delayMs);
void MeasureHugeArgumentMemory(const SNotifyRig& rig, int rounds);
// Median microseconds from "UnReadMessage" to the tip shown; also the whole call's p99.
double MeasureTipLatency(const SNotifyRig& rig, int calls);
void MeasurePageBurst(const SNotifyRig& rig, int calls);
void MeasureHoverScaling(const SNotifyRig& rig);
// Four-row rebuilds of a hover list of its own, against `tipUs`.
void MeasureHoverRebuild(double tipUs);
