// A burst of page calls made by the signed-in console page itself, through its own bridge:
// after it the hover list holds exactly the conversations, counts and texts the page sent, its
// rows show the newest four, the tip shows the last call, and the server got every event once.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/custommsg.h"
#include "common/sysutils.h"
#include "demopeer.h"
#include "duilib/uicefbrowser.h"
#include "duilib/uicontrols.h"
#include "events/eventlogmanage.h"
#include "mainframe/cmainframeui.h"
#include "notify/cframehoverui.h"
#include "notify/cframetipui.h"
#include "platform/profile.h"
#include "settings/configmanage.h"
#include "support/qtwait.h"
#include "support/testenv.h"

namespace fs = std::filesystem;
using namespace DuiLib;

namespace {

const int kCalls = 1000;
const int kConversations = 20;

std::wstring Text(CPaintManagerUI& pm, CControlUI* in, const wchar_t* name) {
    CControlUI* c = in ? pm.FindSubControlByName(in, name) : pm.FindControl(name);
    return c ? std::wstring(c->GetText()) : L"<missing>";
}

class PageBurstTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Start(home.path() + "/peer"));
        for (const char* var : {"SHOPDESK_CONSOLE_HOST", "SHOPDESK_MERCHANT_HOST", "SHOPDESK_MOBILE_HOST"})
            setenv(var, peer.BaseUrl().c_str(), 1);
        std::string cache = home.path() + "/cache/";
        fs::create_directories(cache);
        platform::WritePrivateProfileString(L"Guidance", L"IsGuidance", L"1", cache + "Config.ini");
        STRUCT_Config settings{0, 0, 1, 1, 1, 1, 1, 1};
        CConfigManage::GetInstance()->Init(AnsiToWide(cache));
        CConfigManage::GetInstance()->SaveConfig(settings);
        ASSERT_TRUE(CCefBrowserUI::InitCef(nullptr, L"", L""));
        frame = new CMainFrameUI();
        frame->InitParams(AnsiToWide(cache), settings, L"");
        ASSERT_TRUE(frame->Create(nullptr, kMainWndTitle, WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE));
    }
    void TearDown() override {
        CWindowWnd* wnd = frame;
        DestroyTestWindow(wnd);
        frame = nullptr;
        CCefBrowserUI::Quit();
    }

    // Signs in on the console's own sign-in page; the console page then reports the account.
    bool SignInThroughThePage() {
        for (int i = 0; i < 40 && !frame->IsOnline(); ++i) {
            frame->GetBrowser()->ExectueJS(L"if (document.forms.length) document.forms[0].submit();");
            WaitFor([&] { return frame->IsOnline(); }, 500);
        }
        return frame->IsOnline();
    }
    Json::Value BurstEvents() {
        Json::Value out(Json::arrayValue);
        Json::Value all = peer.Events();
        for (const Json::Value& e : all["events"])
            if (e["basic"]["event_code"].asString() == "sales_tessaril_receive_msg" &&
                e["attr"]["c_id"].asString().rfind("burst", 0) == 0)
                out.append(e);
        return out;
    }

    ScopedTestHome home;
    DemoPeer peer;
    CMainFrameUI* frame = nullptr;
};

} // namespace

TEST_F(PageBurstTest, ThousandCallsFromThePageKeepEveryRowCountAndEvent) {
    ASSERT_TRUE(SignInThroughThePage());
    ASSERT_TRUE(WaitFor([] { return g_EventLogManage.QueuedCount() == 0; }, 20000));
    Pump(500); // the last one taken may still be on its way
    unsigned before = peer.GetJson("/demo/events/count")["count"].asUInt();
    CFrameHoverUI* hover = frame->GetHoverWnd();
    // The conversations take turns; each call raises its conversation's count by one.
    frame->GetBrowser()->ExectueJS(
        L"for (var i = 0; i < " + std::to_wstring(kCalls) + L"; i++) { var c = i % " + std::to_wstring(kConversations) +
        L"; window.shopdeskNative('UnReadMessage', 'burst' + c, '顾客 ' + c, String(Math.floor(i / " +
        std::to_wstring(kConversations) + L") + 1), '消息 ' + i, location.origin + '/avatar/burst' + c + '.png'); }");
    const int rounds = kCalls / kConversations;
    auto lastArrived = [&] {
        CMsgInfo r;
        return hover->GetMessage(L"burst19", r) && r.m_nCount == rounds && !frame->HasPendingPageCalls();
    };
    ASSERT_TRUE(WaitFor(lastArrived, 60000));
    Pump(50);

    // Every conversation once, newest first, with its last count and text.
    std::vector<std::wstring> ids = hover->GetMessageIds();
    ASSERT_EQ(ids.size(), static_cast<size_t>(kConversations));
    for (int k = 0; k < kConversations; ++k) {
        int c = kConversations - 1 - k;
        EXPECT_EQ(ids[k], L"burst" + std::to_wstring(c));
        CMsgInfo r;
        ASSERT_TRUE(hover->GetMessage(ids[k], r));
        EXPECT_EQ(r.m_nCount, rounds) << k;
        EXPECT_EQ(r.m_strName, L"顾客 " + std::to_wstring(c));
        EXPECT_EQ(r.m_strText, L"消息 " + std::to_wstring(kCalls - kConversations + c));
        EXPECT_FALSE(r.m_strAvatar.empty()) << "the avatar of " << k;
    }
    // The rows show the newest four; the tip shows the last call.
    auto* list = static_cast<CListUI*>(hover->GetPaintManager().FindControl(L"list_message"));
    ASSERT_EQ(list->GetCount(), 4);
    for (int i = 0; i < 4; ++i) {
        CControlUI* row = list->GetItemAt(i);
        EXPECT_EQ(Text(hover->GetPaintManager(), row, L"user_name"), L"顾客 " + std::to_wstring(19 - i));
        EXPECT_EQ(Text(hover->GetPaintManager(), row, L"msg_num"), std::to_wstring(rounds));
        EXPECT_EQ(Text(hover->GetPaintManager(), row, L"msg_text"), L"消息 " + std::to_wstring(kCalls - 1 - i));
    }
    EXPECT_EQ(Text(frame->GetTipWnd()->GetPaintManager(), nullptr, L"user_name"), L"顾客 19");
    EXPECT_EQ(Text(frame->GetTipWnd()->GetPaintManager(), nullptr, L"msg_text"), L"消息 999");

    // One event per call at the server, none lost or doubled.
    ASSERT_TRUE(WaitFor([&] { return peer.GetJson("/demo/events/count")["count"].asUInt() >= before + kCalls; }, 60000));
    Pump(500);
    Json::Value events = BurstEvents();
    std::set<std::pair<std::string, std::string>> seen;
    for (const Json::Value& e : events)
        seen.insert({e["attr"]["c_id"].asString(), e["attr"]["unreadnum"].asString()});
    EXPECT_EQ(events.size(), static_cast<unsigned>(kCalls));
    EXPECT_EQ(seen.size(), static_cast<size_t>(kCalls));
}
