// Events an earlier run could not send wait until the console in the main window has made its
// first call; then every one of them goes out, once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "events/earlierevents.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "net/httpwork.h"
#include "platform/profile.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/testenv.h"

namespace {

const int kStored = 20;

int StoredRows(const std::string& cache) {
    CXDBPtr<IXDBConnection> conn;
    CXDBPtr<IXDBRecordset> rows;
    XVARIANT count;
    if (!CEventLogManage::OpenStoreConnection(conn, Utf8ToWide(cache + "shopdesk.db")) ||
        FAILED(conn->Execute(L"select count(*) from EventUpFailed", &rows)) || FAILED(rows->GetFieldValue(0, &count)))
        return -1;
    return count.lVal;
}

unsigned Reuploaded(const DemoPeer& peer) {
    unsigned n = 0;
    Json::Value events = peer.Events();
    for (const Json::Value& e : events["events"])
        n += e["attr"]["is_reupload"].asString() == "1";
    return n;
}

} // namespace

TEST(StartOrder, StoredEventsGoOutOnlyAfterTheConsolesFirstCall) {
    ScopedTestHome home;
    DemoPeer peer;
    ASSERT_TRUE(peer.Start(home.path() + "/demo"));
    for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
        setenv(var, peer.BaseUrl().c_str(), 1);
    CHttpWork::GetInstance()->ReloadDeployConfig();
    ASSERT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));

    const std::string cache = home.path() + "/cache/";
    std::filesystem::create_directories(cache);
    platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", cache + "Config.ini");
    CConfigManage::GetInstance()->Init(AnsiToWide(cache));
    ASSERT_TRUE(StoreEarlierEvents(cache, kStored));

    // Not signed in: the console's start page is the sign-in form, which calls nothing.
    auto started = std::chrono::steady_clock::now();
    auto* frame = new CMainFrameUI();
    frame->InitParams(AnsiToWide(cache), STRUCT_Config{0, 1, 1, 1, 1, 1, 1, 1}, L"");
    ASSERT_TRUE(frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
    frame->ShowWindow(true, true);
    ASSERT_TRUE(WaitFor([&] { return peer.Events()["count"].asUInt() > 0; }, 10000))
        << "the start's own events are sent at once";
    ASSERT_TRUE(WaitFor([&] { return !frame->GetBrowser()->IsLoading() && !frame->GetBrowser()->GetURL().empty(); }));
    Pump(1500);
    EXPECT_EQ(Reuploaded(peer), 0u);
    EXPECT_EQ(StoredRows(cache), kStored);

    // Signed in, the console reports the account: its first call.
    frame->GetBrowser()->LoadURL(AnsiToWide(peer.BaseUrl() + "/admin/login?account=u1&uid=u1"));
    ASSERT_TRUE(WaitFor([&] { return frame->IsOnline(); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return StoredRows(cache) == 0; }, 20000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(CEventLogManage::kReuploadHoldMs))
        << "sent by the fallback, not by the console's call";
    EXPECT_EQ(Reuploaded(peer), static_cast<unsigned>(kStored));

    DuiLib::CWindowWnd* wnd = frame;
    DestroyTestWindow(wnd);
    g_EventLogManage.Stop();
    DuiLib::CCefBrowserUI::Quit();
}
