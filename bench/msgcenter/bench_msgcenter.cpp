// Message center: from a list answer's arrival at the window (WM_MSG_REQUEST_DONE) until its
// ten rows are shown and laid out, median and 99th percentile over 300 page turns against the
// demo server. The floor, measured in the same run, is parsing the same answer alone; the
// ratio says how much the rows cost beyond reading the answer.
#include <unistd.h>

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uimanager.h"
#include "msgcenter/cframemsgcenterui.h"
#include "platform/textconv.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Notes when each answer reaches the window.
class CTimedMsgCenter : public CFrameMsgCenterUI {
public:
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_MSG_REQUEST_DONE)
            arrived = Clock::now();
        return CFrameMsgCenterUI::HandleMessage(uMsg, wParam, lParam);
    }
    Clock::time_point arrived{};
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

DuiLib::CControlUI* Find(CTimedMsgCenter& w, const wchar_t* name) { return w.GetPaintManager().FindControl(name); }

// Ten rows in the list, each with its widget shown and placed.
bool TenRowsShown(CTimedMsgCenter& w) {
    auto* list = static_cast<DuiLib::CListUI*>(Find(w, L"list_msginfo"));
    if (!list || list->GetCount() != 10 || !list->IsVisible())
        return false;
    for (int i = 0; i < 10; ++i) {
        QWidget* row = list->GetItemAt(i)->GetWidget();
        if (!row || !row->isVisible() || row->width() != 584)
            return false;
    }
    return true;
}

void Report(const char* what, const std::vector<double>& us) {
    std::printf("%-46s %zu runs: median %8.1f us  p99 %8.1f us  min %8.1f us  max %8.1f us\n", what, us.size(),
                Percentile(us, 0.5), Percentile(us, 0.99), *std::min_element(us.begin(), us.end()),
                *std::max_element(us.begin(), us.end()));
}

} // namespace

int main(int argc, char** argv) {
    platform::SetProcessUtf8Locale();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string work = fs::temp_directory_path().string() + "/shopdesk-bench-msgcenter-" + std::to_string(getpid());
    fs::create_directories(work);
    DemoPeer server;
    if (!server.Start(work + "/data")) {
        std::fprintf(stderr, "demo server did not start\n");
        return 1;
    }
    SDeployHosts hosts;
    hosts.strMerchantApiHost = hosts.strMobileApiHost = hosts.strConsoleHost = server.BaseUrl();
    CHttpWork::GlobalInit();
    CHttpWork::GetInstance()->SetDeployHosts(hosts);
    std::string cookie = server.SignIn("bench-merchant");

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    DuiLib::CPaintManagerUI::SetResourceType(1);
    DuiLib::CPaintManagerUI::SetResourcePath(SHOPDESK_RES_DIR L"/Skin/WkeBrowser/");
    DuiLib::CResourceManager::GetInstance()->LoadResource(L"res.xml");

    const int kRuns = 300;
    std::vector<double> shown, parsed;
    {
        CTimedMsgCenter center;
        if (!center.Create(nullptr, kMainWndClass, WS_POPUP, WS_EX_TOOLWINDOW))
            return 1;
        center.ShowWindow(true, false);
        center.InitDlg(cookie);
        auto until = [&](const std::function<bool()>& cond) {
            auto end = Clock::now() + std::chrono::seconds(10);
            // A busy loop, so the moment the rows are there is seen at once.
            while (!cond() && Clock::now() < end)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            return cond();
        };
        if (!until([&] { return TenRowsShown(center) && center.RunningRequests() == 0; })) {
            std::fprintf(stderr, "the first page never came\n");
            return 1;
        }
        // Pages 1 and 2 of the long category, turned by the page buttons.
        auto* next = static_cast<DuiLib::CButtonUI*>(Find(center, L"nextpagebtn"));
        auto* prev = static_cast<DuiLib::CButtonUI*>(Find(center, L"prepagebtn"));
        for (int n = 0; n < kRuns; ++n) {
            (n % 2 == 0 ? next : prev)->Activate();
            if (!until([&] { return center.RunningRequests() == 0 && TenRowsShown(center); }))
                return 1;
            shown.push_back(std::chrono::duration<double, std::micro>(Clock::now() - center.arrived).count());
        }
        // The floor: reading one such answer, nothing shown.
        SHttpResult page;
        CHttpWork::GetInstance()->MsgCenter_GetMsgList(cookie, "sales_order", 0, 10, page);
        for (int n = 0; n < kRuns; ++n) {
            auto t0 = Clock::now();
            SMessagePage p;
            ParseMessageListAnswer(page.strResponse, p);
            parsed.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
    }
    Report("list answer -> ten rows shown", shown);
    Report("floor: parsing the same answer", parsed);
    std::printf("ratio (median shown / median floor): %.1f\n", Percentile(shown, 0.5) / Percentile(parsed, 0.5));
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
