// Events an earlier run could not send wait until the console in the main window has made its
// first call; then every one of them goes out, once. The rest of the start needs no call: a
// window never painted still checks the version and opens the store, and one closed at once
// keeps what was raised.
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

// Every host is the demo server, the browser is up, and the cache folder (returned) has the
// guidance seen, as a signed-out start finds it.
std::string PrepareStart(const ScopedTestHome& home, const DemoPeer& peer) {
    for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
        setenv(var, peer.BaseUrl().c_str(), 1);
    CHttpWork::GetInstance()->ReloadDeployConfig();
    EXPECT_TRUE(DuiLib::CCefBrowserUI::InitCef(nullptr, L"", L""));
    const std::string cache = home.path() + "/cache/";
    std::filesystem::create_directories(cache);
    platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", cache + "Config.ini");
    CConfigManage::GetInstance()->Init(AnsiToWide(cache));
    return cache;
}

// The main window made as the start makes it, not signed in: the console's start page is the
// sign-in form, which calls nothing.
CMainFrameUI* MakeMainWindow(const std::string& cache) {
    auto* frame = new CMainFrameUI();
    frame->InitParams(AnsiToWide(cache), STRUCT_Config{0, 1, 1, 1, 1, 1, 1, 1}, L"");
    if (!frame->Create(nullptr, L"QDX_IM", WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE)) {
        delete frame;
        return nullptr;
    }
    return frame;
}

bool VersionAsked(const DemoPeer& peer) {
    for (const Json::Value& r : peer.Requests())
        if (r["target"].asString() == "/system/update/native_app_check_update/v1")
            return true;
    return false;
}

} // namespace

class StartOrder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Start(home.path() + "/demo"));
        cache = PrepareStart(home, peer);
    }
    // As the program ends: the window, then the event threads, then the browser.
    static void EndStart(CMainFrameUI* frame) {
        DuiLib::CWindowWnd* wnd = frame;
        DestroyTestWindow(wnd);
        g_EventLogManage.Stop();
        DuiLib::CCefBrowserUI::Quit();
    }
    ScopedTestHome home;
    DemoPeer peer;
    std::string cache;
};

TEST_F(StartOrder, StoredEventsGoOutOnlyAfterTheConsolesFirstCall) {
    ASSERT_TRUE(StoreEarlierEvents(cache, kStored));

    auto started = std::chrono::steady_clock::now();
    CMainFrameUI* frame = MakeMainWindow(cache);
    ASSERT_TRUE(frame);
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
    EndStart(frame);
}

// A window that is never painted (a start behind a locked screen) still gets its tray icon, the
// version check and the event store, without the console calling.
TEST_F(StartOrder, AWindowNeverPaintedStillChecksTheVersionAndStartsTheStore) {
    CMainFrameUI* frame = MakeMainWindow(cache);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(WaitFor([&] { return VersionAsked(peer); }, 10000));
    EXPECT_TRUE(WaitFor([&] { return peer.Events()["count"].asUInt() > 0; }, 10000))
        << "the start's own events are sent once the store is up";
    EXPECT_FALSE(platform::IsWindowVisible(frame->GetHWND()));
    EndStart(frame);
}

// A window closed before its start-up steps ran still opens the store, so an event raised
// meanwhile is kept: sent, or stored for the next start.
TEST_F(StartOrder, AWindowClosedBeforeItsStartStepsKeepsTheEventsRaised) {
    CMainFrameUI* frame = MakeMainWindow(cache);
    ASSERT_TRUE(frame);
    // Before the event loop has run: no paint, no timer, no call.
    g_EventLogManage.AddEvent("page", {{"seq", "closed-early"}});
    EndStart(frame);

    bool sent = false;
    for (const Json::Value& e : peer.Events()["events"])
        sent = sent || e["attr"]["seq"].asString() == "closed-early";
    CXDBPtr<IXDBConnection> conn;
    CXDBPtr<IXDBRecordset> rows;
    XVARIANT count;
    bool stored = CEventLogManage::OpenStoreConnection(conn, Utf8ToWide(cache + "shopdesk.db")) &&
                  SUCCEEDED(conn->Execute(L"select count(*) from EventUpFailed where attrStr like '%closed-early%'",
                                          &rows)) &&
                  SUCCEEDED(rows->GetFieldValue(0, &count)) && count.lVal == 1;
    EXPECT_TRUE(sent != stored) << "sent " << sent << ", stored " << stored;
}
